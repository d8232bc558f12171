// Exit statuses seen from real processes: the test-only probe, and the real
// program inside its own Xvfb closed with Esc through xdotool.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <optional>

namespace {

const QString kProbe = QStringLiteral(TESS_BINARY_DIR "/tests/app/app_probe");
const QString kProgram = QStringLiteral(TESS_BINARY_DIR "/app/tessivanev");

struct Finished {
    int status = -100;
    QString output;
};

Finished runProbe(const QString& mode) {
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(env);
    probe.start(kProbe, {mode});
    EXPECT_TRUE(probe.waitForFinished(30000)) << mode.toStdString();
    Finished finished;
    finished.status = probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -100;
    finished.output = QString::fromUtf8(probe.readAllStandardOutput());
    return finished;
}

TEST(ProcessExit, RuntimeErrorShowsTheBoxThenEndsWithMinusOne) {
    const Finished run = runProbe(QStringLiteral("error"));
    const std::string out = run.output.toStdString();
    EXPECT_EQ(run.status, 255) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("box title=错误\n"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("box icon=critical\n"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("box buttons=1\n"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("box owner=none\n"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("box text=运行时出错!||错误代码：9||错误信息："))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("window visible=yes\n"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("pressing OK\n"))) << out;
    // No handler ran once the report began, and the end routine was skipped.
    EXPECT_FALSE(run.output.section(QStringLiteral("reporting"), 1).contains(QStringLiteral("drawCard ran"))) << out;
    EXPECT_FALSE(run.output.contains(QStringLiteral("end routine ran"))) << out;
}

TEST(ProcessExit, EscEndsTheStartRoutineWithZero) {
    const Finished run = runProbe(QStringLiteral("esc"));
    const std::string out = run.output.toStdString();
    EXPECT_EQ(run.status, 0) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("pressing Esc in app::EditBox"))) << out;
    EXPECT_TRUE(run.output.contains(QStringLiteral("end routine ran"))) << out;
}

// Runs a command to its end and gives its exit code and output.
std::optional<int> runCommand(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                              QString* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (output != nullptr) {
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    return process.exitCode();
}

// An X server of the test's own on the first free display of a range.
class OwnXvfb {
public:
    bool start(const QString& xvfb) {
        for (int display = 91; display < 140; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
                continue;
            }
            name_ = QStringLiteral(":%1").arg(display);
            server_.start(xvfb, {name_, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                 QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!server_.waitForStarted(5000)) {
                continue;
            }
            for (int i = 0; i < 100 && server_.state() == QProcess::Running; ++i) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
                    QThread::msleep(100);
                    return true;
                }
                QThread::msleep(50);
            }
            server_.kill();
            server_.waitForFinished(2000);
        }
        return false;
    }
    ~OwnXvfb() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(3000)) {
                server_.kill();
                server_.waitForFinished(2000);
            }
        }
    }
    QString display() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

TEST(RealWindow, EscClosesTheProgramWithStatusZero) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xvfb.isEmpty() || xdotool.isEmpty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool";
    }
    OwnXvfb server;
    ASSERT_TRUE(server.start(xvfb));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(kProgram, {});
    ASSERT_TRUE(program.waitForStarted(5000));

    QString windowId;
    for (int i = 0; i < 100 && windowId.isEmpty(); ++i) {
        QString found;
        const auto code = runCommand(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QStringLiteral("^Tessivanev1\\.0$")},
                                     env, &found);
        if (code == 0 && !found.isEmpty()) {
            windowId = found.split(QLatin1Char('\n')).value(0);
        } else {
            QThread::msleep(100);
        }
    }
    ASSERT_FALSE(windowId.isEmpty()) << "the window never appeared";

    QString geometry;
    runCommand(xdotool, {QStringLiteral("getwindowgeometry"), windowId}, env, &geometry);
    // No window manager here: no frame, so the fitted client area is the window.
    EXPECT_TRUE(geometry.contains(QStringLiteral("Geometry: 426x401"))) << geometry.toStdString();
    EXPECT_TRUE(geometry.contains(QStringLiteral("Position: 292,152"))) << geometry.toStdString();

    runCommand(xdotool, {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId}, env);
    runCommand(xdotool, {QStringLiteral("key"), QStringLiteral("Escape")}, env);
    const bool ended = program.waitForFinished(10000);
    if (!ended) {
        program.kill();
        program.waitForFinished(2000);
    }
    ASSERT_TRUE(ended) << "Esc did not close the window";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace

// Saving cards with the real tool in a real X server, played like a person
// with xdotool: type a name, pick a template, press "制作", type a name
// without an extension into the save chooser and confirm.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace {

constexpr qint64 kCardSize = 336054;

// Main-window client coordinates of the controls the test uses (centres).
// With no window manager the X window is exactly the client area.
constexpr int kNameBoxX = 52 + 92 / 2, kNameBoxY = 39 + 20 / 2;
constexpr int kTemplateListX = 52 + 186 / 2, kTemplateListY = 64 + 20 / 2;
constexpr int kMakeButtonX = 344 + 64 / 2, kMakeButtonY = 39 + 22 / 2;

bool waitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class SaveCardEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb_ = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb_.isEmpty() || xdotool_.isEmpty())
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(home_.isValid() && work_.isValid());
        binary_ = QStringLiteral(TESS_BINARY_DIR "/app/tessivanev");
        ASSERT_TRUE(QFile::exists(binary_)) << binary_.toStdString();
        ASSERT_TRUE(startServer()) << "no free X display";
    }

    void TearDown() override {
        if (tool_.state() != QProcess::NotRunning) {
            tool_.kill();
            tool_.waitForFinished(5000);
        }
        stopServer();
    }

    // Asked politely, Xvfb removes its lock file and socket itself.
    void stopServer() {
        if (server_.state() == QProcess::NotRunning)
            return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(2000);
        }
    }

    // A display of our own: numbers other test programs are unlikely to
    // pick, skipping any that hold a lock; Xvfb itself refuses a taken one.
    bool startServer() {
        const int first = 150 + static_cast<int>(QCoreApplication::applicationPid() % 40);
        for (int i = 0; i < 40; ++i) {
            const int number = 150 + (first - 150 + i) % 40;
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            display_ = QStringLiteral(":%1").arg(number);
            server_.setProgram(xvfb_);
            server_.setArguments({display_, QStringLiteral("-screen"), QStringLiteral("0"),
                                  QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            server_.start();
            if (!server_.waitForStarted(5000))
                return false;
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            // Without an event loop QProcess learns of an exit only in a wait.
            bool exited = false;
            if (waitFor([&] { return QFile::exists(socket) || (exited = server_.waitForFinished(50)); }, 10000) &&
                !exited)
                return true;
            stopServer();
        }
        return false;
    }

    QProcessEnvironment displayEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Qt's file dialog remembers folders in the user's settings; keep ours apart.
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        return env;
    }

    QString xdotool(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(displayEnvironment());
        process.start(xdotool_, arguments);
        process.waitForFinished(20000);
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }

    QString focusedWindow() { return xdotool({QStringLiteral("getwindowfocus")}); }

    // With no window manager nobody gives the main window the keyboard
    // back when a chooser closes; do what a window manager does on a click.
    void focusMainWindow() {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window_});
        QThread::msleep(200);
    }

    void clickInWindow(int x, int y) {
        focusMainWindow();
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window_, QString::number(x),
                 QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
        QThread::msleep(300);
    }

    void keys(const QStringList& names) {
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")} + names);
        QThread::msleep(300);
    }

    void type(const QString& text) {
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
        QThread::msleep(300);
    }

    void typeName(const QString& name) {
        clickInWindow(kNameBoxX, kNameBoxY);
        keys({QStringLiteral("ctrl+a")});
        type(name);
    }

    // Presses "制作" and answers the save chooser with `pathWithoutExtension`,
    // typed whole into its name box; returns the file the tool wrote.
    QString saveAs(const QString& pathWithoutExtension) {
        clickInWindow(kMakeButtonX, kMakeButtonY);
        QString chooser;
        if (!waitFor([&] { chooser = focusedWindow(); return !chooser.isEmpty() && chooser != window_; }, 15000)) {
            ADD_FAILURE() << "the save chooser did not take the focus";
            return {};
        }
        QThread::msleep(700);  // let the chooser finish laying out its folder
        keys({QStringLiteral("ctrl+a")});
        type(pathWithoutExtension);
        keys({QStringLiteral("Return")});
        const QString written = pathWithoutExtension + QStringLiteral(".bmp");
        if (!waitFor([&] { return QFileInfo(written).size() == kCardSize && focusedWindow() != chooser; }, 15000))
            ADD_FAILURE() << "no card at " << written.toStdString() << " (size " << QFileInfo(written).size() << ")";
        QThread::msleep(300);
        return written;
    }

    QString xvfb_, xdotool_, binary_, display_, window_;
    QTemporaryDir home_, work_;
    QProcess server_, tool_;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The pixel rows of a bottom-up 24-bit card file differ between a and b
// anywhere inside `inside` (true) or anywhere outside it (false).
struct Box {
    int left, top, right, bottom;  // right and bottom exclusive
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

int differingPixels(const QByteArray& a, const QByteArray& b, const std::function<bool(int, int)>& counted) {
    const int stride = 400 * 3;  // 1200: already a multiple of 4
    int count = 0;
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 400; ++x) {
            const qsizetype at = 54 + static_cast<qsizetype>(279 - y) * stride + x * 3;
            if (counted(x, y) && (a.at(at) != b.at(at) || a.at(at + 1) != b.at(at + 1) || a.at(at + 2) != b.at(at + 2)))
                ++count;
        }
    return count;
}

TEST_F(SaveCardEndToEnd, SavesTheCardOnScreenUnderTheTypedNameWithBmpAdded) {
    tool_.setProcessEnvironment(displayEnvironment());
    tool_.setProcessChannelMode(QProcess::ForwardedChannels);
    tool_.start(binary_, {});
    ASSERT_TRUE(tool_.waitForStarted(10000));
    ASSERT_TRUE(waitFor(
        [&] {
            window_ = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                               QStringLiteral("^Tessivanev1\\.0$")})
                          .section(QLatin1Char('\n'), 0, 0);
            return !window_.isEmpty();
        },
        20000))
        << "the main window did not appear";
    ASSERT_TRUE(waitFor([&] { return focusedWindow() == window_; }, 10000)) << "the main window has no focus";
    QThread::msleep(500);

    const QString folder = QDir(work_.path()).canonicalPath();
    typeName(QStringLiteral("Alice"));
    const QString firstTemplate = saveAs(folder + QStringLiteral("/firstTemplate"));

    // The third template: open the list, move down twice, take it.
    clickInWindow(kTemplateListX, kTemplateListY);
    keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    const QString alice = saveAs(folder + QStringLiteral("/Alice"));

    typeName(QStringLiteral("Bob"));
    const QString bob = saveAs(folder + QStringLiteral("/Bob"));

    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("Alice.bmp"), QStringLiteral("Bob.bmp"), QStringLiteral("firstTemplate.bmp")}));

    const QByteArray cards[] = {readAll(firstTemplate), readAll(alice), readAll(bob)};
    for (const QByteArray& card : cards) {
        ASSERT_EQ(card.size(), kCardSize);
        EXPECT_EQ(card.left(2), QByteArray("BM"));
        EXPECT_EQ(static_cast<std::uint8_t>(card.at(28)), 24) << "bits per pixel";
    }
    // The name is written at (245, 17) and (292, 107) in 10-point bold.
    const Box nameAreas[] = {{240, 12, 400, 40}, {287, 102, 400, 130}};
    const auto inNameArea = [&](int x, int y) { return nameAreas[0].contains(x, y) || nameAreas[1].contains(x, y); };
    const auto outsideNameArea = [&](int x, int y) { return !inNameArea(x, y); };

    EXPECT_GT(differingPixels(cards[0], cards[1], outsideNameArea), 1000) << "the template choice did not reach the card";
    EXPECT_GT(differingPixels(cards[1], cards[2], inNameArea), 20) << "the names look alike";
    EXPECT_EQ(differingPixels(cards[1], cards[2], outsideNameArea), 0) << "another name changed more than the name";

    focusMainWindow();
    keys({QStringLiteral("Escape")});
    ASSERT_TRUE(tool_.waitForFinished(10000)) << "Esc did not end the tool";
    EXPECT_EQ(tool_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool_.exitCode(), 0);
}

}  // namespace

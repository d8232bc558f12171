// Test-only program: ends the way its argument asks so that the tests can see
// the exit status of a real process.
//   error  shows the main window, then reports run-time error 9; a timer
//          describes the real error box, tries to run handlers behind it and
//          presses OK. Expected status: -1 (255), no end routine.
//   esc    runs the real start routine and presses Esc once the window is
//          up. Expected status: 0, after the end routine.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/controls.h"
#include "app/handlers.h"
#include "app/runtime.h"
#include "app/start.h"
#include "app/window.h"

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void describeAndAcceptTheBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
        QTimer::singleShot(20, describeAndAcceptTheBox);
        return;
    }
    say(QStringLiteral("box title=") + box->windowTitle());
    say(QStringLiteral("box icon=") + (box->icon() == QMessageBox::Critical ? QStringLiteral("critical")
                                                                          : QStringLiteral("other")));
    say(QStringLiteral("box buttons=") + QString::number(box->buttons().size()));
    say(QStringLiteral("box owner=") + (box->parentWidget() == nullptr ? QStringLiteral("none")
                                                                       : QStringLiteral("some")));
    QString text = box->text();
    text.replace(QLatin1Char('\n'), QStringLiteral("|"));
    say(QStringLiteral("box text=") + text);

    // Behind the box nothing may run: a program write and a list choice.
    if (app::Window* window = app::mainWindow()) {
        say(QStringLiteral("window visible=") + (window->isVisible() ? QStringLiteral("yes") : QStringLiteral("no")));
        window->control<app::EditBox>(QStringLiteral("编辑框2"))->writeText(QStringLiteral("behind"));
        emit window->control<app::ComboBox>(QStringLiteral("组合框1"))->activated(1);
    }
    QTimer::singleShot(50, [box] {
        say(QStringLiteral("pressing OK"));
        box->buttons().value(0)->click();
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::atexit([] { say(QStringLiteral("end routine ran")); });
    const char* mode = argc > 1 ? argv[1] : "";

    if (std::strcmp(mode, "error") == 0) {
        app::Window* window = app::launchMainWindow();
        if (window == nullptr) {
            return 3;
        }
        app::setDrawCardListener([] { say(QStringLiteral("drawCard ran")); });
        QTimer::singleShot(0, [] {
            QTimer::singleShot(0, describeAndAcceptTheBox);
            say(QStringLiteral("reporting"));
            app::reportRuntimeError(9, QString::fromUtf16(app::kError9Text));
        });
        application.exec();
        return 4;  // not reached: the report ends the process
    }
    if (std::strcmp(mode, "esc") == 0) {
        // Once the window is up and a control has the focus.
        auto* poll = new QTimer(&application);
        QObject::connect(poll, &QTimer::timeout, poll, [poll] {
            QWidget* focus = QApplication::focusWidget();
            if (focus == nullptr) {
                return;
            }
            poll->stop();
            say(QStringLiteral("pressing Esc in ") + focus->metaObject()->className());
            QTest::keyClick(focus, Qt::Key_Escape);
        });
        poll->start(50);
        return app::start(application);
    }
    return 2;
}

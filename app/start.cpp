#include "app/start.h"

#include <QApplication>
#include <QDir>
#include <QPointer>

#include <cstdlib>

#include "app/handlers.h"
#include "app/runtime.h"
#include "app/window.h"

namespace app {

namespace {

void runEndRoutine() { endRoutine(); }

}  // namespace

void endRoutine() {}

Window* launchMainWindow() {
    // 4. The window, hidden, with events suppressed while it is built.
    std::unique_ptr<Window> built = buildWindow(mainWindowDescription());
    if (!built) {
        reportRuntimeError(0, QStringLiteral("载入启动窗口失败"));
    }
    QPointer<Window> window = built.release();

    // 5. Created: onWindowCreated fits the window and draws the first card.
    raiseEvent(window->ref(), Event::Created);
    // 6. The position- and size-changed events, which nothing binds.
    if (window) {
        raiseEvent(window->ref(), Event::Moved);
    }
    if (window) {
        raiseEvent(window->ref(), Event::Resized);
    }
    // 7. Only now does the tool appear, with the first card on its canvas.
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    return window;
}

int start(QApplication& application) {
    // 1. Relative photo paths resolve against the program's own folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const WindowDesc& description = mainWindowDescription();
    if (!descriptionIsValid(description)) {
        reportRuntimeError(0, QStringLiteral("载入窗口模板数据段出错!"));
    }
    // 2. Globals.
    offscreenCanvas = {};
    // 3. The end routine; the run-time error report skips it.
    std::atexit(runEndRoutine);

    // 4 to 7.
    QPointer<Window> window = launchMainWindow();
    if (window) {
        // Closing destroys the window; the last window closed ends the loop.
        window->setAttribute(Qt::WA_DeleteOnClose);
        QApplication::setQuitOnLastWindowClosed(true);
    }
    // 8. The message loop runs until no window of the program is left.
    if (window) {
        application.exec();
    }
    delete window.data();  // already gone unless the loop ended some other way
    // 9. Orderly shutdown: the end routine runs at exit.
    return 0;
}

}  // namespace app

// Shared by the app tests: one QApplication for the test program and the main
// window launched as the start routine launches it.
#pragma once

#include <QApplication>
#include <QTest>

#include <memory>

#include "app/handlers.h"
#include "app/start.h"
#include "app/window.h"

namespace apptest {

// Kept to the end of the process on purpose: the test library's own input
// devices are destroyed at exit and must not outlive the application.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "app_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// Start-up steps 2 and 4 to 7, without the message loop. Shown and active.
inline std::unique_ptr<app::Window> launch() {
    application();
    app::offscreenCanvas = {};
    std::unique_ptr<app::Window> window(app::launchMainWindow());
    if (window) {
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window.get());
    }
    return window;
}

// Built from the description only (start-up step 4): hidden, no Created yet.
inline std::unique_ptr<app::Window> buildOnly() {
    application();
    app::offscreenCanvas = {};
    return app::buildWindow(app::mainWindowDescription());
}

// Counts drawCard calls for the life of the object.
class DrawCardCounter {
public:
    DrawCardCounter() {
        app::setDrawCardListener([this] { ++count_; });
    }
    ~DrawCardCounter() { app::setDrawCardListener({}); }
    DrawCardCounter(const DrawCardCounter&) = delete;
    DrawCardCounter& operator=(const DrawCardCounter&) = delete;
    int count() const { return count_; }

private:
    int count_ = 0;
};

}  // namespace apptest

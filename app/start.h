// The start routine: from an existing QApplication to the end of the message
// loop, in the order the tool relies on.
#pragma once

class QApplication;

namespace app {

// Sets the working folder to the program's folder, resets the globals,
// registers the end routine, builds the main window hidden with events
// suppressed, raises its Created event (the first card is drawn while it is
// still hidden), raises its position- and size-changed events, shows and
// activates it, and runs the message loop until it is closed. Returns 0.
// A failure to read or build the window description ends the process
// through the run-time error report.
int start(QApplication& application);

class Window;

// Start-up steps 4 to 7: builds the main window hidden from its description
// with events suppressed, raises Created, then the position- and
// size-changed events, then shows and activates the window. Returns the
// window, owned by the caller, or nullptr when a handler closed it.
Window* launchMainWindow();

// What the program does in an orderly shutdown: nothing.
void endRoutine();

}  // namespace app

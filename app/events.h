// Events, their bindings and their delivery. A unit (the window or one of its
// controls) raises an event; delivery follows the unit's redirection chain to
// its end and runs the handler bound there, synchronously. Everything runs on
// the GUI thread.
#pragma once

#include <QString>

#include <functional>

namespace app {

enum class Event {
    Created,           // the window, once per build
    Clicked,           // a button, mouse or keyboard
    TextChanged,       // an edit box, once per change of its text
    ListItemSelected,  // a combo box, posted after the user accepts an item
    Moved,             // the window's position-changed event (bound by nothing)
    Resized,           // the window's size-changed event (bound by nothing)
};

// A handler takes no arguments and returns nothing.
using Handler = std::function<void()>;

// A control named by its window and its identity among that window's units.
// control == 0 names the window itself; window == 0 is the empty reference.
struct ControlRef {
    int window = 0;
    int control = 0;

    bool empty() const { return window == 0; }
    friend bool operator==(const ControlRef&, const ControlRef&) = default;
};

// Delivers an event raised by `source`: dropped while events are suppressed;
// otherwise the redirection chain is followed to its end and the handler bound
// there for `event` runs to completion before this returns. A source that
// names no loaded window, a missing control or a kind that raises no events
// ends the program through the run-time error report.
void raiseEvent(ControlRef source, Event event);

// Makes `target`'s bindings serve `source`'s events. False, and nothing
// changed, when the source's window is not loaded or the source does not
// exist, or when a target is given that is on another window, does not exist,
// is of another kind than the source, or would close a cycle (a chain that
// leads back to the source is refused here, so delivery never meets one).
// The window (or a reference naming no control) as source removes every
// redirection of that window; an empty target removes the source's own.
bool redirectEvents(ControlRef source, ControlRef target);

// A new control with the source's kind, place, size and stored settings, in
// the same container right after the source and directly behind it in the
// stacking order, hidden, with no bindings and redirected to the source.
// Empty when the source is not a control of a loaded window.
ControlRef copyComponent(ControlRef source);

const char* eventName(Event event);

}  // namespace app

// The main window's handlers and `drawCard`. Each is a plain procedure that
// reads and writes the named controls of the main window; the stored event
// bindings refer to them by name.
#pragma once

#include <QString>

#include <functional>

#include "app/events.h"

namespace app {

// The hidden twin of `画板1` that the card is composed on; empty until
// `onWindowCreated` makes it, never cleared afterwards.
extern ControlRef offscreenCanvas;

// Fits the window to `外形框2`, redirects `编辑框2` and `编辑框3` to `编辑框1` and
// `组合框2` to `组合框1`, makes `offscreenCanvas` and draws the first card.
void onWindowCreated();
void onEditChanged();    // one drawCard per change of any edit box
void onComboSelected();  // one drawCard per accepted choice of either list
void onBrowseClicked();  // 按钮1 "浏览…"
void onMakeClicked();    // 按钮2 "制作"

// Composes the whole card on `offscreenCanvas` from the controls and today's
// date, then copies it onto `画板1`. A template choice outside the four items
// is run-time error 9.
void drawCard();

// Called at the start of every drawCard; for tests and diagnostics.
void setDrawCardListener(std::function<void()> listener);

// The handler stored under `name` in the window description; empty when the
// program has no handler of that name.
Handler findHandler(const QString& name);

}  // namespace app

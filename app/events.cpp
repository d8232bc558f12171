#include "app/events.h"

#include "app/runtime.h"
#include "app/window.h"

namespace app {

namespace {

// The file chooser has no on-screen presence and raises no events.
bool raisesEvents(UnitKind kind) { return kind != UnitKind::CommonDlg && kind != UnitKind::Window; }

}  // namespace

void raiseEvent(ControlRef source, Event event) {
    if (suppressionDepth() > 0) {
        return;
    }
    Window* window = findWindow(source.window);
    if (window == nullptr) {
        reportRuntimeError(0, QStringLiteral("未找到引发事件的窗口"));
    }
    Handler handler;
    if (source.control == 0) {
        handler = window->binding(0, event);
    } else {
        const Unit* raising = window->unit(source.control);
        if (raising == nullptr) {
            reportRuntimeError(0, QStringLiteral("未找到引发事件的窗口组件"));
        }
        if (!raisesEvents(raising->desc.kind)) {
            reportRuntimeError(0, QStringLiteral("引发事件的窗口组件无效"));
        }
        // Only the bindings at the end of the chain count, even when empty.
        handler = window->binding(window->redirectionEnd(*raising)->id, event);
    }
    // A copy: the handler may close the window and with it the binding table.
    if (handler) {
        handler();
    }
}

bool redirectEvents(ControlRef source, ControlRef target) {
    Window* window = findWindow(source.window);
    if (window == nullptr) {
        return false;
    }
    if (source.control == 0) {
        window->clearRedirections();
        return true;
    }
    Unit* from = window->unit(source.control);
    if (from == nullptr) {
        return false;
    }
    if (target.empty()) {
        from->redirect = 0;
        return true;
    }
    if (target.window != source.window || target.control == 0) {
        return false;
    }
    const Unit* to = window->unit(target.control);
    if (to == nullptr || to->desc.kind != from->desc.kind) {
        return false;
    }
    // Refuse a cycle: following the target's chain must not come back here.
    for (const Unit* step = to; step != nullptr; step = step->redirect != 0 ? window->unit(step->redirect) : nullptr) {
        if (step == from) {
            return false;
        }
    }
    from->redirect = to->id;
    return true;
}

ControlRef copyComponent(ControlRef source) {
    Window* window = findWindow(source.window);
    if (window == nullptr || source.control == 0) {
        return {};
    }
    const Unit* from = window->unit(source.control);
    if (from == nullptr || from->widget == nullptr) {
        return {};
    }
    return {window->id(), window->copyUnit(*from).id};
}

const char* eventName(Event event) {
    switch (event) {
    case Event::Created: return "Created";
    case Event::Clicked: return "Clicked";
    case Event::TextChanged: return "TextChanged";
    case Event::ListItemSelected: return "ListItemSelected";
    case Event::Moved: return "Moved";
    case Event::Resized: return "Resized";
    }
    return "";
}

}  // namespace app

// `window`: the top-level window unit and the registry of its controls. It
// keeps, per unit, the identity, kind, stored description, toolkit widget,
// event bindings and redirection target; event delivery (events.h) and the
// window geometry operations work on it.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

#include "app/events.h"
#include "app/window_description.h"

namespace app {

class Window;

struct Unit {
    int id = 0;                 // identity among the window's units; 0 is the window
    UnitDesc desc;              // the stored properties (a copy's are its source's)
    QPointer<QWidget> widget;
    std::map<Event, Handler> bindings;
    int redirect = 0;           // redirection target's identity; 0 for none
};

class Window : public QWidget {
    Q_OBJECT
public:
    // Makes the window hidden, with the caption, fixed border, minimise and
    // close buttons, icon, font and colours of the description, centred on
    // the primary screen for the stored outer size. The controls are added by
    // `buildWindow`.
    explicit Window(const WindowDesc& description);
    ~Window() override;

    int id() const { return id_; }
    ControlRef ref() const { return {id_, 0}; }
    ControlRef ref(const QString& name) const;  // empty when no unit has the name

    Unit* unit(int id);
    const Unit* unit(int id) const;
    const Unit* unit(const QString& name) const;
    QWidget* widget(const QString& name) const;
    template <typename T>
    T* control(const QString& name) const {
        return qobject_cast<T*>(widget(name));
    }
    // The units in the order of their containers' child lists (creation order,
    // copies right after their source).
    const std::vector<std::unique_ptr<Unit>>& units() const { return units_; }

    // Adds a control from its description; parent is the window or a frame.
    Unit& addUnit(const UnitDesc& desc, QWidget* parent);
    // A hidden copy of `source` right after it and behind it (see copyComponent).
    Unit& copyUnit(const Unit& source);

    void setBinding(int unitId, Event event, Handler handler);  // unitId 0: the window
    Handler binding(int unitId, Event event) const;
    // The unit whose bindings serve `raising`'s events.
    const Unit* redirectionEnd(const Unit& raising) const;
    void clearRedirections();

    // Window geometry: outer size is the frame geometry, client size the area
    // inside the frame. Writing an outer dimension clamps it to 0..32627,
    // keeps the top-left corner and the other dimension, and resizes at once,
    // shown or hidden.
    int outerWidth() const;
    int outerHeight() const;
    int clientWidth() const;
    int clientHeight() const;
    void setOuterWidth(int width);
    void setOuterHeight(int height);

    static constexpr int kLargestOuterSize = 32627;

private:
    QSize frameExtra() const;

    int id_;
    int nextUnitId_ = 1;
    std::map<Event, Handler> windowBindings_;
    std::vector<std::unique_ptr<Unit>> units_;
    std::unique_ptr<QObject> escapeFilter_;
};

// The loaded window with that identity, or nullptr.
Window* findWindow(int id);

// The loaded window built from mainWindowDescription(), or nullptr.
Window* mainWindow();

// Builds a window from its description with events suppressed: the window
// hidden, then every control at its place in creation order with its texts,
// items and selection, the stacking and tab order, the stored bindings, and
// the visible controls shown. nullptr when the description cannot be built.
std::unique_ptr<Window> buildWindow(const WindowDesc& description);

}  // namespace app

// The stored description of a window: every unit with its kind, name,
// parent, place, size, texts, list items, selection and visibility, and the
// table of event bindings. It is data; `buildWindow` walks it in order and
// nothing about the layout is coded per control.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/events.h"
#include "card/surface.h"

namespace app {

enum class UnitKind { Window, ShapeBox, EditBox, ComboBox, Label, Button, DrawPanel, CommonDlg };

const char* kindClassName(UnitKind kind);  // "window", "ShapeBox", ...

struct UnitDesc {
    UnitKind kind = UnitKind::ShapeBox;
    QString name;            // kind and running number, e.g. "编辑框1"
    QString parent;          // the containing unit; empty for the window
    QRect place;             // left, top in the parent's client area; outer size
    QString text;            // caption, initial text or button caption
    QStringList items;       // list items, in this order
    int selected = -1;       // zero-based selected item
    bool visible = true;
    bool multiLine = false;  // captions: several lines from the top
    card::Colour background = card::kSystemColourMarker;  // frames and captions
    std::optional<card::Colour> fill;                      // frames: none = hollow
    std::optional<card::DrawingState> canvasState;         // canvases
};

// `unit` empty binds the window's own event.
struct BindingDesc {
    QString unit;
    Event event = Event::Created;
    QString handler;
};

struct WindowDesc {
    QString caption;
    QPoint storedPlace;   // not used: the window starts centred
    QSize outerSize;      // frame and title bar included
    QString iconResource;
    std::vector<UnitDesc> units;  // in creation order
    std::vector<BindingDesc> bindings;
};

// The tool's one window.
const WindowDesc& mainWindowDescription();

// Whether a description can be built: every parent is the window or a frame
// created before the unit, names are unique and every handler is known.
bool descriptionIsValid(const WindowDesc& description);

// 0x00BBGGRR to a colour; the marker gives the platform's button-face colour.
QColor toQColor(card::Colour colour);

}  // namespace app

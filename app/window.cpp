#include "app/window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

#include "app/controls.h"
#include "app/handlers.h"
#include "app/runtime.h"
#include "card/draw_panel.h"
#include "files/common_dlg.h"

// Resources of a static library must be initialised by name, outside any
// namespace; once is enough.
static void initialiseResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)done;
}

namespace app {

namespace {

std::map<int, Window*>& loadedWindows() {
    static std::map<int, Window*> windows;
    return windows;
}

int nextWindowId = 1;

// Esc closes the window whichever of its controls has the focus, an open
// drop-down list included. The lists' popups are windows of their own, so
// this watches the whole application: a key pressed in a popup whose owner
// chain leads to our window counts, one pressed in any other window (a file
// chooser or message box opened over ours) does not.
class EscapeCloser : public QObject {
public:
    explicit EscapeCloser(Window* window) : window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape ||
            (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || !belongsToWindow(widget)) {
            return false;
        }
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        window_->close();
        return true;
    }

private:
    bool belongsToWindow(QWidget* widget) const {
        for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
            if (w == window_) {
                return true;
            }
            if (w->isWindow() && w->windowType() != Qt::Popup) {
                return false;
            }
        }
        return false;
    }

    Window* window_;
};

constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                         Qt::WindowCloseButtonHint;

// The platform's default GUI font of this tool: a CJK face at 12 pixels, the
// line height the stored layout was made for.
QFont defaultGuiFont() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("SimSun"), font.family()});
    font.setPixelSize(12);
    return font;
}

QWidget* createControl(const UnitDesc& desc, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (desc.kind) {
    case UnitKind::Window:
        return nullptr;
    case UnitKind::ShapeBox: {
        std::optional<QColor> fill;
        if (desc.fill) {
            fill = toQColor(*desc.fill);
        }
        widget = new ShapeBox(toQColor(desc.background), fill, parent);
        break;
    }
    case UnitKind::Label:
        widget = new Label(desc.text, desc.multiLine, parent);
        break;
    case UnitKind::EditBox: {
        auto* edit = new EditBox(parent);
        edit->setText(desc.text);
        edit->setCursorPosition(0);
        widget = edit;
        break;
    }
    case UnitKind::ComboBox: {
        auto* combo = new ComboBox(parent);
        combo->addItems(desc.items);
        combo->setCurrentIndex(desc.selected);
        // The open list shows every item without scrolling.
        combo->setMaxVisibleItems(std::max(10, static_cast<int>(desc.items.size())));
        widget = combo;
        break;
    }
    case UnitKind::Button:
        widget = new Button(desc.text, parent);
        break;
    case UnitKind::DrawPanel: {
        const card::DrawingState state = desc.canvasState ? *desc.canvasState : card::DrawingState::cardCanvas();
        widget = new card::DrawPanel(state, desc.place.width(), desc.place.height(), parent);
        widget->setFocusPolicy(Qt::NoFocus);
        break;
    }
    case UnitKind::CommonDlg:
        widget = new files::CommonDlg(parent);
        widget->setFocusPolicy(Qt::NoFocus);
        break;
    }
    widget->setGeometry(desc.place);
    return widget;
}

void connectEvents(Unit& unit, ControlRef ref) {
    if (auto* edit = qobject_cast<EditBox*>(unit.widget)) {
        QObject::connect(edit, &EditBox::changed, edit, [ref] { raiseEvent(ref, Event::TextChanged); });
    } else if (auto* combo = qobject_cast<ComboBox*>(unit.widget)) {
        // Posted, so the handler runs after the toolkit has finished updating
        // the selection. An event raised while suppressed is dropped here and
        // not delivered later; delivery checks the depth again.
        QObject::connect(combo, &ComboBox::activated, combo, [ref, combo] {
            if (suppressionDepth() > 0) {
                return;
            }
            QMetaObject::invokeMethod(combo, [ref] { raiseEvent(ref, Event::ListItemSelected); },
                                      Qt::QueuedConnection);
        });
    } else if (auto* button = qobject_cast<Button*>(unit.widget)) {
        QObject::connect(button, &Button::clicked, button, [ref] { raiseEvent(ref, Event::Clicked); });
    }
}

}  // namespace

Window::Window(const WindowDesc& description) : QWidget(nullptr, kWindowFlags), id_(nextWindowId++) {
    loadedWindows()[id_] = this;
    initialiseResources();
    setWindowTitle(description.caption);
    if (!description.iconResource.isEmpty()) {
        setWindowIcon(QIcon(description.iconResource));
    }
    setFont(defaultGuiFont());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, toQColor(card::kSystemColourMarker));
    setPalette(colours);
    setAutoFillBackground(true);

    // Centred on the whole primary screen for the stored outer size; the
    // integer division drops the fraction.
    const QSize outer = description.outerSize;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect whole = screen->geometry();
        move(whole.x() + (whole.width() - outer.width()) / 2, whole.y() + (whole.height() - outer.height()) / 2);
    }
    setOuterWidth(outer.width());
    setOuterHeight(outer.height());

    escapeFilter_ = std::make_unique<EscapeCloser>(this);
    qApp->installEventFilter(escapeFilter_.get());
}

Window::~Window() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(escapeFilter_.get());
    }
    loadedWindows().erase(id_);
    // The controls go with the window; their records must not outlive it.
    units_.clear();
}

ControlRef Window::ref(const QString& name) const {
    const Unit* found = unit(name);
    return found != nullptr ? ControlRef{id_, found->id} : ControlRef{};
}

Unit* Window::unit(int id) {
    for (auto& u : units_) {
        if (u->id == id) {
            return u.get();
        }
    }
    return nullptr;
}

const Unit* Window::unit(int id) const { return const_cast<Window*>(this)->unit(id); }

const Unit* Window::unit(const QString& name) const {
    if (name.isEmpty()) {
        return nullptr;
    }
    for (const auto& u : units_) {
        if (u->desc.name == name) {
            return u.get();
        }
    }
    return nullptr;
}

QWidget* Window::widget(const QString& name) const {
    const Unit* found = unit(name);
    return found != nullptr ? found->widget.data() : nullptr;
}

Unit& Window::addUnit(const UnitDesc& desc, QWidget* parent) {
    auto unit = std::make_unique<Unit>();
    unit->id = nextUnitId_++;
    unit->desc = desc;
    unit->widget = createControl(desc, parent);
    connectEvents(*unit, {id_, unit->id});
    units_.push_back(std::move(unit));
    return *units_.back();
}

Unit& Window::copyUnit(const Unit& source) {
    auto copy = std::make_unique<Unit>();
    copy->id = nextUnitId_++;
    copy->desc = source.desc;
    copy->desc.name.clear();
    copy->desc.visible = false;
    if (const auto* panel = qobject_cast<const card::DrawPanel*>(source.widget.data())) {
        copy->desc.canvasState = panel->storedState();
    }
    copy->widget = createControl(copy->desc, source.widget->parentWidget());
    copy->widget->hide();
    copy->widget->stackUnder(source.widget);
    copy->redirect = source.id;
    connectEvents(*copy, {id_, copy->id});

    const auto at = std::find_if(units_.begin(), units_.end(), [&](const auto& u) { return u.get() == &source; });
    return **units_.insert(at == units_.end() ? at : at + 1, std::move(copy));
}

void Window::setBinding(int unitId, Event event, Handler handler) {
    if (unitId == 0) {
        windowBindings_[event] = std::move(handler);
    } else if (Unit* u = unit(unitId)) {
        u->bindings[event] = std::move(handler);
    }
}

Handler Window::binding(int unitId, Event event) const {
    const std::map<Event, Handler>* table = &windowBindings_;
    if (unitId != 0) {
        const Unit* u = unit(unitId);
        if (u == nullptr) {
            return {};
        }
        table = &u->bindings;
    }
    const auto found = table->find(event);
    return found != table->end() ? found->second : Handler{};
}

const Unit* Window::redirectionEnd(const Unit& raising) const {
    // redirectEvents refuses cycles, so the chain ends; the bound guards
    // against a chain that was never set through it.
    const Unit* current = &raising;
    for (std::size_t steps = 0; steps <= units_.size(); ++steps) {
        const Unit* next = current->redirect != 0 ? unit(current->redirect) : nullptr;
        if (next == nullptr || next->desc.kind != raising.desc.kind) {
            break;
        }
        current = next;
    }
    return current;
}

void Window::clearRedirections() {
    for (auto& u : units_) {
        u->redirect = 0;
    }
}

QSize Window::frameExtra() const { return frameGeometry().size() - geometry().size(); }

int Window::outerWidth() const { return frameGeometry().width(); }
int Window::outerHeight() const { return frameGeometry().height(); }
int Window::clientWidth() const { return geometry().width(); }
int Window::clientHeight() const { return geometry().height(); }

void Window::setOuterWidth(int width) {
    const int outer = std::clamp(width, 0, kLargestOuterSize);
    const QPoint corner = frameGeometry().topLeft();
    setFixedSize(std::max(0, outer - frameExtra().width()), geometry().height());
    if (frameGeometry().topLeft() != corner) {
        move(corner);
    }
}

void Window::setOuterHeight(int height) {
    const int outer = std::clamp(height, 0, kLargestOuterSize);
    const QPoint corner = frameGeometry().topLeft();
    setFixedSize(geometry().width(), std::max(0, outer - frameExtra().height()));
    if (frameGeometry().topLeft() != corner) {
        move(corner);
    }
}

Window* findWindow(int id) {
    const auto found = loadedWindows().find(id);
    return found != loadedWindows().end() ? found->second : nullptr;
}

Window* mainWindow() {
    for (const auto& [id, window] : loadedWindows()) {
        if (window->property("tessMainWindow").toBool()) {
            return window;
        }
    }
    return nullptr;
}

std::unique_ptr<Window> buildWindow(const WindowDesc& description) {
    if (!descriptionIsValid(description)) {
        return nullptr;
    }
    SuppressEvents quiet;  // building puts texts, items and selections in: no events
    auto window = std::make_unique<Window>(description);
    window->setProperty("tessMainWindow", &description == &mainWindowDescription());

    for (const UnitDesc& desc : description.units) {
        QWidget* parent = desc.parent.isEmpty() ? window.get() : window->widget(desc.parent);
        if (parent == nullptr) {
            return nullptr;
        }
        window->addUnit(desc, parent);
    }
    for (const BindingDesc& binding : description.bindings) {
        const int unitId = binding.unit.isEmpty() ? 0 : window->ref(binding.unit).control;
        window->setBinding(unitId, binding.event, findHandler(binding.handler));
    }

    // Stacking: among siblings a later unit lies above an earlier one.
    // Tab order: the focusable controls in creation order, wrapping.
    QWidget* previous = nullptr;
    QWidget* first = nullptr;
    for (const auto& unit : window->units()) {
        QWidget* widget = unit->widget;
        widget->raise();
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, widget);
            } else {
                first = widget;
            }
            previous = widget;
        }
    }
    for (const auto& unit : window->units()) {
        // The file chooser control has no on-screen presence and takes no room.
        if (unit->desc.visible && unit->desc.kind != UnitKind::CommonDlg) {
            unit->widget->show();
        } else {
            unit->widget->hide();
        }
    }
    if (first != nullptr) {
        first->setFocus(Qt::OtherFocusReason);
    }
    return window;
}

}  // namespace app

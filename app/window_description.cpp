#include "app/window_description.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QSet>

#include "app/handlers.h"

namespace app {

const char* kindClassName(UnitKind kind) {
    switch (kind) {
    case UnitKind::Window: return "window";
    case UnitKind::ShapeBox: return "ShapeBox";
    case UnitKind::EditBox: return "EditBox";
    case UnitKind::ComboBox: return "ComboBox";
    case UnitKind::Label: return "Label";
    case UnitKind::Button: return "Button";
    case UnitKind::DrawPanel: return "DrawPanel";
    case UnitKind::CommonDlg: return "CommonDlg";
    }
    return "";
}

namespace {

constexpr card::Colour kWhite = 0xFFFFFF;

UnitDesc frame(const char16_t* name, QRect place, card::Colour background, std::optional<card::Colour> fill) {
    UnitDesc unit;
    unit.kind = UnitKind::ShapeBox;
    unit.name = QString::fromUtf16(name);
    unit.place = place;
    unit.background = background;
    unit.fill = fill;
    return unit;
}

UnitDesc control(UnitKind kind, const char16_t* name, const char16_t* parent, QRect place) {
    UnitDesc unit;
    unit.kind = kind;
    unit.name = QString::fromUtf16(name);
    unit.parent = QString::fromUtf16(parent);
    unit.place = place;
    return unit;
}

UnitDesc withText(UnitDesc unit, const char16_t* text) {
    unit.text = QString::fromUtf16(text);
    return unit;
}

UnitDesc caption(const char16_t* name, QRect place, const char16_t* text, bool multiLine) {
    UnitDesc unit = withText(control(UnitKind::Label, name, u"外形框1", place), text);
    unit.multiLine = multiLine;
    unit.background = kWhite;
    return unit;
}

UnitDesc list(const char16_t* name, QRect place, QStringList items) {
    UnitDesc unit = control(UnitKind::ComboBox, name, u"外形框1", place);
    unit.items = std::move(items);
    unit.selected = 0;
    return unit;
}

WindowDesc makeMainWindow() {
    WindowDesc d;
    d.caption = QStringLiteral("Tessivanev1.0");
    d.storedPlace = QPoint(50, 50);
    d.outerSize = QSize(439, 464);
    d.iconResource = QStringLiteral(":/window-icon.png");

    // Creation order; among siblings a later unit lies above an earlier one.
    d.units.push_back(frame(u"外形框1", QRect(8, 8, 410, 88), kWhite, std::nullopt));
    d.units.push_back(caption(u"标签1", QRect(8, 12, 40, 60), u"照片：\r\n\r\n姓名：\r\n\r\n模板：", true));
    d.units.push_back(control(UnitKind::EditBox, u"编辑框1", u"外形框1", QRect(44, 8, 284, 20)));
    d.units.push_back(withText(control(UnitKind::Button, u"按钮1", u"外形框1", QRect(336, 6, 64, 22)), u"浏览…"));
    d.units.push_back(frame(u"外形框2", QRect(8, 102, 410, 291), card::kSystemColourMarker, kWhite));
    UnitDesc canvas = control(UnitKind::DrawPanel, u"画板1", u"外形框2", QRect(5, 5, 400, 280));
    canvas.canvasState = card::DrawingState::cardCanvas();
    d.units.push_back(canvas);
    d.units.push_back(withText(control(UnitKind::EditBox, u"编辑框2", u"外形框1", QRect(44, 31, 92, 20)),
                               u"tessivanev.cn"));
    d.units.push_back(caption(u"标签2", QRect(139, 31, 40, 20), u"性别：", false));
    d.units.push_back(list(u"组合框1", QRect(174, 31, 56, 20), {QStringLiteral("男"), QStringLiteral("女"),
                                                               QStringLiteral("保密")}));
    d.units.push_back(caption(u"标签3", QRect(237, 31, 48, 20), u"年龄：", false));
    d.units.push_back(control(UnitKind::EditBox, u"编辑框3", u"外形框1", QRect(272, 31, 56, 20)));
    d.units.push_back(withText(control(UnitKind::Button, u"按钮2", u"外形框1", QRect(336, 31, 64, 22)), u"制作"));
    d.units.push_back(control(UnitKind::CommonDlg, u"通用对话框1", u"外形框1", QRect(240, 8, 24, 24)));
    d.units.push_back(list(u"组合框2", QRect(44, 56, 186, 20),
                           {QStringLiteral("灌水证(蓝色)"), QStringLiteral("灌水证(紫色)"),
                            QStringLiteral("灌水证(绿色)"), QStringLiteral("忽悠证")}));

    d.bindings = {
        {QString(), Event::Created, QStringLiteral("onWindowCreated")},
        {QStringLiteral("按钮1"), Event::Clicked, QStringLiteral("onBrowseClicked")},
        {QStringLiteral("按钮2"), Event::Clicked, QStringLiteral("onMakeClicked")},
        {QStringLiteral("组合框1"), Event::ListItemSelected, QStringLiteral("onComboSelected")},
        {QStringLiteral("编辑框1"), Event::TextChanged, QStringLiteral("onEditChanged")},
    };
    return d;
}

}  // namespace

const WindowDesc& mainWindowDescription() {
    static const WindowDesc description = makeMainWindow();
    return description;
}

bool descriptionIsValid(const WindowDesc& description) {
    if (description.units.empty() || description.outerSize.isEmpty()) {
        return false;
    }
    QSet<QString> names;
    QSet<QString> frames;
    for (const UnitDesc& unit : description.units) {
        if (unit.kind == UnitKind::Window || unit.name.isEmpty() || names.contains(unit.name)) {
            return false;
        }
        if (!unit.parent.isEmpty() && !frames.contains(unit.parent)) {
            return false;
        }
        if (unit.kind == UnitKind::DrawPanel && !unit.canvasState) {
            return false;
        }
        names.insert(unit.name);
        if (unit.kind == UnitKind::ShapeBox) {
            frames.insert(unit.name);
        }
    }
    for (const BindingDesc& binding : description.bindings) {
        if (!binding.unit.isEmpty() && !names.contains(binding.unit)) {
            return false;
        }
        if (!findHandler(binding.handler)) {
            return false;
        }
    }
    return true;
}

QColor toQColor(card::Colour colour) {
    if (colour == card::kSystemColourMarker) {
        return QApplication::palette().color(QPalette::Button);
    }
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

}  // namespace app

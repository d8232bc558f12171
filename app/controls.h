// The thin Qt classes behind the unit kinds of the window description. Each
// gives the toolkit's notifications the meaning the program's events need:
// exactly one `changed` per change of an edit box's text, `activated` for
// each accepted choice of a list, `clicked` of a button.
// The canvas (`card::DrawPanel`) and the file chooser (`files::CommonDlg`)
// come from card/ and files/.
#pragma once

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <optional>

namespace app {

// A frame: its background colour, then a 1-pixel black outline along its own
// rectangle, filled with the fill colour when there is one. Its outline is
// painted inside the rectangle, so its client area is the whole rectangle.
class ShapeBox : public QWidget {
    Q_OBJECT
public:
    ShapeBox(QColor background, std::optional<QColor> fill, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_;
    std::optional<QColor> fill_;
};

// A caption: white opaque background, black text aligned left on a
// transparent background. A multi-line caption breaks at each line break,
// wraps at word boundaries to its width and lays its lines from the top at a
// fixed line pitch; a one-line caption is centred vertically.
class Label : public QWidget {
    Q_OBJECT
public:
    Label(const QString& text, bool multiLine, QWidget* parent);

    QString text() const { return text_; }

    // The line pitch of multi-line captions: the stored layout places the
    // captions of the three rows 0, 24 and 48 pixels below the label's top.
    static constexpr int kLinePitch = 12;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    bool multiLine_;
};

// A one-line text box. `changed` is emitted once for every change of the
// text: typing, deleting, pasting and undoing each emit it once, and a
// program write through `writeText` emits it exactly once after the new text
// is in place, even when the text does not change.
class EditBox : public QLineEdit {
    Q_OBJECT
public:
    explicit EditBox(QWidget* parent);

    // A program write. The toolkit's own notifications during the write are
    // not passed on; one `changed` follows it.
    void writeText(const QString& text);

signals:
    void changed();

protected:
    // Moving the focus in by Tab leaves the caret and selection as they were
    // (the toolkit would select the whole text).
    void focusInEvent(QFocusEvent* event) override;

private:
    bool writing_ = false;
};

// A drop-down list that cannot be typed into. The toolkit's `activated`
// marks an accepted choice, also of the item already selected.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent);
};

// A push button that is never a default button: Enter does not click it.
class Button : public QPushButton {
    Q_OBJECT
public:
    Button(const QString& caption, QWidget* parent);
};

}  // namespace app

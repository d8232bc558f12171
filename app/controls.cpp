#include "app/controls.h"

#include <QFocusEvent>
#include <QPainter>
#include <QTextLayout>

namespace app {

ShapeBox::ShapeBox(QColor background, std::optional<QColor> fill, QWidget* parent)
    : QWidget(parent), background_(background), fill_(fill) {
    setFocusPolicy(Qt::NoFocus);
}

void ShapeBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    painter.setPen(QPen(Qt::black, 1));
    if (fill_) {
        painter.setBrush(*fill_);
    } else {
        painter.setBrush(Qt::NoBrush);
    }
    // A 1-pixel outline on the outermost ring of the frame's own rectangle.
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

Label::Label(const QString& text, bool multiLine, QWidget* parent)
    : QWidget(parent), text_(text), multiLine_(multiLine) {
    setFocusPolicy(Qt::NoFocus);
}

void Label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(font());
    const QFontMetrics metrics(font());

    if (!multiLine_) {
        const int baseline = (height() - metrics.height()) / 2 + metrics.ascent();
        painter.drawText(0, baseline, text_);
        return;
    }

    // Each line gets a cell of kLinePitch pixels with the font's box centred
    // in it, so the captions line up with the boxes to their right.
    QString text = text_;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const int baselineInCell = (kLinePitch - metrics.height()) / 2 + metrics.ascent();
    int top = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            top += kLinePitch;
            continue;
        }
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width());
            const QString piece = paragraph.mid(line.textStart(), line.textLength());
            painter.drawText(0, top + baselineInCell, piece);
            top += kLinePitch;
        }
        layout.endLayout();
    }
}

EditBox::EditBox(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!writing_) {
            emit changed();
        }
    });
}

void EditBox::writeText(const QString& text) {
    writing_ = true;
    setText(text);
    writing_ = false;
    emit changed();
}

void EditBox::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
        QFocusEvent plain(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&plain);
        return;
    }
    QLineEdit::focusInEvent(event);
}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
}

Button::Button(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    setDefault(false);
}

}  // namespace app

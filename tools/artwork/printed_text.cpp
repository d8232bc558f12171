#include "printed_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace artwork {
namespace {

// Coverage from which a pixel counts as solidly inked: the layout's
// character tops mean the first solid row, not a half-covered serif tip.
constexpr int kSolidAlpha = 96;
// Anti-aliasing leaves a row of nearly invisible coverage (a few per cent)
// above and below most lines of text; it would tint the blanks next to the
// print, so it is dropped.
constexpr int kFaintAlpha = 24;

struct Rendered {
    QImage image;
    QRect ink;     // every pixel with any coverage
    int solidTop;  // first row with solid coverage
};

Rendered render(const QString& text, QFont font, const QColor& colour, qreal spacing) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    const QFontMetricsF metrics(font);
    const int margin = 2 * std::max(font.pixelSize(), 8) + 8;
    const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(text))) + 2 * margin;
    const int height = static_cast<int>(std::ceil(metrics.height())) + 2 * margin;
    Rendered out{QImage(width, height, QImage::Format_ARGB32_Premultiplied), QRect(), 0};
    out.image.fill(Qt::transparent);
    {
        QPainter painter(&out.image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QPointF(margin, margin + metrics.ascent()), text);
    }
    int left = width, top = height, right = -1, bottom = -1;
    out.solidTop = height;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) < kFaintAlpha) line[x] = 0;
            if (qAlpha(line[x]) == 0) continue;
            if (qAlpha(line[x]) >= kSolidAlpha) out.solidTop = std::min(out.solidTop, y);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right >= 0) out.ink = QRect(QPoint(left, top), QPoint(right, bottom));
    return out;
}

QRect place(QImage& target, const Rendered& rendered, QPoint inkTopLeft) {
    if (rendered.ink.isEmpty()) return {};
    const QPoint offset = inkTopLeft - QPoint(rendered.ink.left(), rendered.solidTop);
    QPainter painter(&target);
    painter.drawImage(offset, rendered.image);
    return rendered.ink.translated(offset);
}

}  // namespace

QRect inkOf(const QString& text, QFont font, qreal spacing) {
    return render(text, std::move(font), Qt::black, spacing).ink;
}

QRect printText(QImage& target, const QString& text, QFont font, const QRect& box, const QColor& colour) {
    // A box narrower than the text at its tightest: condense the face, as
    // printers set narrow unit characters.
    for (int stretch = 100; stretch > 50 && inkOf(text, font, 0).width() > box.width(); stretch -= 2)
        font.setStretch(stretch - 2);
    // Widest spacing whose ink still fits: ink width never shrinks as the
    // spacing grows, so a bisection finds it.
    qreal low = 0, high = 2.0 * box.width();
    if (inkOf(text, font, low).width() > box.width()) high = low;
    for (int step = 0; step < 40 && high - low > 0.01; ++step) {
        const qreal middle = (low + high) / 2;
        if (inkOf(text, font, middle).width() <= box.width()) low = middle;
        else high = middle;
    }
    return place(target, render(text, std::move(font), colour, low), box.topLeft());
}

QRect printTextAt(QImage& target, const QString& text, QFont font, QPoint inkTopLeft, const QColor& colour,
                  qreal spacing) {
    return place(target, render(text, std::move(font), colour, spacing), inkTopLeft);
}

QPainterPath textPathIn(const QString& text, const QFont& font, const QRectF& box, qreal spacing) {
    QFont spaced = font;
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    QPainterPath path;
    path.addText(QPointF(0, 0), spaced, text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty()) return path;
    QTransform fit;
    fit.translate(box.left(), box.top());
    fit.scale(box.width() / bounds.width(), box.height() / bounds.height());
    fit.translate(-bounds.left(), -bounds.top());
    return fit.map(path);
}

}  // namespace artwork

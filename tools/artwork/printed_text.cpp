#include "printed_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace artwork {
namespace {

struct Rendered {
    QImage image;
    QRect ink;
};

Rendered render(const QString& text, QFont font, const QColor& colour, qreal spacing) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    const QFontMetricsF metrics(font);
    const int margin = 2 * std::max(font.pixelSize(), 8) + 8;
    const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(text))) + 2 * margin;
    const int height = static_cast<int>(std::ceil(metrics.height())) + 2 * margin;
    Rendered out{QImage(width, height, QImage::Format_ARGB32_Premultiplied), QRect()};
    out.image.fill(Qt::transparent);
    {
        QPainter painter(&out.image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QPointF(margin, margin + metrics.ascent()), text);
    }
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(out.image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) == 0) continue;
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
    const QPoint offset = inkTopLeft - rendered.ink.topLeft();
    QPainter painter(&target);
    painter.drawImage(offset, rendered.image);
    return rendered.ink.translated(offset);
}

}  // namespace

QRect inkOf(const QString& text, QFont font, qreal spacing) {
    return render(text, std::move(font), Qt::black, spacing).ink;
}

int pixelSizeForInkHeight(QFont font, const QString& text, int height) {
    int best = 1;
    for (int size = 1; size <= 4 * height + 8; ++size) {
        font.setPixelSize(size);
        if (inkOf(text, font).height() <= height) best = size;
    }
    return best;
}

QRect printText(QImage& target, const QString& text, QFont font, const QRect& box, const QColor& colour) {
    // Widest spacing whose ink still fits: ink width never shrinks as the
    // spacing grows, so a bisection finds it.
    qreal low = -0.5 * font.pixelSize(), high = 2.0 * box.width();
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

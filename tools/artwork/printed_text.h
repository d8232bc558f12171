// Text placed by its ink: the card's layout fixes where printed characters
// touch the paper (the first and last inked pixel of a label), not where a
// font's baseline or advance happens to fall. These helpers render text,
// measure the pixels it really inks and move or space it until the ink sits
// in the box the layout gives.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QString>

namespace artwork {

// The pixels a string inks (alpha > 0) when drawn with the font and letter
// spacing (in pixels) given; an empty rectangle for text without ink.
QRect inkOf(const QString& text, QFont font, qreal spacing = 0);

// The font's largest pixel size whose ink for the text is at most `height`
// pixels tall.
int pixelSizeForInkHeight(QFont font, const QString& text, int height);

// Draws hinted text with the font as given, its letter spacing chosen so the
// ink is as wide as the box without passing its right edge, and moved so the
// ink's top-left pixel is the box's top-left pixel. Returns the inked
// rectangle. Nothing is inked outside the box horizontally; a box shorter
// than the font's ink is overrun at the bottom.
QRect printText(QImage& target, const QString& text, QFont font, const QRect& box, const QColor& colour);

// As printText, but the ink keeps the font's natural spacing plus `spacing`
// and only its top-left corner is placed.
QRect printTextAt(QImage& target, const QString& text, QFont font, QPoint inkTopLeft, const QColor& colour,
                  qreal spacing = 0);

// The outline of the text as a path, letter spacing added, scaled and moved
// so its bounds fill `box` exactly (unhinted; for large display lettering).
QPainterPath textPathIn(const QString& text, const QFont& font, const QRectF& box, qreal spacing = 0);

}  // namespace artwork

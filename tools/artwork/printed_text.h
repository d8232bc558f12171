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

// Draws hinted text with the font as given (condensed when even its natural
// spacing is too wide for the box), its letter spacing chosen so the ink is
// as wide as the box without passing its right edge, and moved so the ink's
// top-left pixel is the box's top-left pixel: its leftmost inked column and
// its first solidly inked row (a faint anti-aliased row may lie above).
// Returns the rectangle of every inked pixel. Nothing is inked outside the
// box horizontally; a box shorter than the font's ink is overrun at the bottom.
QRect printText(QImage& target, const QString& text, QFont font, const QRect& box, const QColor& colour);

// As printText, but the ink keeps the font's natural spacing plus `spacing`
// and only its top-left corner is placed.
QRect printTextAt(QImage& target, const QString& text, QFont font, QPoint inkTopLeft, const QColor& colour,
                  qreal spacing = 0);

// The outline of the text as a path, letter spacing added, scaled and moved
// so its bounds fill `box` exactly (unhinted; for large display lettering).
QPainterPath textPathIn(const QString& text, const QFont& font, const QRectF& box, qreal spacing = 0);

}  // namespace artwork

// The canvas font: how a stored font record becomes a Qt font, and the rules
// a single field write follows. Kept apart from the surface so the rules can
// be checked without drawing anything.
#pragma once

#include <QFont>
#include <QString>

#include <variant>

#include "card/surface.h"

namespace card {

// The face every card text asks for. It always resolves to an installed face
// that shows Chinese text (see resolveFaceName).
inline const QString kSongFace = QStringLiteral("宋体");

// Bytes the name takes in the tool's double-byte code page: one per ASCII
// character, two per other character.
int gbkByteCount(const QString& text);

// The record a canvas starts from when it has none: the platform's default
// user-interface font, upright, regular and unrotated.
FontRecord defaultFontRecord();

// Applies one field write to the record, with the stored-value rules: an empty
// face or one of 32 bytes or more becomes "宋体", a negative size 0, any
// non-zero bold/italic/strike-out/underline on, the angle is taken modulo 3600.
void applyFontField(FontRecord& record, FontField field, const std::variant<int, QString>& value);

// The installed family that stands for a face name. "宋体" goes through a fixed
// list (an installed 宋体 / SimSun, then Noto Serif CJK SC, then AR PL UMing),
// so it is the same on every machine that ran the set-up; other names pass
// through unchanged. Needs a QGuiApplication; without one, names pass through.
QString resolveFaceName(const QString& face);

// Em height in pixels for a point size: round(size × dpi ÷ 72).
int emHeightPixels(int points, double dpi);

// The vertical logical dpi of the primary screen, 96 without one.
double screenVerticalDpi();

// The Qt font for a record (rotation is applied when drawing, not here).
QFont buildFont(const FontRecord& record, double dpi);

// The text cell a line is placed by: the top-left of the cell sits at the
// drawing point, the baseline `ascent` below it, and the next line starts
// `height` + 2 below.
struct TextCell {
    int ascent = 0;
    int height = 0;
};

// The cell of the font built for the record. A face standing in for 宋体 gets
// the cell 宋体 itself has (ascent 220/256 of the em, height one em) rather
// than its own taller one, so card texts line up with the labels printed for
// them instead of sitting a few pixels low.
TextCell textCell(const FontRecord& record, const QFont& font);

}  // namespace card

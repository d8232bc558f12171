// The drawing surface behind every canvas: a drawing state plus a true-colour
// `memoryPicture`, and the operations the card is composed with. It has no
// widget, so the card can be composed and exported without any window;
// `DrawPanel` is the thin control that owns one and paints it.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "pictures/picture.h"

namespace card {

// Colours are 0x00BBGGRR: red in the low byte.
using Colour = std::uint32_t;

// As a background colour: the platform's button-face colour.
// As a text background: transparent (no box behind the text).
inline constexpr Colour kSystemColourMarker = 0xFF000000u;

// The font description a canvas keeps, field by field.
struct FontRecord {
    int angle = 0;        // tenths of a degree, 0..3599
    bool bold = false;
    bool italic = false;
    bool strikeOut = false;
    bool underline = false;
    int size = 9;         // points
    QString faceName;     // at most 31 bytes as the tool stores text
};

enum class FontField { Angle, Bold, Italic, StrikeOut, Underline, Size, FaceName };

struct DrawingState {
    int border = 0;
    Colour backgroundColour = kSystemColourMarker;
    int pictureMode = 1;
    bool autoRedraw = false;
    int coordinateUnit = 0;
    int penStyle = 1;
    int drawMode = 12;
    int penWidth = 0;
    Colour penColour = 0x000000;
    int brushType = 1;
    Colour brushColour = 0xFFFFFF;
    Colour textColour = 0x000000;
    Colour textBackColour = kSystemColourMarker;
    std::optional<FontRecord> canvasFont;

    // What the card canvas `画板1` stores: white background, `autoRedraw` on,
    // pixels, a solid black one-pixel pen, plain copy, transparent text.
    static DrawingState cardCanvas();
};

// A value written by `writeAt`: text as it is, integers in plain decimal.
using TextValue = std::variant<QString, std::int64_t>;

class Surface {
public:
    Surface(int width, int height, DrawingState state = DrawingState{});
    ~Surface();
    Surface(Surface&&) noexcept;
    Surface& operator=(Surface&&) noexcept;

    int width() const;
    int height() const;
    const DrawingState& state() const;
    QPoint currentPosition() const;

    // The kept picture (QImage::Format_RGB32); null while `autoRedraw` is off.
    const QImage& memoryPicture() const;

    // `backgroundColour` as it fills the picture: the marker stands for the
    // platform's button-face colour (a fixed light grey without an application).
    QColor resolvedBackgroundColour() const;

    void clear(std::optional<int> left = {}, std::optional<int> top = {}, std::optional<int> width = {},
               std::optional<int> height = {});
    void drawPicture(pictures::PictureHandle handle, int left, int top, std::optional<int> width = {},
                     std::optional<int> height = {});
    void drawRectangle(int left, int top, int right, int bottom);
    void writeAt(std::optional<int> x, std::optional<int> y, const std::vector<TextValue>& values);
    void copyTo(Surface& target, std::optional<int> left = {}, std::optional<int> top = {},
                std::optional<int> width = {}, std::optional<int> height = {}, std::optional<int> targetX = {},
                std::optional<int> targetY = {}) const;
    // The picture as a 24-bit bottom-up BMP file image; empty when there is
    // nothing to export.
    std::vector<std::uint8_t> getPicture() const;

    void setBrushType(int type);
    void setTextColour(Colour colour);
    void setFontField(FontField field, const std::variant<int, QString>& value);

    // Called with the changed area after every operation that changes pixels;
    // the owning control repaints that part of the screen.
    void setChangeListener(std::function<void(const QRect&)> listener);

    // The stretching rule: smooth averaging on displays deeper than 16 bits,
    // whole rows and columns dropped or repeated otherwise. Taken from the
    // primary screen when the surface is made (true colour without a screen).
    void setSmoothStretching(bool smooth);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace card

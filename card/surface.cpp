#include "card/surface.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "card/bmp_export.h"
#include "card/canvas_font.h"
#include "pictures/flatten.h"

namespace card {

namespace {

constexpr int kLargestBrushType = 55;
// Stretched pictures up to this many pixels are resampled whole with
// QImage::scaled (which averages when shrinking); larger targets are drawn
// through the painter so that only their visible part is ever computed.
constexpr std::int64_t kLargestScaledPixels = std::int64_t{4096} * 4096;
// Text drawn farther out than this cannot reach the picture even when rotated
// by a font that fits the engine; it is skipped rather than handed to the
// rasteriser's fixed-point coordinates.
constexpr std::int64_t kFarthestTextPoint = std::int64_t{1} << 22;
const QColor kButtonFaceWithoutApplication(0xF0, 0xF0, 0xF0);

QColor toQColor(Colour colour) {
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

pictures::Rgb toRgb(const QColor& colour) {
    return {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
            static_cast<std::uint8_t>(colour.blue())};
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// A half-open box [left, right) × [top, bottom) in 64 bits, so that sums of
// caller coordinates never overflow before clipping.
struct Box {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;

    bool isEmpty() const { return left >= right || top >= bottom; }
    Box intersected(const Box& other) const {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
    Box translated(std::int64_t dx, std::int64_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    // Only for boxes already clipped to a picture, whose values fit an int.
    QRect toRect() const {
        return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                     static_cast<int>(bottom - top));
    }
};

Box boxOf(const QImage& image) { return {0, 0, image.width(), image.height()}; }

// Opaque pictures up to this size are converted into memory the surface
// keeps (a template is 400 × 280), so a redraw does not fault in fresh pages.
constexpr std::size_t kKeptPicturePixels = 1024 * 1024;

// A JPEG or BMP picture is opaque red, green, blue: its premultiplied form is
// the same colours with alpha 255, written in one pass without the general
// flattening and conversion below (the pixels are those that path gives).
// The image uses `kept` as its memory when the picture is small enough, so it
// lives no longer than the next conversion into `kept`.
QImage opaqueToImage(const pictures::Picture& picture, std::vector<QRgb>& kept) {
    const auto width = static_cast<std::size_t>(picture.width);
    const auto count = width * static_cast<std::size_t>(picture.height);
    QImage image;
    if (count <= kKeptPicturePixels) {
        if (kept.size() < count) kept.resize(count);
        image = QImage(reinterpret_cast<uchar*>(kept.data()), picture.width, picture.height,
                       static_cast<qsizetype>(width * sizeof(QRgb)), QImage::Format_ARGB32_Premultiplied);
    } else {
        image = QImage(picture.width, picture.height, QImage::Format_ARGB32_Premultiplied);
    }
    if (image.isNull()) return image;
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* source = picture.pixels.data() + static_cast<std::size_t>(y) * width * 3;
        for (std::size_t x = 0; x < width; ++x, source += 3) row[x] = qRgb(source[0], source[1], source[2]);
    }
    return image;
}

// The decoded picture as the canvas draws it, converted afresh on each draw.
QImage toImage(const pictures::Picture& picture, pictures::Rgb pcxZero, pictures::Rgb pcxOne, std::vector<QRgb>& kept) {
    if (picture.kind == pictures::PictureKind::Jpeg || picture.kind == pictures::PictureKind::Bmp) {
        if (picture.pixels.size() == static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3)
            return opaqueToImage(picture, kept);
    }
    const std::vector<pictures::Rgba> pixels = pictures::flattenPicture(picture, pcxZero, pcxOne);
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    if (image.isNull()) return image;
    const auto width = static_cast<std::size_t>(picture.width);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const pictures::Rgba* source = pixels.data() + static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) row[x] = qRgba(source[x].r, source[x].g, source[x].b, source[x].a);
    }
    // Averaging must weigh colours by their alpha, or icon edges darken.
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

DrawingState DrawingState::cardCanvas() {
    DrawingState state;
    state.backgroundColour = 0xFFFFFF;
    state.autoRedraw = true;
    state.coordinateUnit = 0;
    state.penStyle = 1;
    state.penWidth = 0;
    state.penColour = 0x000000;
    state.drawMode = 12;
    state.textBackColour = kSystemColourMarker;
    return state;
}

struct Surface::Impl {
    int width = 1;
    int height = 1;
    DrawingState state;
    QImage memory;
    std::int64_t positionX = 0;
    std::int64_t positionY = 0;
    bool smoothStretching = true;
    std::function<void(const QRect&)> listener;
    std::vector<QRgb> pictureMemory;  // opaque pictures are converted into this (opaqueToImage)

    void changed(const Box& box) const {
        if (listener && !box.isEmpty()) listener(box.toRect());
    }

    // The text font: the one built from the record, else the platform's
    // default user-interface font.
    QFont textFont() const {
        if (state.canvasFont) return buildFont(*state.canvasFont, screenVerticalDpi());
        return QGuiApplication::font();
    }
};

Surface::Surface(int width, int height, DrawingState state) : impl_(std::make_unique<Impl>()) {
    impl_->width = std::max(width, 1);
    impl_->height = std::max(height, 1);
    impl_->state = std::move(state);
    if (QGuiApplication::instance()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) impl_->smoothStretching = screen->depth() > 16;
    }
    if (impl_->state.autoRedraw) {
        impl_->memory = QImage(impl_->width, impl_->height, QImage::Format_RGB32);
        if (!impl_->memory.isNull()) impl_->memory.fill(resolvedBackgroundColour());
    }
}

Surface::~Surface() = default;
Surface::Surface(Surface&&) noexcept = default;
Surface& Surface::operator=(Surface&&) noexcept = default;

int Surface::width() const { return impl_->width; }
int Surface::height() const { return impl_->height; }
const DrawingState& Surface::state() const { return impl_->state; }

QPoint Surface::currentPosition() const {
    return QPoint(clampToInt(impl_->positionX), clampToInt(impl_->positionY));
}

const QImage& Surface::memoryPicture() const { return impl_->memory; }

QColor Surface::resolvedBackgroundColour() const {
    if (impl_->state.backgroundColour != kSystemColourMarker) return toQColor(impl_->state.backgroundColour);
    if (!QGuiApplication::instance()) return kButtonFaceWithoutApplication;
    return QPalette().color(QPalette::Button);
}

void Surface::clear(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                    std::optional<int> height) {
    Box area{left.value_or(0), top.value_or(0), impl_->width, impl_->height};
    if (width) area.right = area.left + *width;
    if (height) area.bottom = area.top + *height;
    if (area.left > area.right) std::swap(area.left, area.right);
    if (area.top > area.bottom) std::swap(area.top, area.bottom);
    impl_->positionX = area.left;
    impl_->positionY = area.top;

    const Box visible = area.intersected(boxOf(impl_->memory));
    if (visible.isEmpty()) return;
    QPainter painter(&impl_->memory);
    painter.fillRect(visible.toRect(), resolvedBackgroundColour());
    painter.end();
    impl_->changed(visible);
}

void Surface::drawPicture(pictures::PictureHandle handle, int left, int top, std::optional<int> width,
                          std::optional<int> height) {
    if (!pictures::isPictureLoaded(handle) || impl_->memory.isNull()) return;
    const pictures::Picture* picture = pictures::findPicture(handle);
    if (!picture || picture->width <= 0 || picture->height <= 0) return;
    const std::int64_t drawWidth = width.value_or(picture->width);
    const std::int64_t drawHeight = height.value_or(picture->height);
    // A size of 0 or less leaves nothing to draw.
    if (drawWidth <= 0 || drawHeight <= 0) return;
    const Box target{left, top, left + drawWidth, top + drawHeight};
    const Box visible = target.intersected(boxOf(impl_->memory));
    if (visible.isEmpty()) return;

    // A 1-bit PCX takes its two colours from the drawing context.
    const DrawingState& state = impl_->state;
    const QColor one = state.textBackColour != kSystemColourMarker ? toQColor(state.textBackColour)
                                                                    : resolvedBackgroundColour();
    QImage image = toImage(*picture, toRgb(toQColor(state.brushColour)), toRgb(one), impl_->pictureMemory);
    if (image.isNull()) return;

    // Opaque pixels replace what is there; an icon's masked pixels (alpha 0)
    // leave the picture as it was.
    QPainter painter(&impl_->memory);
    const bool stretched = drawWidth != picture->width || drawHeight != picture->height;
    if (stretched && drawWidth * drawHeight > kLargestScaledPixels) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, impl_->smoothStretching);
        painter.drawImage(QRectF(static_cast<double>(left), static_cast<double>(top), static_cast<double>(drawWidth),
                                 static_cast<double>(drawHeight)),
                          image);
    } else {
        if (stretched) {
            image = image.scaled(static_cast<int>(drawWidth), static_cast<int>(drawHeight), Qt::IgnoreAspectRatio,
                                 impl_->smoothStretching ? Qt::SmoothTransformation : Qt::FastTransformation);
            if (image.isNull()) return;
        }
        const QRect source = visible.translated(-target.left, -target.top).toRect();
        painter.drawImage(visible.toRect().topLeft(), image, source);
    }
    painter.end();
    impl_->changed(visible);
}

void Surface::drawRectangle(int left, int top, int right, int bottom) {
    Box box{left, top, right, bottom};
    if (box.left > box.right) std::swap(box.left, box.right);
    if (box.top > box.bottom) std::swap(box.top, box.bottom);
    const Box visible = box.intersected(boxOf(impl_->memory));
    if (box.isEmpty() || visible.isEmpty()) return;

    // Pixels are set whole, never blended: the one-pixel pen is not smoothed.
    QPainter painter(&impl_->memory);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const auto fill = [&](const Box& part, const QColor& colour) {
        const Box clipped = part.intersected(visible);
        if (!clipped.isEmpty()) painter.fillRect(clipped.toRect(), colour);
    };
    const DrawingState& state = impl_->state;
    // Hatches and patterns (types 2 and up) are never used; they fill solid.
    if (state.brushType != 0)
        fill({box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, toQColor(state.brushColour));
    const QColor pen = toQColor(state.penColour);
    fill({box.left, box.top, box.right, box.top + 1}, pen);
    fill({box.left, box.bottom - 1, box.right, box.bottom}, pen);
    fill({box.left, box.top, box.left + 1, box.bottom}, pen);
    fill({box.right - 1, box.top, box.right, box.bottom}, pen);
    painter.end();
    impl_->changed(visible);
}

void Surface::writeAt(std::optional<int> x, std::optional<int> y, const std::vector<TextValue>& values) {
    // Text needs the application's font system; without it there is nothing
    // to draw with.
    if (impl_->memory.isNull() || !QGuiApplication::instance()) return;
    const DrawingState& state = impl_->state;
    QPainter painter(&impl_->memory);
    painter.setFont(impl_->textFont());
    painter.setPen(toQColor(state.textColour));
    const QFontMetrics metrics = painter.fontMetrics();
    const TextCell cell = state.canvasFont ? textCell(*state.canvasFont, painter.font())
                                           : TextCell{metrics.ascent(), metrics.height()};
    const bool opaque = state.textBackColour != kSystemColourMarker;
    const QColor back = toQColor(state.textBackColour);
    const int angle = state.canvasFont ? state.canvasFont->angle : 0;
    const Box picture = boxOf(impl_->memory);

    const std::int64_t startX = x ? *x : impl_->positionX;
    std::int64_t pointX = startX;
    std::int64_t pointY = y ? *y : impl_->positionY;
    bool drew = false;

    const auto drawLine = [&](const QString& line, std::int64_t lineWidth) {
        const std::int64_t cellHeight = cell.height;
        if (angle == 0) {
            // Glyphs may overhang their cell by a little (italics, synthesised
            // bold); a margin of one line height covers that.
            const Box reach{pointX - cellHeight, pointY - cellHeight, pointX + lineWidth + cellHeight,
                            pointY + 2 * cellHeight};
            if (reach.intersected(picture).isEmpty()) return;
        } else if (std::llabs(pointX) > kFarthestTextPoint || std::llabs(pointY) > kFarthestTextPoint) {
            return;
        }
        painter.save();
        painter.translate(static_cast<double>(pointX), static_cast<double>(pointY));
        // The angle counts tenths of a degree anticlockwise; y grows downward.
        if (angle != 0) painter.rotate(-angle / 10.0);
        if (opaque) painter.fillRect(QRectF(0, 0, static_cast<double>(lineWidth), static_cast<double>(cellHeight)), back);
        painter.drawText(QPointF(0, cell.ascent), line);
        painter.restore();
        drew = true;
    };

    for (const TextValue& value : values) {
        const QString text = std::holds_alternative<QString>(value)
                                 ? std::get<QString>(value)
                                 : QString::number(std::get<std::int64_t>(value));
        qsizetype lineStart = 0;
        for (qsizetype i = 0;; ++i) {
            const bool atEnd = i == text.size();
            const QChar c = atEnd ? QChar() : text.at(i);
            if (!atEnd && c != u'\r' && c != u'\n') continue;
            const QString line = text.mid(lineStart, i - lineStart);
            const std::int64_t lineWidth = line.isEmpty() ? 0 : metrics.horizontalAdvance(line);
            if (!line.isEmpty()) drawLine(line, lineWidth);
            if (atEnd) {
                // The next value carries on where this one ended.
                pointX += lineWidth;
                break;
            }
            // A text cell's height does not depend on its glyphs, so an empty
            // line (measured on "W") moves down as far as a written one.
            pointY += cell.height + 2;
            pointX = startX;
            // A CR or LF directly followed by LF is one break: CR LF, and
            // also LF LF.
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
            lineStart = i + 1;
        }
    }
    painter.end();
    // Rotated or overhanging glyphs make a tight bound costly to find; the
    // whole picture is at most 400 × 280 for the card.
    if (drew) impl_->changed(picture);
}

void Surface::copyTo(Surface& target, std::optional<int> left, std::optional<int> top, std::optional<int> width,
                     std::optional<int> height, std::optional<int> targetX, std::optional<int> targetY) const {
    const std::int64_t areaWidth = width.value_or(impl_->width);
    const std::int64_t areaHeight = height.value_or(impl_->height);
    if (areaWidth <= 0 || areaHeight <= 0) return;
    if (impl_->memory.isNull() || target.impl_->memory.isNull()) return;
    const Box area{left.value_or(0), top.value_or(0), left.value_or(0) + areaWidth, top.value_or(0) + areaHeight};
    const Box source = area.intersected(boxOf(impl_->memory));
    if (source.isEmpty()) return;

    // Each source pixel keeps its offset from the area's corner.
    const std::int64_t dx = std::int64_t{targetX.value_or(0)} - area.left;
    const std::int64_t dy = std::int64_t{targetY.value_or(0)} - area.top;
    const Box destination = source.translated(dx, dy).intersected(boxOf(target.impl_->memory));
    if (destination.isEmpty()) return;
    QPainter painter(&target.impl_->memory);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect from = destination.translated(-dx, -dy).toRect();
    if (&target == this) {
        // A copy first, so that copying a surface onto itself reads the old pixels.
        painter.drawImage(destination.toRect().topLeft(), impl_->memory.copy(from));
    } else {
        painter.drawImage(destination.toRect().topLeft(), impl_->memory, from);
    }
    painter.end();
    target.impl_->changed(destination);
}

std::vector<std::uint8_t> Surface::getPicture() const { return encodeBmp24(impl_->memory); }

void Surface::setBrushType(int type) { impl_->state.brushType = std::clamp(type, 0, kLargestBrushType); }

void Surface::setTextColour(Colour colour) { impl_->state.textColour = colour; }

void Surface::setFontField(FontField field, const std::variant<int, QString>& value) {
    FontRecord record = impl_->state.canvasFont.value_or(defaultFontRecord());
    applyFontField(record, field, value);
    impl_->state.canvasFont = record;
}

void Surface::setChangeListener(std::function<void(const QRect&)> listener) {
    impl_->listener = std::move(listener);
}

void Surface::setSmoothStretching(bool smooth) { impl_->smoothStretching = smooth; }

}  // namespace card

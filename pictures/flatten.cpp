#include "flatten.h"

#include <algorithm>
#include <cstddef>

namespace pictures {

std::vector<Rgba> flattenPicture(const Picture& picture, Rgb pcxZero, Rgb pcxOne) {
    const auto width = static_cast<std::size_t>(std::max(picture.width, 0));
    const auto height = static_cast<std::size_t>(std::max(picture.height, 0));
    std::vector<Rgba> out(width * height);
    const auto& px = picture.pixels;
    switch (picture.kind) {
    case PictureKind::Jpeg:
    case PictureKind::Bmp:
        for (std::size_t i = 0; i < out.size() && i * 3 + 2 < px.size(); ++i)
            out[i] = {px[i * 3], px[i * 3 + 1], px[i * 3 + 2], 255};
        break;
    case PictureKind::Icon:
    case PictureKind::Cursor:
        for (std::size_t i = 0; i < out.size() && i * 4 + 3 < px.size(); ++i)
            out[i] = {px[i * 4], px[i * 4 + 1], px[i * 4 + 2], px[i * 4 + 3]};
        break;
    case PictureKind::Gif: {
        // The screen is black where the image does not reach; the image is cut
        // off where it reaches beyond the screen.
        const auto imageWidth = static_cast<std::size_t>(std::max(picture.imageWidth, 0));
        const auto imageHeight = static_cast<std::size_t>(std::max(picture.imageHeight, 0));
        const std::size_t rows = std::min(height, imageHeight);
        const std::size_t cols = std::min(width, imageWidth);
        for (std::size_t y = 0; y < rows; ++y)
            for (std::size_t x = 0; x < cols; ++x) {
                const std::size_t source = y * imageWidth + x;
                if (source >= px.size()) continue;
                const Rgb c = picture.palette[px[source]];
                out[y * width + x] = {c.r, c.g, c.b, 255};
            }
        break;
    }
    case PictureKind::Pcx8:
        for (std::size_t i = 0; i < out.size() && i < px.size(); ++i) {
            const Rgb c = picture.palette[px[i]];
            out[i] = {c.r, c.g, c.b, 255};
        }
        break;
    case PictureKind::Pcx1:
        for (std::size_t i = 0; i < out.size() && i < px.size(); ++i) {
            const Rgb c = px[i] ? pcxOne : pcxZero;
            out[i] = {c.r, c.g, c.b, 255};
        }
        break;
    }
    return out;
}

}  // namespace pictures

#include "card/bmp_export.h"

#include <cstddef>
#include <limits>

namespace card {

namespace {

constexpr std::size_t kHeaderBytes = 54;
constexpr std::uint32_t kInfoHeaderBytes = 40;

void put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> encodeBmp24(const QImage& picture) {
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return {};
    const QImage rgb = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);

    const auto width = static_cast<std::uint64_t>(rgb.width());
    const auto height = static_cast<std::uint64_t>(rgb.height());
    const std::uint64_t stride = (24 * width + 31) / 32 * 4;
    const std::uint64_t imageSize = stride * height;
    // The size fields are 32 bits wide; a picture that does not fit has no BMP.
    if (imageSize + kHeaderBytes > std::numeric_limits<std::uint32_t>::max()) return {};

    std::vector<std::uint8_t> file(kHeaderBytes + imageSize, 0);
    std::uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<std::uint32_t>(file.size()));
    put32(h + 10, static_cast<std::uint32_t>(kHeaderBytes));
    put32(h + 14, kInfoHeaderBytes);
    put32(h + 18, static_cast<std::uint32_t>(width));
    put32(h + 22, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 34, static_cast<std::uint32_t>(imageSize));
    // Compression, resolution and colour counts stay 0.

    std::uint8_t* row = file.data() + kHeaderBytes;
    for (int y = rgb.height() - 1; y >= 0; --y, row += stride) {
        const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (std::uint64_t x = 0; x < width; ++x) {
            const QRgb pixel = pixels[x];
            row[3 * x] = static_cast<std::uint8_t>(qBlue(pixel));
            row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(pixel));
            row[3 * x + 2] = static_cast<std::uint8_t>(qRed(pixel));
        }
    }
    return file;
}

}  // namespace card

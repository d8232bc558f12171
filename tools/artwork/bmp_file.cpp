#include "bmp_file.h"

#include <QFile>

namespace artwork {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFFu));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFFu);
    put16(out, value >> 16);
}

}  // namespace

std::vector<std::uint8_t> bmpFileImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto width = static_cast<std::uint32_t>(rgb.width());
    const auto height = static_cast<std::uint32_t>(rgb.height());
    const std::uint32_t rowSize = (width * 3u + 3u) / 4u * 4u;
    const std::uint32_t imageSize = rowSize * height;
    constexpr std::uint32_t kPixelOffset = 14u + 40u;
    constexpr std::uint32_t kPixelsPerMetre = 2834u;  // 72 dots per inch

    std::vector<std::uint8_t> out;
    out.reserve(kPixelOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, kPixelOffset + imageSize);
    put32(out, 0);  // both reserved words
    put32(out, kPixelOffset);
    put32(out, 40);
    put32(out, width);
    put32(out, height);  // positive: bottom row first
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // no compression
    put32(out, imageSize);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, 0);  // colours used
    put32(out, 0);  // important colours

    for (int y = rgb.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            out.push_back(static_cast<std::uint8_t>(qBlue(line[x])));
            out.push_back(static_cast<std::uint8_t>(qGreen(line[x])));
            out.push_back(static_cast<std::uint8_t>(qRed(line[x])));
        }
        for (std::uint32_t pad = width * 3u; pad < rowSize; ++pad) out.push_back(0);
    }
    return out;
}

bool writeFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush();
}

}  // namespace artwork

// Writes a picture as the exact 24-bit BMP file image the tool carries:
// "BM", file size, reserved 0, pixel offset 54, a 40-byte information header
// (positive height, so rows run bottom row first), 1 plane, 24 bits, no
// compression, image size = row size × height, 2834 pixels per metre both
// ways, no colour table. QImage::save writes other header values, so the
// bytes are laid out here by hand.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace artwork {

// Precondition: the image is not null. Alpha, if any, is ignored (the
// picture is flattened as it stands).
std::vector<std::uint8_t> bmpFileImage(const QImage& image);

// Writes the bytes to the path; false when the file cannot be written whole.
bool writeFile(const QString& path, const std::vector<std::uint8_t>& bytes);

}  // namespace artwork

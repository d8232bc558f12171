// The card file format: a picture as an uncompressed 24-bit BMP file image.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace card {

// A 54-byte header (file header plus the 40-byte information header) and the
// rows bottom-up, each pixel blue, green, red, each row padded to a multiple
// of 4 bytes. Resolution and colour-count fields are 0. Empty for a null
// picture.
std::vector<std::uint8_t> encodeBmp24(const QImage& picture);

}  // namespace card

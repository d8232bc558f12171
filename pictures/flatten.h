// Turns any decoded picture into plain RGBA pixels at its natural size, as
// the canvas draws it: the GIF image placed at the logical screen's top-left
// corner with black around it, icon transparency as alpha, 1-bit PCX in the
// two colours the drawing context supplies.
#pragma once

#include <cstdint>
#include <vector>

#include "picture.h"

namespace pictures {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// width × height pixels, rows top to bottom. `pcxZero` and `pcxOne` colour the
// 0 and 1 bits of a Pcx1 picture; other kinds ignore them.
std::vector<Rgba> flattenPicture(const Picture& picture, Rgb pcxZero, Rgb pcxOne);

}  // namespace pictures

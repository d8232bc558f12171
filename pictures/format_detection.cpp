// Format detection: the first six bytes decide, never a file name. The tests
// run in a fixed order and the first match wins.
#include <array>

#include "decoders.h"

namespace pictures {
namespace {

using Signature = std::array<std::uint8_t, 6>;

std::uint16_t word(const Signature& s, std::size_t at) noexcept {
    return static_cast<std::uint16_t>(s[at] | (s[at + 1] << 8));
}

bool isBmp(const Signature& s) noexcept { return s[0] == 0x42 && s[1] == 0x4D; }  // "BM"
bool isJpeg(const Signature& s) noexcept { return s[0] == 0xFF && s[1] == 0xD8; }  // SOI marker
// Icon directory header: reserved 0, type 1 (icon) or 2 (cursor), image count > 0.
bool isIcon(const Signature& s) noexcept { return word(s, 0) == 0 && word(s, 2) == 1 && word(s, 4) > 0; }
bool isCursor(const Signature& s) noexcept { return word(s, 0) == 0 && word(s, 2) == 2 && word(s, 4) > 0; }
bool isGif(const Signature& s) noexcept {  // "GIF87a" or "GIF89a"
    return s[0] == 0x47 && s[1] == 0x49 && s[2] == 0x46 && s[3] == 0x38 && (s[4] == 0x37 || s[4] == 0x39) &&
           s[5] == 0x61;
}
// PCX: manufacturer 0x0A, version, encoding 1 (run-length), bits per pixel.
bool isPcx8(const Signature& s) noexcept { return s[0] == 0x0A && s[1] <= 5 && s[2] == 1 && s[3] == 8; }
bool isPcx1(const Signature& s) noexcept { return s[0] == 0x0A && s[1] == 3 && s[2] == 1 && s[3] == 1; }

struct FormatTest {
    bool (*matches)(const Signature&) noexcept;
    PictureKind kind;
};

constexpr std::array<FormatTest, 7> kFormatTests{{
    {isBmp, PictureKind::Bmp},
    {isJpeg, PictureKind::Jpeg},
    {isIcon, PictureKind::Icon},
    {isCursor, PictureKind::Cursor},
    {isGif, PictureKind::Gif},
    {isPcx8, PictureKind::Pcx8},
    {isPcx1, PictureKind::Pcx1},
}};

}  // namespace

std::optional<PictureKind> detectPictureFormat(Bytes data) noexcept {
    Signature signature{};
    if (data.size() < signature.size()) return std::nullopt;
    for (std::size_t i = 0; i < signature.size(); ++i) signature[i] = data[i];
    for (const FormatTest& test : kFormatTests) {
        if (test.matches(signature)) return test.kind;
    }
    return std::nullopt;
}

}  // namespace pictures

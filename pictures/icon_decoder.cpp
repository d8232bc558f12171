// Icon (.ico) and cursor (.cur) files: one image of the directory, in the
// bitmap form (a BITMAPINFOHEADER, the colour rows, then a 1-bit AND mask),
// turned into RGBA. A cursor's hot spot is not used.
//
// Refused on purpose, each failing the load cleanly:
// - PNG-compressed entries (Unsupported): decoding PNG would mean a second
//   inflate-based decoder for a format the browse dialog never offers.
// - Bitmap compression other than none, and bit depths other than 1, 4, 8,
//   24 and 32 (Unsupported).
// - A header height whose half is 0, and negative heights (Malformed): icon
//   bitmaps are always stored bottom-up with the mask below the colours.
// Where the format leaves room:
// - An odd header height gives height / 2 rows (toward zero); the extra row
//   is not read.
// - Colour indices beyond the table given are black.
// - A 32-bit image whose alpha bytes are not all 0 uses its alpha and needs
//   no mask; if every alpha byte is 0 (older writers) the mask decides.
//   Every other image needs its complete mask.
#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "byte_cursor.h"
#include "decoders.h"
#include "limits.h"

namespace pictures {
namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;


struct DirectoryEntry {
    std::uint8_t width = 0;
    std::uint8_t colourCount = 0;
    std::uint32_t byteCount = 0;
    std::uint32_t offset = 0;
};

DirectoryEntry readEntry(Bytes data, std::size_t index) noexcept {
    ByteCursor cursor(data, kHeaderSize + kEntrySize * index);
    DirectoryEntry entry;
    std::uint8_t height = 0, reserved = 0;
    std::uint16_t planes = 0, bits = 0;
    cursor.readU8(entry.width);
    cursor.readU8(height);
    cursor.readU8(entry.colourCount);
    cursor.readU8(reserved);
    cursor.readU16(planes);
    cursor.readU16(bits);
    cursor.readU32(entry.byteCount);
    cursor.readU32(entry.offset);
    return entry;
}

// Bytes in one stored row of `width` pixels at `bits` each, padded to 4.
std::uint64_t rowBytes(std::uint64_t width, std::uint64_t bits) noexcept { return (width * bits + 31) / 32 * 4; }

DecodeResult decodeImage(Bytes image, PictureKind kind) {
    static constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (image.size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin()))
        return fail(FailureKind::Unsupported, "icon: PNG-compressed image");

    ByteCursor cursor(image);
    std::uint32_t headerSize = 0, compression = 0, coloursUsed = 0;
    std::int32_t width = 0, storedHeight = 0;
    std::uint16_t planes = 0, bits = 0;
    if (!cursor.readU32(headerSize) || !cursor.readI32(width) || !cursor.readI32(storedHeight) ||
        !cursor.readU16(planes) || !cursor.readU16(bits) || !cursor.readU32(compression) || !cursor.skip(12) ||
        !cursor.readU32(coloursUsed))
        return fail(FailureKind::Truncated, "icon: bitmap header cut short");
    // Larger headers (V4, V5) begin with the same 40 bytes; the table follows
    // the whole header.
    if (headerSize < kInfoHeaderSize || !cursor.seek(headerSize))
        return fail(FailureKind::Malformed, "icon: bitmap header size");
    if (compression != 0) return fail(FailureKind::Unsupported, "icon: compressed bitmap");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return fail(FailureKind::Unsupported, "icon: bits per pixel");
    // The header height counts the colour rows and the mask rows together.
    const std::int32_t height = storedHeight / 2;
    if (width <= 0 || height <= 0) return fail(FailureKind::Malformed, "icon: width or height not positive");
    const auto pixelBytes = checkedPixelBytes(width, height, 4);
    if (!pixelBytes) return fail(FailureKind::TooLarge, "icon: image too large");

    std::array<Rgb, 256> table{};
    if (bits <= 8) {
        const std::uint32_t entries = coloursUsed == 0 ? 1u << bits : coloursUsed;
        if (entries > 256) return fail(FailureKind::Malformed, "icon: colour table larger than 256 entries");
        std::span<const std::uint8_t> raw;
        if (!cursor.take(std::size_t{entries} * 4, raw)) return fail(FailureKind::Truncated, "icon: colour table cut short");
        for (std::size_t i = 0; i < entries; ++i) table[i] = {raw[i * 4 + 2], raw[i * 4 + 1], raw[i * 4]};
    }

    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const auto colourStride = static_cast<std::size_t>(rowBytes(w, bits));
    const auto maskStride = static_cast<std::size_t>(rowBytes(w, 1));
    // Both products are bounded: w and h are at most kMaxDimension.
    std::span<const std::uint8_t> colours;
    if (!cursor.take(colourStride * h, colours)) return fail(FailureKind::Truncated, "icon: colour rows cut short");
    std::span<const std::uint8_t> mask;
    const bool haveMask = cursor.take(maskStride * h, mask);

    Picture picture;
    picture.kind = kind;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(*pixelBytes, 0);
    auto& out = picture.pixels;
    bool anyAlpha = false;
    // Rows are stored bottom-up.
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = colours.data() + (h - 1 - y) * colourStride;
        std::uint8_t* target = out.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, target += 4) {
            if (bits >= 24) {
                const std::uint8_t* p = row + x * (bits / 8);
                target[0] = p[2];
                target[1] = p[1];
                target[2] = p[0];
                target[3] = bits == 32 ? p[3] : 0;
                anyAlpha = anyAlpha || target[3] != 0;
            } else {
                // Indices are packed from the most significant bit.
                const std::size_t bit = x * bits;
                const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
                const unsigned index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
                target[0] = table[index].r;
                target[1] = table[index].g;
                target[2] = table[index].b;
            }
        }
    }

    if (bits == 32 && anyAlpha) return picture;
    if (!haveMask) return fail(FailureKind::Truncated, "icon: mask cut short");
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = mask.data() + (h - 1 - y) * maskStride;
        std::uint8_t* target = out.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x) {
            const bool transparent = ((row[x / 8] >> (7 - x % 8)) & 1u) != 0;
            target[x * 4 + 3] = transparent ? 0 : 255;
        }
    }
    return picture;
}

DecodeResult decode(Bytes data) {
    ByteCursor cursor(data);
    std::uint16_t reserved = 0, type = 0, count = 0;
    if (!cursor.readU16(reserved) || !cursor.readU16(type) || !cursor.readU16(count))
        return fail(FailureKind::Truncated, "icon: header cut short");
    if (reserved != 0 || (type != 1 && type != 2) || count == 0)
        return fail(FailureKind::Malformed, "icon: bad header");
    if (kHeaderSize + kEntrySize * count > data.size())
        return fail(FailureKind::Truncated, "icon: directory cut short");

    // The first 32-pixel-wide entry with at least 16 colours; otherwise the
    // last. One pass, however many entries the directory claims.
    std::size_t chosen = count - 1u;
    for (std::size_t i = 0; i < count; ++i) {
        const DirectoryEntry entry = readEntry(data, i);
        if (entry.width == 32 && entry.colourCount >= 16) {
            chosen = i;
            break;
        }
    }
    const DirectoryEntry entry = readEntry(data, chosen);
    if (std::uint64_t{entry.offset} + entry.byteCount > data.size())
        return fail(FailureKind::Truncated, "icon: image runs past the end of the data");
    return decodeImage(data.subspan(entry.offset, entry.byteCount), type == 1 ? PictureKind::Icon : PictureKind::Cursor);
}

}  // namespace

DecodeResult decodeIcon(Bytes data) noexcept {
    try {
        return decode(data);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::OutOfMemory, "icon: out of memory"};
    }
}

}  // namespace pictures

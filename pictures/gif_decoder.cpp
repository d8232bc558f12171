// GIF87a and GIF89a: the first image of the stream, as its colour indices,
// over a logical screen. Transparency, disposal, delays, comments and further
// frames are not used: the tool shows one still picture. The LZW codes are
// decoded in gif_lzw.cpp; this file reads the container around them.
//
// Choices where the format leaves room, each safe and the same every time:
// - Indices beyond the colour table in use show black; a GIF without any
//   colour table is black all over (the palette stays zero).
// - A logical screen of 0 × 0 (or any side 0) fails: there is nothing to
//   draw at natural size. The screen is drawn at full size (flattenPicture
//   allocates it), so width × height × 4 must be within kMaxPixelBytes even
//   though only the image's indices are kept here.
// - Before the first image a 0x00 byte is skipped as padding; the trailer
//   0x3B means the stream holds no image and the load fails.
// - An image of width or height 0 fails, as it has no pixels to show.
// - Image data that end before the end code keep what was decoded; the rest
//   of the image stays index 0, as a partly received picture would show.
// - Codes after the table holds 4096 entries keep decoding with the table
//   frozen; pixels beyond width × height are ignored.
// - Minimum code sizes outside 2..8 fail (see gif_lzw.h).
#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "byte_cursor.h"
#include "decoders.h"
#include "gif_lzw.h"
#include "limits.h"

namespace pictures {
namespace {

constexpr std::size_t kHeaderSize = 13;


// A colour table of 2^(size + 1) entries of red, green, blue; entries the
// file does not give stay black.
bool readColourTable(ByteCursor& cursor, unsigned sizeBits, std::array<Rgb, 256>& palette) noexcept {
    const std::size_t entries = std::size_t{1} << (sizeBits + 1);
    std::span<const std::uint8_t> table;
    if (!cursor.take(entries * 3, table)) return false;
    palette = {};
    for (std::size_t i = 0; i < entries; ++i) palette[i] = {table[i * 3], table[i * 3 + 1], table[i * 3 + 2]};
    return true;
}

// Data sub-blocks up to and including the zero-length one (GIF89a section 15).
bool skipSubBlocks(ByteCursor& cursor) noexcept {
    for (;;) {
        std::uint8_t size = 0;
        if (!cursor.readU8(size)) return false;
        if (size == 0) return true;
        if (!cursor.skip(size)) return false;
    }
}

// Extension blocks after 0x21 (GIF89a sections 23 to 26). Only the four
// labels of GIF89a are known; any other label fails the load.
std::optional<Failure> skipExtension(ByteCursor& cursor) noexcept {
    std::uint8_t label = 0;
    if (!cursor.readU8(label)) return fail(FailureKind::Truncated, "gif: extension label missing");
    bool ok = false;
    switch (label) {
    case 0xF9:  // graphic control: size, flags, delay (2), transparent index, terminator
        ok = cursor.skip(6);
        break;
    case 0xFE:  // comment
        ok = skipSubBlocks(cursor);
        break;
    case 0x01:  // plain text: size byte and 12 fixed bytes
        ok = cursor.skip(13) && skipSubBlocks(cursor);
        break;
    case 0xFF:  // application: size byte and 11 fixed bytes
        ok = cursor.skip(12) && skipSubBlocks(cursor);
        break;
    default:
        return fail(FailureKind::Malformed, "gif: unknown extension label");
    }
    if (!ok) return fail(FailureKind::Truncated, "gif: extension runs past the end of the data");
    return std::nullopt;
}

// Interlaced images (GIF89a appendix E) store rows 0, 8, 16, …; 4, 12, …;
// 2, 6, …; 1, 3, …. Stored row k belongs at displayRow(k). The rows are moved
// in place along the cycles of that permutation with one spare row, so an
// interlaced image needs no second image buffer.
void deinterlace(std::vector<std::uint8_t>& pixels, std::size_t width, std::size_t height) {
    std::vector<std::size_t> displayRow;
    displayRow.reserve(height);
    for (const auto& [start, step] : {std::pair<std::size_t, std::size_t>{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (std::size_t row = start; row < height; row += step) displayRow.push_back(row);

    std::vector<bool> placed(height, false);
    std::vector<std::uint8_t> carried(width), spare(width);
    for (std::size_t start = 0; start < height; ++start) {
        if (placed[start]) continue;
        // Follow the cycle: the row stored at `start` goes to displayRow[start],
        // whose stored row goes on to its own display row, and so on.
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(start * width), width, carried.begin());
        std::size_t stored = start;
        while (!placed[stored]) {
            placed[stored] = true;
            const std::size_t target = displayRow[stored];
            auto where = pixels.begin() + static_cast<std::ptrdiff_t>(target * width);
            std::copy_n(where, width, spare.begin());
            std::copy_n(carried.begin(), width, where);
            carried.swap(spare);
            stored = target;
        }
    }
}

DecodeResult decodeFirstImage(ByteCursor& cursor, Picture& picture) {
    // Image descriptor (GIF89a section 20): left and top are not used, the
    // image is always drawn at the screen's top-left corner.
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::uint8_t flags = 0;
    if (!cursor.readU16(left) || !cursor.readU16(top) || !cursor.readU16(width) || !cursor.readU16(height) ||
        !cursor.readU8(flags))
        return fail(FailureKind::Truncated, "gif: image descriptor cut short");
    if (width == 0 || height == 0) return fail(FailureKind::Malformed, "gif: image has no pixels");
    const auto bytes = checkedPixelBytes(width, height, 1);
    if (!bytes) return fail(FailureKind::TooLarge, "gif: image too large");
    if ((flags & 0x80) != 0 && !readColourTable(cursor, flags & 7u, picture.palette))
        return fail(FailureKind::Truncated, "gif: local colour table cut short");

    std::uint8_t minimumCodeSize = 0;
    if (!cursor.readU8(minimumCodeSize)) return fail(FailureKind::Truncated, "gif: image data missing");
    if (minimumCodeSize < kGifMinCodeSizeLow || minimumCodeSize > kGifMinCodeSizeHigh)
        return fail(FailureKind::Unsupported, "gif: minimum code size outside 2..8");

    std::span<const std::uint8_t> rest;
    cursor.take(cursor.remaining(), rest);
    picture.pixels.assign(*bytes, 0);
    const GifLzwResult lzw = decodeGifLzw(rest, minimumCodeSize, picture.pixels);
    if (lzw.status == GifLzwStatus::BadFirstCode)
        return fail(FailureKind::Malformed, "gif: first code after a clear code is not a colour");
    if (lzw.status == GifLzwStatus::BadChain) return fail(FailureKind::Malformed, "gif: corrupt code chain");

    picture.imageWidth = width;
    picture.imageHeight = height;
    if ((flags & 0x40) != 0) deinterlace(picture.pixels, width, height);
    return std::move(picture);
}

DecodeResult decode(Bytes data) {
    // GIF89a sections 17 and 18: signature, logical screen descriptor.
    if (data.size() <= kHeaderSize) return fail(FailureKind::Truncated, "gif: 13 bytes or fewer");
    static constexpr std::array<std::uint8_t, 4> kSignature{'G', 'I', 'F', '8'};
    if (!std::equal(kSignature.begin(), kSignature.end(), data.begin()) || (data[4] != '7' && data[4] != '9') ||
        data[5] != 'a')
        return fail(FailureKind::Malformed, "gif: not a GIF87a or GIF89a signature");

    ByteCursor cursor(data, 6);
    std::uint16_t screenWidth = 0, screenHeight = 0;
    std::uint8_t flags = 0;
    cursor.readU16(screenWidth);
    cursor.readU16(screenHeight);
    cursor.readU8(flags);
    cursor.skip(2);  // background index and aspect ratio: not used
    if (screenWidth == 0 || screenHeight == 0) return fail(FailureKind::Malformed, "gif: empty logical screen");
    if (!checkedPixelBytes(screenWidth, screenHeight, 4))
        return fail(FailureKind::TooLarge, "gif: logical screen too large");

    Picture picture;
    picture.kind = PictureKind::Gif;
    picture.width = screenWidth;
    picture.height = screenHeight;
    if ((flags & 0x80) != 0) {
        // The global table must leave at least one byte after it.
        const std::size_t entries = std::size_t{1} << ((flags & 7u) + 1);
        if (kHeaderSize + 3 * entries >= data.size())
            return fail(FailureKind::Truncated, "gif: global colour table does not fit");
        readColourTable(cursor, flags & 7u, picture.palette);
    }

    for (;;) {
        std::uint8_t block = 0;
        if (!cursor.readU8(block)) return fail(FailureKind::Truncated, "gif: data end before any image");
        switch (block) {
        case 0x21:
            if (auto failure = skipExtension(cursor)) return std::move(*failure);
            break;
        case 0x2C:
            return decodeFirstImage(cursor, picture);
        case 0x00:
            break;
        case 0x3B:
            return fail(FailureKind::Malformed, "gif: trailer before any image");
        default:
            return fail(FailureKind::Malformed, "gif: unknown block");
        }
    }
}

}  // namespace

DecodeResult decodeGif(Bytes data) noexcept {
    try {
        return decode(data);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::OutOfMemory, "gif: out of memory"};
    }
}

}  // namespace pictures

// BMP decoder: uncompressed files with 1, 4, 8, 24 or 32 bits per pixel and
// an information header of the 40-byte form (or a later form that begins with
// it). Refused on purpose:
//   - compression other than none (run-length, bit fields, embedded JPEG/PNG):
//     the tool never meets them in practice and each is a decoder of its own;
//   - 16 bits per pixel and every other depth;
//   - the 12-byte OS/2 header and any header shorter than 40 bytes, whose
//     fields do not sit where the 40-byte form puts them;
//   - a zero width or height, which leaves nothing to draw.
// The data are pulled through a ChunkReader in 4096-byte chunks, so a BMP on
// disk is decoded row by row without being held whole in memory.
#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "decoders.h"
#include "limits.h"
#include "picture_source.h"

namespace pictures {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::size_t kPaletteEntrySize = 4;                              // blue, green, red, reserved
constexpr std::size_t kMaxPaletteEntries = 256;                           // all an 8-bit index can reach

struct BmpHeader {
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoHeaderSize = 0;
    std::int64_t width = 0;   // |stored width|
    std::int64_t height = 0;  // |stored height|
    bool topDown = false;     // stored height negative: first stored row is the top row
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
};

std::uint16_t u16(const std::array<std::uint8_t, kHeadersSize>& b, std::size_t at) noexcept {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t u32(const std::array<std::uint8_t, kHeadersSize>& b, std::size_t at) noexcept {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
// Absolute value of a stored 32-bit side, widened first so −2147483648 cannot overflow.
std::int64_t side(std::uint32_t raw) noexcept {
    const auto value = static_cast<std::int64_t>(static_cast<std::int32_t>(raw));
    return value < 0 ? -value : value;
}

bool isPaletted(std::uint16_t bitsPerPixel) noexcept {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

std::optional<Failure> readHeader(ChunkReader& reader, BmpHeader& header) {
    std::array<std::uint8_t, kHeadersSize> bytes{};
    if (!reader.readExact(bytes)) return Failure{FailureKind::Truncated, "shorter than the 54 header bytes"};
    if (bytes[0] != 0x42 || bytes[1] != 0x4D) return Failure{FailureKind::Malformed, "no BM signature"};

    // File header (14 bytes), then the information header (40 bytes).
    header.pixelOffset = u32(bytes, 10);
    header.infoHeaderSize = u32(bytes, 14);
    header.width = side(u32(bytes, 18));
    const auto storedHeight = static_cast<std::int32_t>(u32(bytes, 22));
    header.height = side(u32(bytes, 22));
    header.topDown = storedHeight < 0;
    header.bitsPerPixel = u16(bytes, 28);
    header.compression = u32(bytes, 30);
    header.coloursUsed = u32(bytes, 46);

    if (header.infoHeaderSize < kInfoHeaderSize)
        return Failure{FailureKind::Unsupported, "information header shorter than 40 bytes"};
    if (header.compression != 0) return Failure{FailureKind::Unsupported, "compressed BMP"};
    if (!isPaletted(header.bitsPerPixel) && header.bitsPerPixel != 24 && header.bitsPerPixel != 32)
        return Failure{FailureKind::Unsupported, "bits per pixel not 1, 4, 8, 24 or 32"};
    if (header.width == 0 || header.height == 0) return Failure{FailureKind::Malformed, "zero width or height"};
    return std::nullopt;
}

struct Palette {
    std::array<Rgb, kMaxPaletteEntries> colours{};
    std::size_t count = 0;  // entries the file actually gives, at most 256 kept
};

// Reads the colour table that follows the information header and moves on to
// the pixel data. The table starts right after the information header: byte
// 54 for the 40-byte form, later for the longer forms, whose table would
// otherwise be read from their own header fields.
std::optional<Failure> readPaletteAndSeekPixels(ChunkReader& reader, const BmpHeader& header, Palette& palette) {
    std::uint64_t entries = 0;
    if (isPaletted(header.bitsPerPixel))
        entries = header.coloursUsed != 0 ? header.coloursUsed : (std::uint64_t{1} << header.bitsPerPixel);

    const std::uint64_t tableStart = kFileHeaderSize + std::uint64_t{header.infoHeaderSize};
    const std::uint64_t consumed = tableStart + entries * kPaletteEntrySize;  // < 2^35, no overflow
    if (consumed > header.pixelOffset)
        return Failure{FailureKind::Malformed, "headers and colour table run past the pixel-data offset"};
    // Everything up to the pixel data must be present; refusing here spares
    // reading a hostile table entry by entry to the end of the data.
    if (header.pixelOffset - reader.position() > reader.remaining())
        return Failure{FailureKind::Truncated, "pixel-data offset past the end of the data"};
    if (!reader.skip(tableStart - reader.position())) return Failure{FailureKind::Truncated, "header cut short"};

    std::array<std::uint8_t, kPaletteEntrySize> entry{};
    for (std::uint64_t i = 0; i < entries; ++i) {
        if (i >= kMaxPaletteEntries) {  // unreachable by any index: skip the rest
            if (!reader.skip((entries - i) * kPaletteEntrySize))
                return Failure{FailureKind::Truncated, "colour table cut short"};
            break;
        }
        if (!reader.readExact(entry)) return Failure{FailureKind::Truncated, "colour table cut short"};
        palette.colours[palette.count++] = Rgb{entry[2], entry[1], entry[0]};
    }
    if (!reader.skip(header.pixelOffset - reader.position()))
        return Failure{FailureKind::Truncated, "pixel-data offset past the end of the data"};
    return std::nullopt;
}

// One stored row into `out` (width × RGB). An index beyond the colour table
// the file actually gives shows black: the table has no colour for it, and
// black is what an absent table entry reads as everywhere else in pictures/.
void convertRow(const std::uint8_t* row, std::uint8_t* out, const BmpHeader& header, const Palette& palette) noexcept {
    const auto width = static_cast<std::size_t>(header.width);
    switch (header.bitsPerPixel) {
        case 24:
        case 32: {
            const std::size_t step = header.bitsPerPixel / 8u;
            for (std::size_t x = 0; x < width; ++x, row += step, out += 3) {
                out[0] = row[2];
                out[1] = row[1];
                out[2] = row[0];
            }
            break;
        }
        default: {  // 1, 4 or 8 bits: indices packed from the most significant bit
            const unsigned bits = header.bitsPerPixel;
            const unsigned perByte = 8u / bits;
            const auto mask = static_cast<unsigned>((1u << bits) - 1u);
            for (std::size_t x = 0; x < width; ++x, out += 3) {
                const unsigned shift = 8u - bits * (1u + static_cast<unsigned>(x % perByte));
                const std::size_t index = (static_cast<unsigned>(row[x / perByte]) >> shift) & mask;
                const Rgb colour = index < palette.count ? palette.colours[index] : Rgb{};
                out[0] = colour.r;
                out[1] = colour.g;
                out[2] = colour.b;
            }
            break;
        }
    }
}

DecodeResult decodeBmpFrom(PictureSource& source) {
    ChunkReader reader(source);
    BmpHeader header;
    if (auto failure = readHeader(reader, header)) return std::move(*failure);

    const auto pixelBytes = checkedPixelBytes(header.width, header.height, 3);
    if (!pixelBytes) return Failure{FailureKind::TooLarge, "picture larger than the pixel limit"};

    Palette palette;
    if (auto failure = readPaletteAndSeekPixels(reader, header, palette)) return std::move(*failure);

    // Each row is padded to a multiple of 4 bytes counted from the pixel-data
    // offset, where the reader now stands. The padding after the last row
    // need not be there. Sides are at most kMaxDimension, so none of this
    // overflows.
    const auto width = static_cast<std::uint64_t>(header.width);
    const auto height = static_cast<std::uint64_t>(header.height);
    const std::uint64_t rowBytes = (width * header.bitsPerPixel + 7) / 8;
    const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
    if ((height - 1) * stride + rowBytes > reader.remaining())
        return Failure{FailureKind::Truncated, "pixel data cut short"};

    Picture picture;
    picture.kind = PictureKind::Bmp;
    picture.width = static_cast<std::int32_t>(header.width);
    picture.height = static_cast<std::int32_t>(header.height);
    picture.pixels.resize(*pixelBytes);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));

    const std::size_t outStride = static_cast<std::size_t>(width) * 3;
    for (std::uint64_t i = 0; i < height; ++i) {
        if (!reader.readExact(row)) return Failure{FailureKind::Truncated, "pixel data cut short"};
        if (i + 1 < height && !reader.skip(stride - rowBytes))
            return Failure{FailureKind::Truncated, "pixel data cut short"};
        const std::uint64_t y = header.topDown ? i : height - 1 - i;
        convertRow(row.data(), picture.pixels.data() + static_cast<std::size_t>(y) * outStride, header, palette);
    }
    return picture;
}

}  // namespace

DecodeResult decodeBmp(PictureSource& source) noexcept {
    try {
        return decodeBmpFrom(source);
    } catch (...) {  // std::bad_alloc from the pixel or row buffer
        return Failure{FailureKind::OutOfMemory, {}};
    }
}

DecodeResult decodeBmp(Bytes data) noexcept {
    MemorySource source(data);
    return decodeBmp(source);
}

}  // namespace pictures

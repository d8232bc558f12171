// ZSoft PCX: 8-bit pictures with a 256-colour table (Pcx8) and 1-bit,
// version 3 pictures (Pcx1), both single-plane and run-length coded. Other
// depths and every multi-plane layout (16-colour EGA, 24-bit) are refused:
// the tool reads only what it can show faithfully.
//
// Choices where the format leaves room:
// - The scan lines are decoded as one run-length stream, so a run that
//   crosses the end of a line goes on into the next one, as most readers do.
//   Bytes past the width's share of each line (the padding) are dropped.
// - Pcx8 data that end before the last line fail: the colour table, which
//   must follow the image, is then missing. Pcx1 data that end early keep the
//   lines decoded and leave the rest 0.
// - Pcx8 colour table: the 0x0C marker is looked for right after the image
//   data, then at the place a table ending the file would start (769 bytes
//   before the end), for writers that pad the image data; no marker at either
//   place fails.
#include <algorithm>
#include <new>

#include "byte_cursor.h"
#include "decoders.h"
#include "limits.h"

namespace pictures {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kPaletteBytes = 768;


struct Header {
    std::uint8_t version = 0;
    std::uint8_t encoding = 0;
    std::uint8_t bits = 0;
    std::uint8_t planes = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bytesPerLine = 0;
};

Header readHeader(Bytes data) noexcept {
    Header header;
    ByteCursor cursor(data, 1);
    std::uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    cursor.readU8(header.version);
    cursor.readU8(header.encoding);
    cursor.readU8(header.bits);
    cursor.readU16(xmin);
    cursor.readU16(ymin);
    cursor.readU16(xmax);
    cursor.readU16(ymax);
    cursor.seek(65);
    cursor.readU8(header.planes);
    cursor.readU16(header.bytesPerLine);
    // Unsigned 16-bit corners widened first: xmax < xmin gives a width of 0
    // or less, never a wrapped large one.
    header.width = std::int32_t{xmax} - std::int32_t{xmin} + 1;
    header.height = std::int32_t{ymax} - std::int32_t{ymin} + 1;
    return header;
}

// Expands the run-length stream from `cursor` into `lines` lines of
// bytesPerLine bytes each, handing the first `keep` bytes of every line to
// `store(line, column, value, count)`. Returns false when the data end first.
template <typename Store>
bool expandLines(ByteCursor& cursor, std::uint64_t lines, std::uint64_t bytesPerLine, std::uint64_t keep,
                 Store&& store) {
    const std::uint64_t total = lines * bytesPerLine;
    std::uint64_t position = 0;
    while (position < total) {
        std::uint8_t byte = 0;
        if (!cursor.readU8(byte)) return false;
        std::uint64_t count = 1;
        // A byte above 0xC0 is a run; 0xC0 itself is a literal.
        if (byte > 0xC0) {
            count = byte - 0xC0u;
            if (!cursor.readU8(byte)) return false;
        }
        // A run longer than what is left of the image is cut at its end.
        const std::uint64_t end = position + count < total ? position + count : total;
        while (position < end) {
            const std::uint64_t line = position / bytesPerLine;
            const std::uint64_t column = position % bytesPerLine;
            const std::uint64_t lineEnd = (line + 1) * bytesPerLine;
            const std::uint64_t stop = end < lineEnd ? end : lineEnd;
            if (column < keep) {
                const std::uint64_t kept = (stop - position) < (keep - column) ? stop - position : keep - column;
                store(static_cast<std::size_t>(line), static_cast<std::size_t>(column), byte,
                      static_cast<std::size_t>(kept));
            }
            position = stop;
        }
    }
    return true;
}

DecodeResult decode(Bytes data) {
    if (data.size() <= kHeaderSize) return fail(FailureKind::Truncated, "pcx: 128 bytes or fewer");
    if (data[0] != 0x0A) return fail(FailureKind::Malformed, "pcx: not a PCX header");
    const Header header = readHeader(data);
    if (header.encoding != 1) return fail(FailureKind::Unsupported, "pcx: encoding is not run-length");
    if (header.width <= 0 || header.height <= 0) return fail(FailureKind::Malformed, "pcx: width or height not positive");
    if (header.planes != 1) return fail(FailureKind::Unsupported, "pcx: more than one plane");

    PictureKind kind = PictureKind::Pcx8;
    if (header.bits == 8 && header.version <= 5)
        kind = PictureKind::Pcx8;
    else if (header.bits == 1 && header.version == 3)
        kind = PictureKind::Pcx1;
    else
        return fail(FailureKind::Unsupported, "pcx: only 8-bit and version 3 1-bit pictures");

    const auto width = static_cast<std::size_t>(header.width);
    const auto height = static_cast<std::size_t>(header.height);
    const std::size_t needed = kind == PictureKind::Pcx8 ? width : (width + 7) / 8;
    if (header.bytesPerLine < needed) return fail(FailureKind::Malformed, "pcx: bytes per line too small for the width");
    // Drawn as RGBA at natural size, so that is the memory to bound.
    const auto drawnBytes = checkedPixelBytes(header.width, header.height, 4);
    if (!drawnBytes) return fail(FailureKind::TooLarge, "pcx: picture too large");

    Picture picture;
    picture.kind = kind;
    picture.width = header.width;
    picture.height = header.height;
    picture.pixels.assign(width * height, 0);
    auto& out = picture.pixels;
    ByteCursor cursor(data, kHeaderSize);

    if (kind == PictureKind::Pcx1) {
        expandLines(cursor, height, header.bytesPerLine, needed,
                    [&](std::size_t line, std::size_t column, std::uint8_t value, std::size_t count) {
                        std::uint8_t* row = out.data() + line * width;
                        for (std::size_t byte = column; byte < column + count; ++byte)
                            for (std::size_t bit = 0; bit < 8 && byte * 8 + bit < width; ++bit)
                                row[byte * 8 + bit] = static_cast<std::uint8_t>((value >> (7 - bit)) & 1u);
                    });
        return picture;
    }

    if (!expandLines(cursor, height, header.bytesPerLine, needed,
                     [&](std::size_t line, std::size_t column, std::uint8_t value, std::size_t count) {
                         std::uint8_t* row = out.data() + line * width + column;
                         std::fill(row, row + count, value);
                     }))
        return fail(FailureKind::Truncated, "pcx: image data cut short");

    const std::size_t afterImage = cursor.position();
    const std::size_t tableBytes = 1 + kPaletteBytes;
    std::size_t markerAt = afterImage;
    if (data.size() - afterImage < tableBytes || data[afterImage] != kPaletteMarker) {
        markerAt = data.size() - tableBytes;
        if (data.size() - afterImage < tableBytes || data[markerAt] != kPaletteMarker)
            return fail(FailureKind::Malformed, "pcx: colour table marker missing");
    }
    cursor.seek(markerAt + 1);
    std::span<const std::uint8_t> table;
    cursor.take(kPaletteBytes, table);
    for (std::size_t i = 0; i < 256; ++i) picture.palette[i] = {table[i * 3], table[i * 3 + 1], table[i * 3 + 2]};
    return picture;
}

}  // namespace

DecodeResult decodePcx(Bytes data) noexcept {
    try {
        return decode(data);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::OutOfMemory, "pcx: out of memory"};
    }
}

}  // namespace pictures

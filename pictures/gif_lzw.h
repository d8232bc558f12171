// The LZW bit stream of a GIF image (GIF89a, section 22 and appendix F).
//
// The codes arrive in data sub-blocks (a length byte, then that many bytes,
// until a zero length), packed least-significant bit first across byte and
// sub-block boundaries. Decoding walks each code's chain through a 4096-entry
// prefix/suffix table, so the work is linear in the pixels written and the
// codes read: no string is ever copied and no chain can loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pictures {

enum class GifLzwStatus : std::uint8_t {
    Complete,      // the end code was read
    DataEnded,     // the sub-blocks or the data ended before the end code
    ImageFull,     // every pixel was written; the rest of the stream was not read
    BadFirstCode,  // the first code after a clear code exceeds clear + 2
    BadChain,      // a code names no table entry, or a chain does not descend
};

struct GifLzwResult {
    GifLzwStatus status = GifLzwStatus::Complete;
    std::size_t pixelsWritten = 0;
};

// Smallest and largest minimum code sizes accepted: the range GIF89a allows
// (section 22, appendix F). Below 2 the first free code already equals 2^width
// when decoding starts, so readers disagree on when the width grows; above 8
// the literals could not be stored as 8-bit colour indices.
inline constexpr int kGifMinCodeSizeLow = 2;
inline constexpr int kGifMinCodeSizeHigh = 8;

// Decodes the sub-blocks that start at the front of `subBlocks` into `pixels`,
// in stream order. Pixels beyond `pixels.size()` are dropped: decoding stops
// as soon as the image is full. `minimumCodeSize` must be within
// kGifMinCodeSizeLow..kGifMinCodeSizeHigh.
GifLzwResult decodeGifLzw(std::span<const std::uint8_t> subBlocks, int minimumCodeSize,
                          std::span<std::uint8_t> pixels) noexcept;

}  // namespace pictures

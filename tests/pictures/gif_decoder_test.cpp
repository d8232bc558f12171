// The GIF container and its LZW stream: fixtures are built here byte by byte,
// with the codes packed exactly as a decoder reads them, plus a few files
// written by ImageMagick and Pillow compared with what those programs read.
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "drawn_pixels.h"
#include "pictures/decoders.h"

namespace pictures {
namespace {

using testing::drawnOverWhite;
using testing::picture;
using ByteVector = std::vector<std::uint8_t>;

void put16(ByteVector& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 2^(sizeBits + 1) entries: entry i is {i * 10, 100, 200 - i} unless given.
ByteVector colourTable(unsigned sizeBits, std::initializer_list<Rgb> first = {}) {
    ByteVector out;
    const unsigned entries = 1u << (sizeBits + 1);
    auto given = first.begin();
    for (unsigned i = 0; i < entries; ++i) {
        const Rgb c = given != first.end() ? *given++
                                           : Rgb{static_cast<std::uint8_t>(i * 10), 100, static_cast<std::uint8_t>(200 - i)};
        out.insert(out.end(), {c.r, c.g, c.b});
    }
    return out;
}

// Signature, logical screen and (when tableBits >= 0) a global table.
ByteVector header(unsigned width, unsigned height, int tableBits = 1, std::initializer_list<Rgb> colours = {},
                  const char* signature = "GIF89a") {
    ByteVector out(signature, signature + 6);
    put16(out, width);
    put16(out, height);
    out.push_back(tableBits >= 0 ? static_cast<std::uint8_t>(0x80 | tableBits) : 0);
    out.insert(out.end(), {0, 0});
    if (tableBits >= 0) out = out + colourTable(static_cast<unsigned>(tableBits), colours);
    return out;
}

// Packs codes least-significant bit first at the width a decoder expects at
// each point, and wraps them in sub-blocks of at most 255 bytes.
ByteVector packCodes(const std::vector<unsigned>& codes, unsigned minimum, std::size_t blockSize = 255) {
    const unsigned clear = 1u << minimum;
    unsigned width = minimum + 1, next = clear + 2;
    bool afterClear = true;
    ByteVector bytes;
    std::uint32_t bits = 0;
    unsigned count = 0;
    for (const unsigned code : codes) {
        bits |= code << count;
        count += width;
        while (count >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
        if (code == clear) {
            width = minimum + 1;
            next = clear + 2;
            afterClear = true;
        } else if (code != clear + 1) {
            if (!afterClear && next < 4096 && ++next == (1u << width) && width < 12) ++width;
            afterClear = false;
        }
    }
    if (count > 0) bytes.push_back(static_cast<std::uint8_t>(bits));
    ByteVector out{static_cast<std::uint8_t>(minimum)};
    for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
        const std::size_t size = std::min(blockSize, bytes.size() - at);
        out.push_back(static_cast<std::uint8_t>(size));
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    }
    out.push_back(0);
    return out;
}

// Every pixel as a literal code: clear, the indices, end.
ByteVector literalData(const ByteVector& indices, unsigned minimum = 2) {
    std::vector<unsigned> codes{1u << minimum};
    codes.insert(codes.end(), indices.begin(), indices.end());
    codes.push_back((1u << minimum) + 1);
    return packCodes(codes, minimum);
}

ByteVector imageDescriptor(unsigned left, unsigned top, unsigned width, unsigned height, std::uint8_t flags = 0) {
    ByteVector out{0x2C};
    for (const unsigned v : {left, top, width, height}) put16(out, v);
    out.push_back(flags);
    return out;
}

// Graphic control block with the given transparent index.
ByteVector graphicControl(std::uint8_t transparent) { return {0x21, 0xF9, 4, 0x01, 10, 0, transparent, 0}; }

const ByteVector kTrailer{0x3B};

// Pixel (x, y) of the picture as drawn (no alpha is involved for GIF).
Rgb drawnAt(const Picture& p, int x, int y) {
    const auto image = drawnOverWhite(p);
    const auto i = static_cast<std::size_t>((y * image.width + x) * 3);
    if (i + 2 >= image.rgb.size()) return {1, 2, 3};
    return {image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]};
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

TEST(GifDecoder, ImageSitsAtTheScreenTopLeftWithBlackAround) {
    // 100 × 100 screen, one 50 × 50 image whose descriptor says left 25, top 25.
    const ByteVector gif = header(100, 100, 1, {kRed, kGreen}) + imageDescriptor(25, 25, 50, 50) +
                           literalData(ByteVector(2500, 1)) + kTrailer;
    const auto result = decodeGif(gif);
    const Picture& p = picture(result);
    EXPECT_EQ(p.kind, PictureKind::Gif);
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 100);
    EXPECT_EQ(p.imageWidth, 50);
    EXPECT_EQ(p.imageHeight, 50);
    EXPECT_EQ(drawnAt(p, 0, 0), kGreen);
    EXPECT_EQ(drawnAt(p, 49, 49), kGreen);
    EXPECT_EQ(drawnAt(p, 50, 0), kBlack);
    EXPECT_EQ(drawnAt(p, 0, 50), kBlack);
    EXPECT_EQ(drawnAt(p, 99, 99), kBlack);
}

struct DecodesRow {
    const char* name;
    ByteVector gif;
    std::vector<std::pair<std::pair<int, int>, Rgb>> probes;  // (x, y) → colour as drawn
};

TEST(GifDecoder, Decodes) {
    const ByteVector table = colourTable(1, {kRed, kGreen, kBlue, {9, 9, 9}});
    const std::vector<DecodesRow> rows = {
        {"first frame of an animation, transparent index in its table colour",
         header(2, 1, 1, {kRed, kGreen}) + graphicControl(1) + imageDescriptor(0, 0, 2, 1) + literalData({1, 0}) +
             graphicControl(0) + imageDescriptor(0, 0, 2, 1) + literalData({0, 0}) + kTrailer,
         {{{0, 0}, kGreen}, {{1, 0}, kRed}}},
        {"every known extension skipped, 0x00 padding skipped before the image",
         header(1, 1) + ByteVector{0x21, 0xFE, 3, 'a', 'b', 'c', 0} +
             ByteVector{0x21, 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 'h', 'i', 0} +
             ByteVector{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0} +
             ByteVector{0x00, 0x00} + imageDescriptor(0, 0, 1, 1) + literalData({3}) + kTrailer,
         {{{0, 0}, {30, 100, 197}}}},
        {"local table replaces the global one",
         header(1, 1, 0, {kRed, kRed}) + imageDescriptor(0, 0, 1, 1, 0x81) + table + literalData({2}) + kTrailer,
         {{{0, 0}, kBlue}}},
        {"index beyond a two-entry table is black",
         header(2, 1, 0, {kRed, kGreen}) + imageDescriptor(0, 0, 2, 1) + literalData({3, 1}) + kTrailer,
         {{{0, 0}, kBlack}, {{1, 0}, kGreen}}},
        {"no colour table at all: black",
         header(1, 1, -1) + imageDescriptor(0, 0, 1, 1) + literalData({1}) + kTrailer, {{{0, 0}, kBlack}}},
        {"code defined by its own use (KwKwK) repeats the previous string",
         header(3, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 3, 1) + packCodes({4, 1, 6, 5}, 2) + kTrailer,
         {{{0, 0}, kGreen}, {{1, 0}, kGreen}, {{2, 0}, kGreen}}},
        {"data ending before the end code keep the decoded part, the rest is index 0",
         header(3, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 3, 1) + packCodes({4, 1, 1}, 2),
         {{{0, 0}, kGreen}, {{1, 0}, kGreen}, {{2, 0}, kRed}}},
        {"image data with no sub-blocks at all: index 0 everywhere",
         header(2, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 2, 1) + ByteVector{2}, {{{1, 0}, kRed}}},
        {"pixels beyond width × height are ignored",
         header(2, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 2, 1) + literalData({1, 0, 1, 1, 1}) + kTrailer,
         {{{0, 0}, kGreen}, {{1, 0}, kRed}}},
        {"image wider than the screen is cut off",
         header(1, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 3, 1) + literalData({1, 0, 0}) + kTrailer,
         {{{0, 0}, kGreen}}},
        {"codes split across sub-blocks of one byte",
         header(3, 1, 1, {kRed, kGreen}) + imageDescriptor(0, 0, 3, 1) + packCodes({4, 1, 0, 1, 5}, 2, 1) + kTrailer,
         {{{0, 0}, kGreen}, {{1, 0}, kRed}, {{2, 0}, kGreen}}},
        {"GIF87a", header(1, 1, 0, {kBlue, kRed}, "GIF87a") + imageDescriptor(0, 0, 1, 1) + literalData({0}) + kTrailer,
         {{{0, 0}, kBlue}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = decodeGif(row.gif);
        const Picture& p = picture(result);
        for (const auto& [at, want] : row.probes) {
            const Rgb have = drawnAt(p, at.first, at.second);
            EXPECT_EQ(have, want) << "at (" << at.first << ", " << at.second << ") have " << int{have.r} << ","
                                  << int{have.g} << "," << int{have.b};
        }
    }
}

TEST(GifDecoder, InterlacedRowsComeInFourPasses) {
    // Ten one-pixel rows stored in pass order; each stored value is the row
    // it belongs to, so the decoded column must read 0, 1, …, 9.
    const ByteVector stored{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    const ByteVector gif = header(1, 10, 3) + imageDescriptor(0, 0, 1, 10, 0x40) + literalData(stored, 4) + kTrailer;
    const auto result = decodeGif(gif);
    EXPECT_EQ(picture(result).pixels, (ByteVector{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // Three columns wide, 17 rows: rows move whole.
    ByteVector wide;
    const ByteVector order{0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15};
    for (const auto row : order) wide.insert(wide.end(), {row, row, row});
    const auto wideResult =
        decodeGif(header(3, 17, 4) + imageDescriptor(0, 0, 3, 17, 0x40) + literalData(wide, 5) + kTrailer);
    const auto& pixels = picture(wideResult).pixels;
    ASSERT_EQ(pixels.size(), 51u);
    for (std::size_t y = 0; y < 17; ++y)
        for (std::size_t x = 0; x < 3; ++x) EXPECT_EQ(pixels[y * 3 + x], y) << "row " << y;
}

TEST(GifDecoder, FullCodeTableFreezesAndDecodingGoesOn) {
    // 5000 literals after one clear: the table fills at 4096 entries and the
    // codes stay 12 bits wide with no further entries.
    ByteVector indices(5000);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i * 7) % 4);
    const auto result = decodeGif(header(100, 50) + imageDescriptor(0, 0, 100, 50) + literalData(indices) + kTrailer);
    EXPECT_EQ(picture(result).pixels, indices);
}

TEST(GifDecoder, Rejects) {
    const ByteVector image = imageDescriptor(0, 0, 1, 1) + literalData({0}) + kTrailer;
    ByteVector tableTooLong = header(1, 1, 7);  // 256 entries: 13 + 768 bytes
    tableTooLong.resize(13 + 768);
    struct Row {
        const char* name;
        ByteVector gif;
        FailureKind kind;
    };
    const std::vector<Row> rows = {
        {"13 bytes", header(1, 1, -1), FailureKind::Truncated},
        {"GIF88a signature", header(1, 1, 0, {}, "GIF88a") + image, FailureKind::Malformed},
        {"GIF89b signature", header(1, 1, 0, {}, "GIF89b") + image, FailureKind::Malformed},
        {"global table reaching the end of the data", tableTooLong, FailureKind::Truncated},
        {"extension label 0x02", header(1, 1) + ByteVector{0x21, 0x02, 0} + image, FailureKind::Malformed},
        {"block byte 0x2D", header(1, 1) + ByteVector{0x2D} + image, FailureKind::Malformed},
        {"trailer before any image", header(1, 1) + kTrailer + image, FailureKind::Malformed},
        {"data end before any image", header(1, 1) + ByteVector{0x00}, FailureKind::Truncated},
        {"comment sub-block running past the end", header(1, 1) + ByteVector{0x21, 0xFE, 9, 'a'}, FailureKind::Truncated},
        {"graphic control cut short", header(1, 1) + ByteVector{0x21, 0xF9, 4, 0}, FailureKind::Truncated},
        {"image descriptor cut short", header(1, 1) + ByteVector{0x2C, 0, 0, 0}, FailureKind::Truncated},
        {"local table cut short", header(1, 1) + imageDescriptor(0, 0, 1, 1, 0x87) + ByteVector(30), FailureKind::Truncated},
        {"minimum code size missing", header(1, 1) + imageDescriptor(0, 0, 1, 1), FailureKind::Truncated},
        {"minimum code size 1", header(1, 1) + imageDescriptor(0, 0, 1, 1) + ByteVector{1, 1, 0x06, 0}, FailureKind::Unsupported},
        {"minimum code size 9", header(1, 1) + imageDescriptor(0, 0, 1, 1) + ByteVector{9, 1, 0, 0}, FailureKind::Unsupported},
        {"empty logical screen", header(0, 0) + image, FailureKind::Malformed},
        {"image 0 pixels wide", header(1, 1) + imageDescriptor(0, 0, 0, 1) + literalData({}) + kTrailer, FailureKind::Malformed},
        // Codes with minimum size 2: clear 4, end 5, first free entry 6.
        {"first code after a clear above clear + 2",
         header(2, 1) + imageDescriptor(0, 0, 2, 1) + packCodes({4, 7, 5}, 2), FailureKind::Malformed},
        {"first code after a clear is clear + 2, an entry not yet made",
         header(2, 1) + imageDescriptor(0, 0, 2, 1) + packCodes({4, 6, 5}, 2), FailureKind::Malformed},
        {"first code after a later clear above clear + 2",
         header(2, 1) + imageDescriptor(0, 0, 2, 1) + packCodes({4, 1, 4, 7, 5}, 2), FailureKind::Malformed},
        {"code beyond the next free entry",
         header(4, 1) + imageDescriptor(0, 0, 4, 1) + packCodes({4, 1, 7, 5}, 2), FailureKind::Malformed},
    };
    for (const auto& row : rows) {
        const auto result = decodeGif(row.gif);
        const auto* failure = std::get_if<Failure>(&result);
        ASSERT_NE(failure, nullptr) << row.name << ": decoded, want a failure";
        EXPECT_EQ(failure->kind, row.kind) << row.name << ": " << failure->reason;
        EXPECT_FALSE(failure->reason.empty()) << row.name;
    }

    // One byte more than the global table needs is enough to pass that check.
    tableTooLong.push_back(0x3B);
    const auto fits = decodeGif(tableTooLong);
    ASSERT_TRUE(std::holds_alternative<Failure>(fits));
    EXPECT_EQ(std::get<Failure>(fits).reason.find("global"), std::string::npos) << std::get<Failure>(fits).reason;
}

TEST(GifDecoder, HugeDeclaredSizesFailFastWithoutAllocating) {
    struct Row {
        const char* name;
        ByteVector gif;
    };
    const std::vector<Row> rows = {
        {"logical screen 65535 × 65535", header(65535, 65535) + imageDescriptor(0, 0, 1, 1) + literalData({0}) + kTrailer},
        {"image 65535 × 65535 on a small screen",
         header(10, 10) + imageDescriptor(0, 0, 65535, 65535) + literalData({0}) + kTrailer},
    };
    for (const auto& row : rows) {
        const auto started = std::chrono::steady_clock::now();
        const auto result = decodeGif(row.gif);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        ASSERT_TRUE(std::holds_alternative<Failure>(result)) << row.name;
        EXPECT_EQ(std::get<Failure>(result).kind, FailureKind::TooLarge) << row.name;
        EXPECT_LT(elapsed, std::chrono::milliseconds(100)) << row.name;
    }
}

TEST(GifDecoder, MatchesWhatOtherProgramsRead) {
    // name → the PPM the writing program reads back (see tests/data/README.md).
    const std::vector<std::pair<const char*, const char*>> files = {
        {"pictures/gif/imagemagick-gradient.gif", "pictures/gif/imagemagick-gradient.ppm"},
        {"pictures/gif/imagemagick-interlaced.gif", "pictures/gif/imagemagick-interlaced.ppm"},
        {"pictures/gif/pillow-pattern.gif", "pictures/gif/pillow-pattern.ppm"},
        {"pictures/gif/imagers-images-gif-anim-interlaced.gif", "pictures/gif/imagers-images-gif-anim-interlaced.ppm"},
    };
    for (const auto& [file, expected] : files) {
        SCOPED_TRACE(file);
        const auto result = decodeGif(testing::readFixture(file));
        EXPECT_TRUE(testing::samePixels(drawnOverWhite(picture(result)), testing::readPpm(expected)));
    }
}

}  // namespace
}  // namespace pictures

// Icons and cursors: the directory's entry choice, the bitmap form at every
// depth with its AND mask, 32-bit alpha, and the cases that must fail.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "drawn_pixels.h"
#include "pictures/decoders.h"

namespace pictures {
namespace {

using testing::picture;
using ByteVector = std::vector<std::uint8_t>;

void put16(ByteVector& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(ByteVector& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// BITMAPINFOHEADER; `storedHeight` counts colour and mask rows together.
ByteVector infoHeader(std::int32_t width, std::int32_t storedHeight, unsigned bits, std::uint32_t coloursUsed = 0,
                      std::uint32_t compression = 0, std::uint32_t headerSize = 40) {
    ByteVector out;
    put32(out, headerSize);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(storedHeight));
    put16(out, 1);
    put16(out, bits);
    put32(out, compression);
    for (int i = 0; i < 3; ++i) put32(out, 0);
    put32(out, coloursUsed);
    put32(out, 0);
    out.resize(headerSize, 0);
    return out;
}

ByteVector table(const std::vector<Rgb>& colours) {
    ByteVector out;
    for (const auto& c : colours) out.insert(out.end(), {c.b, c.g, c.r, 0});
    return out;
}

// Rows given top to bottom, stored bottom-up and padded to 4 bytes.
ByteVector rows(std::vector<ByteVector> topToBottom) {
    ByteVector out;
    for (auto it = topToBottom.rbegin(); it != topToBottom.rend(); ++it) {
        ByteVector row = *it;
        row.resize((row.size() + 3) / 4 * 4, 0);
        out = out + row;
    }
    return out;
}

// An opaque (all-clear mask) 1-bit image `width` × 1: the width tells which
// entry a directory test decoded.
ByteVector tagImage(int width) {
    const auto rowBytes = static_cast<std::size_t>((width + 7) / 8);
    return infoHeader(width, 2, 1) + table({{0, 0, 0}, {255, 255, 255}}) + rows({ByteVector(rowBytes, 0)}) +
           rows({ByteVector(rowBytes, 0)});
}

struct Entry {
    std::uint8_t width;
    std::uint8_t colourCount;
    ByteVector image;
};

ByteVector iconFile(const std::vector<Entry>& entries, unsigned type = 1) {
    ByteVector out;
    put16(out, 0);
    put16(out, type);
    put16(out, static_cast<unsigned>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    ByteVector images;
    for (const auto& e : entries) {
        out.insert(out.end(), {e.width, e.width, e.colourCount, 0});
        put16(out, 1);
        put16(out, 0);
        put32(out, static_cast<std::uint32_t>(e.image.size()));
        put32(out, offset);
        offset += static_cast<std::uint32_t>(e.image.size());
        images = images + e.image;
    }
    return out + images;
}

Rgba pixelAt(const Picture& p, int x, int y) {
    const auto i = static_cast<std::size_t>((y * p.width + x) * 4);
    if (i + 3 >= p.pixels.size()) return {1, 2, 3, 4};
    return {p.pixels[i], p.pixels[i + 1], p.pixels[i + 2], p.pixels[i + 3]};
}

TEST(IconDecoder, ChoosesTheFirst32PixelEntryWithSixteenColoursOrElseTheLast) {
    struct Row {
        const char* name;
        std::vector<Entry> entries;
        int wantWidth;
    };
    std::vector<Entry> many(65535, Entry{16, 0, {}});
    many.back() = Entry{48, 0, tagImage(7)};
    const std::vector<Row> rows = {
        {"16×16/16, 32×32/16, 48×48/true colour → 32",
         {{16, 16, tagImage(16)}, {32, 16, tagImage(32)}, {48, 0, tagImage(48)}}, 32},
        {"all true colour → last", {{16, 0, tagImage(16)}, {32, 0, tagImage(32)}, {48, 0, tagImage(48)}}, 48},
        {"32 wide with 8 colours does not qualify", {{32, 8, tagImage(32)}, {16, 16, tagImage(16)}}, 16},
        {"two qualifying: the first", {{32, 16, tagImage(31)}, {32, 255, tagImage(33)}}, 31},
        {"65535 entries, none qualifying → last", many, 7},
    };
    for (const auto& row : rows) {
        const ByteVector file = iconFile(row.entries);
        const auto started = std::chrono::steady_clock::now();
        const auto result = decodeIcon(file);
        EXPECT_EQ(picture(result).width, row.wantWidth) << row.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500)) << row.name;
    }
}

TEST(IconDecoder, DecodesEveryDepthBottomUpWithItsMask) {
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
    const std::vector<Rgb> palette{red, green, blue};
    struct Row {
        const char* name;
        ByteVector image;
        std::vector<std::pair<std::pair<int, int>, Rgba>> probes;
    };
    const std::vector<Row> rowsTable = {
        {"8-bit, rows bottom-up, set mask bit transparent",
         infoHeader(2, 4, 8, 3) + table(palette) + rows({{0, 1}, {2, 0}}) + rows({{0x80}, {0x40}}),
         {{{0, 0}, {255, 0, 0, 0}}, {{1, 0}, {0, 255, 0, 255}}, {{0, 1}, {0, 0, 255, 255}}, {{1, 1}, {255, 0, 0, 0}}}},
        {"4-bit nibbles high first; index past a two-entry table is black",
         infoHeader(3, 2, 4, 2) + table({red, green}) + rows({{0x10, 0x50}}) + rows({{0}}),
         {{{0, 0}, {0, 255, 0, 255}}, {{1, 0}, {255, 0, 0, 255}}, {{2, 0}, {0, 0, 0, 255}}}},
        {"1-bit, bits high first across bytes",
         infoHeader(9, 2, 1) + table({red, blue}) + rows({{0x40, 0x80}}) + rows({{0, 0}}),
         {{{0, 0}, {255, 0, 0, 255}}, {{1, 0}, {0, 0, 255, 255}}, {{7, 0}, {255, 0, 0, 255}}, {{8, 0}, {0, 0, 255, 255}}}},
        {"24-bit blue-green-red, rows padded to 4 bytes",
         infoHeader(3, 4, 24) + rows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}}) +
             rows({{0x20}, {0}}),
         {{{0, 0}, {3, 2, 1, 255}}, {{2, 0}, {9, 8, 7, 0}}, {{1, 1}, {15, 14, 13, 255}}}},
        {"32-bit with alpha: the alpha, not the mask",
         infoHeader(2, 2, 32) + rows({{1, 2, 3, 128, 4, 5, 6, 0}}) + rows({{0xC0}}),
         {{{0, 0}, {3, 2, 1, 128}}, {{1, 0}, {6, 5, 4, 0}}}},
        {"32-bit with alpha needs no mask", infoHeader(1, 2, 32) + rows({{1, 2, 3, 255}}), {{{0, 0}, {3, 2, 1, 255}}}},
        {"32-bit with every alpha 0: the mask",
         infoHeader(2, 2, 32) + rows({{1, 2, 3, 0, 4, 5, 6, 0}}) + rows({{0x40}}),
         {{{0, 0}, {3, 2, 1, 255}}, {{1, 0}, {6, 5, 4, 0}}}},
        {"odd header height 5: two rows, the fifth not read",
         infoHeader(1, 5, 8, 3) + table(palette) + rows({{1}, {2}}) + rows({{0}, {0}}),
         {{{0, 0}, {0, 255, 0, 255}}, {{0, 1}, {0, 0, 255, 255}}}},
        {"larger header (124 bytes): the table follows it",
         infoHeader(1, 2, 8, 3, 0, 124) + table(palette) + rows({{2}}) + rows({{0}}), {{{0, 0}, {0, 0, 255, 255}}}},
    };
    for (const auto& row : rowsTable) {
        SCOPED_TRACE(row.name);
        const auto result = decodeIcon(iconFile({{0, 0, row.image}}));
        const Picture& p = picture(result);
        EXPECT_EQ(p.kind, PictureKind::Icon);
        for (const auto& [at, want] : row.probes) {
            const Rgba have = pixelAt(p, at.first, at.second);
            EXPECT_EQ(have, want) << "at (" << at.first << ", " << at.second << ") have " << int{have.r} << ","
                                  << int{have.g} << "," << int{have.b} << "," << int{have.a};
        }
    }

    // The header's type decides icon or cursor.
    const auto cursor = decodeIcon(iconFile({{32, 0, tagImage(32)}}, 2));
    EXPECT_EQ(picture(cursor).kind, PictureKind::Cursor);
    EXPECT_EQ(picture(cursor).height, 1);
}

TEST(IconDecoder, Rejects) {
    const ByteVector good = infoHeader(1, 2, 8) + table({{1, 2, 3}}) + rows({{0}}) + rows({{0}});
    ByteVector badReserved = iconFile({{0, 0, good}});
    badReserved[0] = 1;
    ByteVector shortDirectory = iconFile({{0, 0, good}});
    shortDirectory[4] = 200;  // 200 entries claimed
    ByteVector hostileOffset = iconFile({{0, 0, good}});
    for (std::size_t i = 18; i < 22; ++i) hostileOffset[i] = 0xFF;  // offset 0xFFFFFFFF
    ByteVector hostileSize = iconFile({{0, 0, good}});
    for (std::size_t i = 14; i < 18; ++i) hostileSize[i] = 0xFF;  // byte count 0xFFFFFFFF
    ByteVector smallHeader = good, hugeHeader = good;
    smallHeader[0] = 12;
    hugeHeader[1] = 0x01;  // 296 bytes
    const ByteVector png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    struct Row {
        const char* name;
        ByteVector file;
        FailureKind kind;
    };
    const std::vector<Row> rowsTable = {
        {"5 bytes", {0, 0, 1, 0, 1}, FailureKind::Truncated},
        {"reserved word not 0", badReserved, FailureKind::Malformed},
        {"type 3", iconFile({{0, 0, good}}, 3), FailureKind::Malformed},
        {"no entries", iconFile({}), FailureKind::Malformed},
        {"directory shorter than its count", shortDirectory, FailureKind::Truncated},
        {"image offset past the end", hostileOffset, FailureKind::Truncated},
        {"image byte count past the end", hostileSize, FailureKind::Truncated},
        {"PNG-compressed image", iconFile({{0, 0, png}}), FailureKind::Unsupported},
        {"bitmap header cut short", iconFile({{0, 0, ByteVector(good.begin(), good.begin() + 20)}}), FailureKind::Truncated},
        {"header size 12 (the old core header)", iconFile({{0, 0, smallHeader}}), FailureKind::Malformed},
        {"header size past the image", iconFile({{0, 0, hugeHeader}}), FailureKind::Malformed},
        {"run-length compressed", iconFile({{0, 0, infoHeader(1, 2, 8, 0, 1) + good}}), FailureKind::Unsupported},
        {"16 bits per pixel", iconFile({{0, 0, infoHeader(1, 2, 16) + ByteVector(16)}}), FailureKind::Unsupported},
        {"header height 1: half is 0", iconFile({{0, 0, infoHeader(1, 1, 24) + ByteVector(16)}}), FailureKind::Malformed},
        {"negative height", iconFile({{0, 0, infoHeader(1, -2, 24) + ByteVector(16)}}), FailureKind::Malformed},
        {"width 0", iconFile({{0, 0, infoHeader(0, 2, 24) + ByteVector(16)}}), FailureKind::Malformed},
        {"colour table of 300 entries", iconFile({{0, 0, infoHeader(1, 2, 8, 300) + ByteVector(1300)}}), FailureKind::Malformed},
        {"colour table cut short", iconFile({{0, 0, infoHeader(1, 2, 8) + ByteVector(100)}}), FailureKind::Truncated},
        {"colour rows cut short", iconFile({{0, 0, infoHeader(4, 8, 24) + ByteVector(40)}}), FailureKind::Truncated},
        {"mask cut short", iconFile({{0, 0, infoHeader(1, 2, 24) + ByteVector(6)}}), FailureKind::Truncated},
        {"65535 × 65535 declared in a few bytes", iconFile({{0, 0, infoHeader(65535, 131070, 32)}}), FailureKind::TooLarge},
    };
    for (const auto& row : rowsTable) {
        const auto result = decodeIcon(row.file);
        const auto* failure = std::get_if<Failure>(&result);
        ASSERT_NE(failure, nullptr) << row.name << ": decoded, want a failure";
        EXPECT_EQ(failure->kind, row.kind) << row.name << ": " << failure->reason;
    }
}

TEST(IconDecoder, MatchesWhatOtherProgramsRead) {
    // Drawn over white; ImageMagick flattened the same files over white.
    for (const char* name : {"imagemagick-16", "imagemagick-alpha"}) {
        SCOPED_TRACE(name);
        const auto result = decodeIcon(testing::readFixture(std::string("pictures/ico/") + name + ".ico"));
        EXPECT_TRUE(testing::samePixels(testing::drawnOverWhite(picture(result)),
                                        testing::readPpm(std::string("pictures/ico/") + name + ".ppm")));
    }
    // Pillow writes its icon entries PNG-compressed.
    const auto png = decodeIcon(testing::readFixture("pictures/ico/pillow-alpha.ico"));
    ASSERT_TRUE(std::holds_alternative<Failure>(png));
    EXPECT_EQ(std::get<Failure>(png).kind, FailureKind::Unsupported);
}

}  // namespace
}  // namespace pictures

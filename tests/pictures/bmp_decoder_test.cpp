// The BMP decoder: pixels of every supported depth, row order, the colour
// table and offset rules, and every way a header can lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <random>

#include "allocation_probe.h"
#include "core_fixtures.h"
#include "pictures/decoders.h"
#include "pictures/limits.h"

using namespace pictures;
using core_fixtures::pictureOf;
using core_fixtures::pixelAt;

using allocation_probe::largestAllocation;

namespace {

using Bytes8 = std::vector<std::uint8_t>;

void put16(Bytes8& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
// Not inlined: GCC 12 then misreads the vector's size and warns of an overflow.
[[gnu::noinline]] void put32(Bytes8& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Stored rows (first stored first) packed at `bits` per pixel and padded to 4
// bytes. Values are colour-table indices at 1, 4 and 8 bits and 0xRRGGBB
// colours at 24 and 32 bits (32-bit pixels get 0xAA in the unused byte).
Bytes8 packRows(unsigned bits, const std::vector<std::vector<std::uint32_t>>& rows) {
    Bytes8 out;
    for (const auto& row : rows) {
        Bytes8 packed;
        if (bits >= 24) {
            for (const std::uint32_t c : row) {
                packed.insert(packed.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                             static_cast<std::uint8_t>(c >> 16)});
                if (bits == 32) packed.push_back(0xAA);
            }
        } else {
            packed.assign((row.size() * bits + 7) / 8, 0);
            for (std::size_t x = 0; x < row.size(); ++x) {
                const std::size_t bit = x * bits;
                packed[bit / 8] = static_cast<std::uint8_t>(packed[bit / 8] | (row[x] << (8 - bits - bit % 8)));
            }
        }
        packed.resize((packed.size() + 3) / 4 * 4, 0);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

// A complete BMP file image with the 40-byte header, the colour table right
// after it and the pixel data right after the table.
Bytes8 bmpFile(std::int32_t width, std::int32_t height, std::uint16_t bits, const std::vector<std::uint32_t>& table,
               const Bytes8& pixelData, std::uint32_t coloursUsed = 0) {
    Bytes8 b(54, 0);
    const auto offset = static_cast<std::uint32_t>(54 + 4 * table.size());
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(offset + pixelData.size()));
    put32(b, 10, offset);
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(width));
    put32(b, 22, static_cast<std::uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, bits);
    put32(b, 46, coloursUsed);
    for (const std::uint32_t c : table)
        b.insert(b.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c >> 16), 0});
    b.insert(b.end(), pixelData.begin(), pixelData.end());
    return b;
}

// A full table for `bits`, each entry with distinct red, green and blue.
std::vector<std::uint32_t> rampTable(unsigned bits) {
    std::vector<std::uint32_t> table;
    for (std::uint32_t i = 0; i < (1u << bits); ++i) table.push_back((i << 16) | ((255 - i) << 8) | ((i * 7) & 0xFF));
    return table;
}

Bytes8 prefix(Bytes8 b, std::size_t count) {
    b.resize(count);
    return b;
}

// A 2 × 2 24-bit file whose rows are each 6 bytes plus 2 of padding.
Bytes8 small24() { return bmpFile(2, 2, 24, {}, packRows(24, {{0x112233, 0x445566}, {0x778899, 0xAABBCC}})); }

struct Probe {
    int x, y;
    std::uint32_t rgb;
};
struct DecodeCase {
    const char* name;
    Bytes8 bytes;
    int width, height;
    std::vector<Probe> probes;
};

TEST(BmpDecoder, DecodesEveryDepth) {
    const auto t4 = rampTable(4), t8 = rampTable(8);
    Bytes8 v4 = bmpFile(2, 1, 8, {0x010203, 0x0A0B0C}, packRows(8, {{1, 0}}), 2);
    {  // the 108-byte header form: the table follows the whole header
        v4.insert(v4.begin() + 54, 68, 0xEE);
        put32(v4, 14, 108);
        put32(v4, 10, 54 + 68 + 8);
    }
    Bytes8 gap = bmpFile(2, 1, 24, {}, packRows(24, {{0x123456, 0x654321}}));
    {  // 10 stray bytes between the headers and the pixel data
        gap.insert(gap.begin() + 54, 10, 0xEE);
        put32(gap, 10, 64);
    }
    Bytes8 noLastPadding = small24();
    noLastPadding.resize(noLastPadding.size() - 2);

    const DecodeCase cases[] = {
        // Bits from the most significant end; 10 pixels cross into a second byte.
        {"1-bit", bmpFile(10, 2, 1, {0x102030, 0xA0B0C0}, packRows(1, {{1, 0, 0, 0, 0, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 0, 0, 0, 0, 0, 1}})),
         10, 2, {{0, 1, 0xA0B0C0}, {1, 1, 0x102030}, {8, 1, 0xA0B0C0}, {1, 0, 0xA0B0C0}, {9, 0, 0xA0B0C0}, {8, 0, 0x102030}}},
        // High nibble first.
        {"4-bit", bmpFile(3, 1, 4, t4, packRows(4, {{0xF, 0x1, 0x8}})), 3, 1,
         {{0, 0, t4[15]}, {1, 0, t4[1]}, {2, 0, t4[8]}}},
        // Colours used 0 means 2^8 entries: index 255 reaches the last one.
        {"8-bit, colours used 0", bmpFile(2, 1, 8, t8, packRows(8, {{255, 3}})), 2, 1, {{0, 0, t8[255]}, {1, 0, t8[3]}}},
        // Only two entries given: index 7 has no colour and shows black.
        {"8-bit, index beyond the table", bmpFile(2, 1, 8, {0x010203, 0x0A0B0C}, packRows(8, {{1, 7}}), 2), 2, 1,
         {{0, 0, 0x0A0B0C}, {1, 0, 0x000000}}},
        // Blue, green, red on disk; bottom row stored first; 2 padding bytes a row.
        {"24-bit", small24(), 2, 2, {{0, 0, 0x778899}, {1, 0, 0xAABBCC}, {0, 1, 0x112233}, {1, 1, 0x445566}}},
        {"32-bit, fourth byte ignored", bmpFile(2, 1, 32, {}, packRows(32, {{0x123456, 0xFEDCBA}})), 2, 1,
         {{0, 0, 0x123456}, {1, 0, 0xFEDCBA}}},
        {"negative width counts as its size", [] {
             Bytes8 b = small24();
             put32(b, 18, static_cast<std::uint32_t>(-2));
             return b;
         }(), 2, 2, {{0, 0, 0x778899}, {1, 1, 0x445566}}},
        {"gap before the pixel data is skipped", gap, 2, 1, {{0, 0, 0x123456}, {1, 0, 0x654321}}},
        {"108-byte header", v4, 2, 1, {{0, 0, 0x0A0B0C}, {1, 0, 0x010203}}},
        {"padding after the last row may be missing", noLastPadding, 2, 2, {{1, 0, 0xAABBCC}}},
    };
    for (const auto& c : cases) {
        const auto result = decodeBmp(c.bytes);
        const Picture* picture = pictureOf(result, c.name);
        if (picture == nullptr) continue;
        EXPECT_EQ(picture->kind, PictureKind::Bmp) << c.name;
        EXPECT_EQ(picture->width, c.width) << c.name;
        EXPECT_EQ(picture->height, c.height) << c.name;
        EXPECT_EQ(picture->pixels.size(), static_cast<std::size_t>(c.width * c.height * 3)) << c.name;
        for (const auto& p : c.probes)
            EXPECT_EQ(pixelAt(*picture, p.x, p.y), p.rgb)
                << c.name << " at (" << p.x << ", " << p.y << "): have " << std::hex << pixelAt(*picture, p.x, p.y)
                << ", want " << p.rgb;
    }
}

// A positive height stores the bottom row first, a negative one the top row
// first; the same picture stored both ways must decode identically, and the
// top-left pixel is the first pixel of the last stored bottom-up row.
TEST(BmpDecoder, TopDownAndBottomUpAreTheSamePicture) {
    std::mt19937 random(7);
    for (const unsigned bits : {1u, 4u, 8u, 24u, 32u}) {
        const int width = 13, height = 5;
        std::vector<std::vector<std::uint32_t>> rows(height);
        for (auto& row : rows)
            for (int x = 0; x < width; ++x) row.push_back(static_cast<std::uint32_t>(bits >= 24 ? random() & 0xFFFFFF : random() % (1u << bits)));
        const auto table = bits < 24 ? rampTable(bits) : std::vector<std::uint32_t>{};
        auto reversed = rows;
        std::reverse(reversed.begin(), reversed.end());

        const auto bottomUp = decodeBmp(bmpFile(width, height, static_cast<std::uint16_t>(bits), table, packRows(bits, rows)));
        const auto topDown = decodeBmp(bmpFile(width, -height, static_cast<std::uint16_t>(bits), table, packRows(bits, reversed)));
        const Picture* a = pictureOf(bottomUp, "bottom-up");
        const Picture* b = pictureOf(topDown, "top-down");
        if (a == nullptr || b == nullptr) continue;
        EXPECT_EQ(b->height, height) << bits << " bits";
        EXPECT_EQ(a->pixels, b->pixels) << bits << " bits";
        const std::uint32_t firstOfLast = rows.back()[0];
        EXPECT_EQ(pixelAt(*a, 0, 0), bits >= 24 ? firstOfLast : table[firstOfLast]) << bits << " bits";
    }
}

// Each row a header or body that must be refused, with the kind of failure.
// Every refusal must also come before any buffer sized from the header.
TEST(BmpDecoder, RefusesBrokenAndHostileFiles) {
    const auto mutate = [](Bytes8 b, auto&& change) {
        change(b);
        return b;
    };
    const Bytes8 pal1 = bmpFile(8, 1, 1, {0, 0xFFFFFF}, packRows(1, {{1, 0, 1, 0, 1, 0, 1, 0}}));
    const Bytes8 pal8 = bmpFile(2, 1, 8, {0x010203, 0x0A0B0C}, packRows(8, {{1, 0}}), 2);
    struct RejectCase {
        const char* name;
        Bytes8 bytes;
        FailureKind want;
    };
    const RejectCase cases[] = {
        {"53 bytes: headers cut short", prefix(small24(), 53), FailureKind::Truncated},
        {"no BM signature", mutate(small24(), [](Bytes8& b) { b[1] = 'A'; }), FailureKind::Malformed},
        {"run-length compression", mutate(pal8, [](Bytes8& b) { put32(b, 30, 1); }), FailureKind::Unsupported},
        {"bit-field compression", mutate(small24(), [](Bytes8& b) { put32(b, 30, 3); }), FailureKind::Unsupported},
        {"16 bits per pixel", mutate(small24(), [](Bytes8& b) { put16(b, 28, 16); }), FailureKind::Unsupported},
        {"2 bits per pixel", mutate(pal8, [](Bytes8& b) { put16(b, 28, 2); }), FailureKind::Unsupported},
        {"12-byte OS/2 header", mutate(small24(), [](Bytes8& b) { put32(b, 14, 12); }), FailureKind::Unsupported},
        // Headers and a two-entry table take 62 bytes, past the offset of 54.
        {"1-bit with pixel-data offset 54", mutate(pal1, [](Bytes8& b) { put32(b, 10, 54); }), FailureKind::Malformed},
        // 54 + 4 × 0xFFFFFFFF must not wrap round to something below the offset.
        {"colours used 0xFFFFFFFF", mutate(pal8, [](Bytes8& b) { put32(b, 46, 0xFFFFFFFF); }), FailureKind::Malformed},
        // A table of 2^29 entries the offset allows but the data do not hold.
        {"huge table within a huge offset",
         mutate(pal8, [](Bytes8& b) { put32(b, 46, 1u << 29); put32(b, 10, 0xFFFFFFF0); }), FailureKind::Truncated},
        {"pixel-data offset past the end", mutate(small24(), [](Bytes8& b) { put32(b, 10, 0x7FFFFFFF); }),
         FailureKind::Truncated},
        {"colour table cut short", prefix(pal8, 58), FailureKind::Truncated},
        {"width 0", mutate(small24(), [](Bytes8& b) { put32(b, 18, 0); }), FailureKind::Malformed},
        // |−2147483648| does not fit 32 bits.
        {"height -2147483648", mutate(small24(), [](Bytes8& b) { put32(b, 22, 0x80000000); }), FailureKind::TooLarge},
        // 65536 × 65536 × 3 overflows 32 bits and is far over the pixel limit.
        {"65536 x 65536", mutate(small24(), [](Bytes8& b) { put32(b, 18, 65536); put32(b, 22, 65536); }),
         FailureKind::TooLarge},
        // Within the pixel limit (192 MiB) but with none of the data.
        {"8192 x 8192 with 8 bytes of pixels", mutate(small24(), [](Bytes8& b) { put32(b, 18, 8192); put32(b, 22, 8192); }),
         FailureKind::Truncated},
        {"last row one byte short", prefix(small24(), small24().size() - 3), FailureKind::Truncated},
    };
    for (const auto& c : cases) {
        largestAllocation = 0;
        const auto result = decodeBmp(c.bytes);
        const std::size_t largest = largestAllocation;
        const auto* failure = std::get_if<Failure>(&result);
        if (failure == nullptr) {
            ADD_FAILURE() << c.name << ": have a picture, want a failure";
            continue;
        }
        EXPECT_EQ(failure->kind, c.want) << c.name << ": have " << static_cast<int>(failure->kind) << " ("
                                         << failure->reason << "), want " << static_cast<int>(c.want);
        EXPECT_LT(largest, 64u * 1024) << c.name << ": allocated " << largest << " bytes before refusing";
    }
}

// Files written by ImageMagick (a 24-bit and an 8-bit palette BMP, 7 × 5, so
// rows need 3 and 1 bytes of padding) against ImageMagick's own reading of
// them; the same image in bmpsuite's header, order and depth variants.
TEST(BmpDecoder, MatchesOtherWritersAndReaders) {
    for (const char* name : {"im-rgb24-7x5", "im-pal8-7x5"}) {
        const auto result = decodeBmp(core_fixtures::readFixture(std::string(name) + ".bmp"));
        const Picture* picture = pictureOf(result, name);
        if (picture == nullptr) continue;
        EXPECT_EQ(core_fixtures::maxDifference(*picture, core_fixtures::readReference(std::string(name) + ".ppm")), 0)
            << name;
    }
    const std::pair<const char*, const char*> sameImage[] = {
        {"bmpsuite-g-pal8v5.bmp", "bmpsuite-g-pal8.bmp"},       // 124-byte header, table after it
        {"bmpsuite-g-pal8topdown.bmp", "bmpsuite-g-pal8.bmp"},  // negative height
        {"bmpsuite-g-rgb32.bmp", "bmpsuite-g-rgb24.bmp"},
    };
    for (const auto& [variant, base] : sameImage) {
        const auto a = decodeBmp(core_fixtures::readFixture(variant));
        const auto b = decodeBmp(core_fixtures::readFixture(base));
        const Picture* pa = pictureOf(a, variant);
        const Picture* pb = pictureOf(b, base);
        if (pa == nullptr || pb == nullptr) continue;
        EXPECT_EQ(pa->width, 127) << variant;
        EXPECT_EQ(pa->height, 64) << variant;
        EXPECT_EQ(pa->pixels, pb->pixels) << variant << " differs from " << base;
    }
}

}  // namespace

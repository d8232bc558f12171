// The JPEG decoder: real files against a reference decode, truncated and
// broken streams, CMYK, and hostile sizes and scan counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>

#include "allocation_probe.h"
#include "core_fixtures.h"
#include "pictures/decoders.h"

using namespace pictures;
using core_fixtures::pictureOf;
using core_fixtures::pixelAt;
using core_fixtures::readFixture;

using allocation_probe::largestAllocation;

namespace {

using Bytes8 = std::vector<std::uint8_t>;

bool fails(const DecodeResult& result) { return std::holds_alternative<Failure>(result); }

// The fixture's frame header (SOF2 at byte 158): height at +5, width at +7.
constexpr std::size_t kProgressiveSof = 158;
Bytes8 progressiveWithSize(std::uint16_t width, std::uint16_t height) {
    Bytes8 b = readFixture("pillow-progressive-444-32x16.jpg");
    EXPECT_EQ(b[kProgressiveSof + 1], 0xC2);
    b[kProgressiveSof + 5] = static_cast<std::uint8_t>(height >> 8);
    b[kProgressiveSof + 6] = static_cast<std::uint8_t>(height);
    b[kProgressiveSof + 7] = static_cast<std::uint8_t>(width >> 8);
    b[kProgressiveSof + 8] = static_cast<std::uint8_t>(width);
    return b;
}

// Same decoder, same default parameters as djpeg: the output should match
// it exactly; 1 allows for a library built with other SIMD paths.
TEST(JpegDecoder, MatchesReferenceDecodes) {
    const struct {
        const char* jpeg;
        const char* reference;
    } cases[] = {
        {"wuffs-bricks-color.jpeg", "wuffs-bricks-color.ppm"},  // baseline 4:2:0, three input chunks
        {"wuffs-peacock.progressive.jpeg", "wuffs-peacock.progressive.ppm"},
        {"wuffs-bricks-gray.jpeg", "wuffs-bricks-gray.pgm"},    // one component, copied to all three
    };
    for (const auto& c : cases) {
        const auto result = decodeJpeg(readFixture(c.jpeg));
        const Picture* picture = pictureOf(result, c.jpeg);
        if (picture == nullptr) continue;
        EXPECT_EQ(picture->kind, PictureKind::Jpeg) << c.jpeg;
        const int difference = core_fixtures::maxDifference(*picture, core_fixtures::readReference(c.reference));
        EXPECT_GE(difference, 0) << c.jpeg << ": size differs from the reference";
        EXPECT_LE(difference, 1) << c.jpeg;
    }
}

// Cut off inside the scan data, the stream still yields the full picture:
// the rows before the cut as the whole file has them, the rest as the
// library leaves it. Cut inside the headers, there is no picture.
TEST(JpegDecoder, TruncatedStreamDecodesAtFullSize) {
    const Bytes8 whole = readFixture("wuffs-bricks-color.jpeg");
    const auto reference = core_fixtures::readReference("wuffs-bricks-color.ppm");
    for (const std::size_t cut : {std::size_t{5000}, std::size_t{4096}, std::size_t{3000}}) {
        const auto result = decodeJpeg(Bytes(whole.data(), cut));
        const Picture* picture = pictureOf(result, "cut at " + std::to_string(cut));
        if (picture == nullptr) continue;
        EXPECT_EQ(picture->width, 160);
        EXPECT_EQ(picture->height, 120);
        // The first 8 rows come from data well before any of these cuts.
        const std::size_t topRows = 8 * 160 * 3;
        int worst = 0;
        for (std::size_t i = 0; i < topRows; ++i)
            worst = std::max(worst, std::abs(int{picture->pixels[i]} - int{reference.rgb[i]}));
        EXPECT_LE(worst, 1) << "cut at " << cut;
    }
    EXPECT_TRUE(fails(decodeJpeg(Bytes(whole.data(), 100)))) << "cut inside the headers";
}

TEST(JpegDecoder, RefusesWhatIsNoPicture) {
    Bytes8 garbage{0xFF, 0xD8, 0xFF};
    for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<std::uint8_t>(i * 131 + 7));
    const struct {
        const char* name;
        Bytes8 bytes;
    } cases[] = {
        {"empty data: the first fill finds nothing", {}},
        {"start and end markers only: no image", {0xFF, 0xD8, 0xFF, 0xD9}},
        {"garbage after the start marker", garbage},
        {"not a JPEG at all", {'B', 'M', 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_TRUE(fails(decodeJpeg(c.bytes))) << c.name;
}

// CMYK with an Adobe marker stores inverted values; without the marker the
// same numbers mean the opposite. Pillow's RGB conversion is the reference.
TEST(JpegDecoder, ConvertsCmykAsViewersDo) {
    const Bytes8 adobe = readFixture("pillow-cmyk-blocks-32x16.jpg");
    const auto result = decodeJpeg(adobe);
    const Picture* picture = pictureOf(result, "Adobe CMYK");
    ASSERT_NE(picture, nullptr);
    const int difference =
        core_fixtures::maxDifference(*picture, core_fixtures::readReference("pillow-cmyk-blocks-32x16.ppm"));
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, 2);
    const struct {
        int x, y;
        std::uint32_t rgb;
    } blocks[] = {{4, 4, 0xFF0000}, {12, 4, 0x00FF00}, {20, 4, 0x0000FF}, {28, 4, 0xFFFFFF}, {4, 12, 0x000000}, {28, 12, 0xFFFF00}};
    for (const auto& b : blocks) {
        const std::uint32_t have = pixelAt(*picture, b.x, b.y);
        for (const int shift : {16, 8, 0})
            EXPECT_NEAR(static_cast<int>((have >> shift) & 0xFF), static_cast<int>((b.rgb >> shift) & 0xFF), 12)
                << "block at (" << b.x << ", " << b.y << "): have " << std::hex << have << ", want " << b.rgb;
    }

    // The APP14 segment (bytes 2..17) removed: the stored K of 255 now means
    // full black ink, so every pixel is black.
    ASSERT_EQ(adobe[3], 0xEE);
    Bytes8 plain(adobe.begin(), adobe.begin() + 2);
    plain.insert(plain.end(), adobe.begin() + 18, adobe.end());
    const auto plainResult = decodeJpeg(plain);
    const Picture* plainPicture = pictureOf(plainResult, "CMYK without Adobe marker");
    ASSERT_NE(plainPicture, nullptr);
    EXPECT_LE(*std::max_element(plainPicture->pixels.begin(), plainPicture->pixels.end()), 8);
}

// Sizes from the frame header are checked before anything is allocated for
// them, and the library's own memory is capped: a progressive file keeps all
// its coefficients, 6 bytes a pixel without subsampling.
TEST(JpegDecoder, RefusesHostileSizes) {
    largestAllocation = 0;
    const auto huge = decodeJpeg(progressiveWithSize(65000, 65000));
    ASSERT_TRUE(fails(huge));
    EXPECT_EQ(std::get<Failure>(huge).kind, FailureKind::TooLarge);
    EXPECT_LT(largestAllocation, 64u * 1024);

    // 11000 × 10000: 330 MB of pixels is within the limit, but 660 MB of
    // coefficients is over the library's cap.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(fails(decodeJpeg(progressiveWithSize(11000, 10000))));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Each progressive scan is a pass over every coefficient, so a file of
// hundreds of scans is refused rather than decoded at length.
TEST(JpegDecoder, StopsEndlessScans) {
    const Bytes8 base = readFixture("pillow-progressive-444-32x16.jpg");
    ASSERT_FALSE(fails(decodeJpeg(base)));
    // The fixture's last scan: its SOS marker at byte 539 up to the end marker.
    constexpr std::size_t lastScan = 539;
    ASSERT_EQ(base[lastScan + 1], 0xDA);
    Bytes8 many(base.begin(), base.end() - 2);
    for (int i = 0; i < 600; ++i) many.insert(many.end(), base.begin() + lastScan, base.end() - 2);
    many.insert(many.end(), {0xFF, 0xD9});
    EXPECT_TRUE(fails(decodeJpeg(many)));
}

}  // namespace

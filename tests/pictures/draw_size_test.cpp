// Pictures loaded for a known drawing size: JPEGs decoded at a reduced DCT
// scale, and a file whose bytes have not changed reusing the last decode.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core_fixtures.h"
#include "pictures/decoders.h"
#include "pictures/picture.h"

namespace {

using core_fixtures::fixturePath;
using core_fixtures::readFixture;
using pictures::DrawSizeHint;
using pictures::Picture;

// The card's photo area.
constexpr DrawSizeHint kPhotoArea{60, 65};

Picture decoded(const std::vector<std::uint8_t>& bytes, DrawSizeHint hint) {
    auto result = pictures::decodeJpeg(pictures::Bytes(bytes), hint);
    if (auto* picture = std::get_if<Picture>(&result)) return std::move(*picture);
    ADD_FAILURE() << "the JPEG did not decode";
    return {};
}

// Area averaging to width × height: every source pixel counts with the part
// of it that falls inside the target pixel. What an averaging stretch does.
std::vector<double> averagedDown(const Picture& picture, int width, int height) {
    std::vector<double> out(std::size_t(width) * std::size_t(height) * 3, 0.0);
    const double sx = double(picture.width) / width, sy = double(picture.height) / height;
    for (int ty = 0; ty < height; ++ty) {
        for (int tx = 0; tx < width; ++tx) {
            const double x0 = tx * sx, x1 = (tx + 1) * sx, y0 = ty * sy, y1 = (ty + 1) * sy;
            std::array<double, 3> sum{};
            double weight = 0;
            for (int y = int(y0); y < int(std::ceil(y1)); ++y) {
                const double wy = std::min(y1, y + 1.0) - std::max(y0, double(y));
                for (int x = int(x0); x < int(std::ceil(x1)); ++x) {
                    const double w = wy * (std::min(x1, x + 1.0) - std::max(x0, double(x)));
                    const std::uint8_t* p = &picture.pixels[(std::size_t(y) * std::size_t(picture.width) + std::size_t(x)) * 3];
                    for (int c = 0; c < 3; ++c) sum[size_t(c)] += w * p[c];
                    weight += w;
                }
            }
            for (int c = 0; c < 3; ++c) out[(std::size_t(ty) * std::size_t(width) + std::size_t(tx)) * 3 + std::size_t(c)] = sum[size_t(c)] / weight;
        }
    }
    return out;
}

TEST(ReducedScaleJpeg, PicksTheSmallestScaleKeepingTwiceTheDrawnSize) {
    // pillow-flower.jpg is 480 × 360; libjpeg's scales n/8 give ceil(480n/8) × ceil(360n/8).
    struct Case {
        const char* what;
        DrawSizeHint hint;
        int width, height;
    };
    const Case cases[] = {
        {"photo area 60 × 65 needs 120 × 130: 3/8", kPhotoArea, 180, 135},
        {"tiny: 1/8 is enough", {30, 20}, 60, 45},
        {"exactly twice at 2/8", {60, 45}, 120, 90},
        {"one pixel more than 2/8 allows: 3/8", {61, 45}, 180, 135},
        {"height decides: 7/8", {10, 150}, 420, 315},
        {"more than half the picture: full size", {241, 10}, 480, 360},
        {"no hint: full size", {}, 480, 360},
        {"half a hint counts as none", {60, 0}, 480, 360},
    };
    const auto bytes = readFixture("pillow-flower.jpg");
    for (const Case& c : cases) {
        const Picture picture = decoded(bytes, c.hint);
        EXPECT_EQ(picture.width, c.width) << c.what;
        EXPECT_EQ(picture.height, c.height) << c.what;
        EXPECT_EQ(picture.pixels.size(), std::size_t(c.width) * std::size_t(c.height) * 3) << c.what;
    }
}

// The drawn photo from a reduced decode against a full decode averaged down
// to the same 60 × 65. Tolerance: a mean difference of at most 1 level (of
// 255) and no sample more than 8 levels away; the fixtures measure about 0.5
// and 6. A wrong scale, shifted rows or swapped channels break these bounds
// by far.
TEST(ReducedScaleJpeg, DrawsLikeAFullDecodeAveragedDown) {
    struct Case {
        const char* fixture;
        int width, height;  // the reduced decode
    };
    const Case cases[] = {
        {"pillow-flower.jpg", 180, 135},           // baseline 4:2:0, 3/8
        {"imagers-progressive-cat.jpg", 200, 150}, // progressive, 5/8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        const auto bytes = readFixture(c.fixture);
        const Picture full = decoded(bytes, {});
        const Picture reduced = decoded(bytes, kPhotoArea);
        ASSERT_EQ(reduced.width, c.width);
        ASSERT_EQ(reduced.height, c.height);
        const auto want = averagedDown(full, kPhotoArea.width, kPhotoArea.height);
        const auto have = averagedDown(reduced, kPhotoArea.width, kPhotoArea.height);
        double total = 0, worst = 0;
        for (std::size_t i = 0; i < want.size(); ++i) {
            const double d = std::abs(want[i] - have[i]);
            total += d;
            worst = std::max(worst, d);
        }
        const double mean = total / double(want.size());
        EXPECT_LE(mean, 1.0) << "mean difference " << mean;
        EXPECT_LE(worst, 8.0) << "largest difference " << worst;
    }
}

class DecodeReuse : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("draw_size_test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = folder_ / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }

    // Loads, copies the pixels out and unloads, as a redraw does.
    std::vector<std::uint8_t> loadPixels(const std::string& path, DrawSizeHint hint) {
        const pictures::PictureHandle handle = pictures::loadPicture(path, hint);
        EXPECT_NE(handle, 0) << path;
        const Picture* picture = pictures::findPicture(handle);
        std::vector<std::uint8_t> pixels = picture ? picture->pixels : std::vector<std::uint8_t>{};
        pictures::unloadPicture(handle);
        return pixels;
    }

    std::filesystem::path folder_;
};

// A 2 × 1 24-bit BMP whose left pixel is (r, 0, 0) and right one black.
std::vector<std::uint8_t> twoPixelBmp(std::uint8_t red) {
    std::vector<std::uint8_t> b(62, 0);
    b[0] = 'B';
    b[1] = 'M';
    b[2] = 62;   // file size
    b[10] = 54;  // pixel data offset
    b[14] = 40;  // information header size
    b[18] = 2;   // width
    b[22] = 1;   // height
    b[26] = 1;   // planes
    b[28] = 24;  // bits per pixel
    b[54 + 2] = red;  // the row: blue, green, red of each pixel, then 2 bytes of padding
    return b;
}

TEST_F(DecodeReuse, IdenticalBytesAreDecodedOnce) {
    const std::string path = write("photo.jpg", readFixture("pillow-flower.jpg"));
    const auto before = pictures::fileDecodeCounts();
    const auto first = loadPixels(path, kPhotoArea);
    const auto second = loadPixels(path, kPhotoArea);
    const auto after = pictures::fileDecodeCounts();
    EXPECT_EQ(after.decoded - before.decoded, 1u);
    EXPECT_EQ(after.reused - before.reused, 1u);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.size(), 180u * 135u * 3u);

    // The same bytes under another name are the same picture; another hint is not.
    const std::string copy = write("copy.jpg", readFixture("pillow-flower.jpg"));
    EXPECT_EQ(loadPixels(copy, kPhotoArea), first);
    EXPECT_EQ(loadPixels(copy, {30, 20}).size(), 60u * 45u * 3u);
    const auto last = pictures::fileDecodeCounts();
    EXPECT_EQ(last.reused - after.reused, 1u);
    EXPECT_EQ(last.decoded - after.decoded, 1u);
}

TEST_F(DecodeReuse, AChangedFileShowsItsNewContentEvenWithTheSameSizeAndTime) {
    const std::string path = write("photo.bmp", twoPixelBmp(200));
    const auto stamp = std::filesystem::last_write_time(path);
    ASSERT_EQ(loadPixels(path, kPhotoArea)[0], 200);

    write("photo.bmp", twoPixelBmp(100));  // same length, one byte different
    std::filesystem::last_write_time(path, stamp);
    const auto before = pictures::fileDecodeCounts();
    EXPECT_EQ(loadPixels(path, kPhotoArea)[0], 100);
    EXPECT_EQ(pictures::fileDecodeCounts().decoded - before.decoded, 1u);

    // A file that no longer loads gives 0, and the last good decode is not handed out for it.
    write("photo.bmp", {'B', 'M', 0, 0});
    EXPECT_EQ(pictures::loadPicture(path, kPhotoArea), 0);
    std::filesystem::remove(path);
    EXPECT_EQ(pictures::loadPicture(path, kPhotoArea), 0);
}

TEST_F(DecodeReuse, AReusedPictureIsACopyOwnedByItsHandle) {
    const std::string path = write("photo.bmp", twoPixelBmp(7));
    const pictures::PictureHandle a = pictures::loadPicture(path, kPhotoArea);
    const pictures::PictureHandle b = pictures::loadPicture(path, kPhotoArea);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    pictures::unloadPicture(a);
    ASSERT_NE(pictures::findPicture(b), nullptr);
    EXPECT_EQ(pictures::findPicture(b)->pixels[0], 7);
    pictures::unloadPicture(b);
}

}  // namespace

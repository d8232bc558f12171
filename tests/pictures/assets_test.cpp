// The carried pictures: their exact BMP form, and the layout the card
// composer relies on (white photo area and blanks, labels where the written
// texts expect them, the gradient frame, the brown pair differing only in the
// seal). Pixels are read straight from the BMP bytes here, so a fault in the
// BMP decoder cannot hide a fault in the artwork or the other way round.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <span>
#include <string>
#include <vector>

#include "pictures/assets.h"

namespace pictures {
namespace {

std::uint32_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return le16(bytes, at) | le16(bytes, at + 2) << 16;
}

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
    bool white() const { return r == 255 && g == 255 && b == 255; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

bool near(const Rgb& have, const Rgb& want, int tolerance) {
    return std::abs(have.r - want.r) <= tolerance && std::abs(have.g - want.g) <= tolerance &&
           std::abs(have.b - want.b) <= tolerance;
}

// A 24-bit bottom-up BMP read by hand; its header is checked separately.
class Pixels {
public:
    explicit Pixels(std::span<const std::uint8_t> bytes)
        : bytes_(bytes), width_(static_cast<int>(le32(bytes, 18))), height_(static_cast<int>(le32(bytes, 22))) {}

    Rgb at(int x, int y) const {
        const auto rowSize = static_cast<std::size_t>((width_ * 3 + 3) / 4 * 4);
        const std::size_t offset =
            54 + static_cast<std::size_t>(height_ - 1 - y) * rowSize + static_cast<std::size_t>(x) * 3;
        return {bytes_[offset + 2], bytes_[offset + 1], bytes_[offset]};
    }

private:
    std::span<const std::uint8_t> bytes_;
    int width_;
    int height_;
};

// Inclusive pixel rectangle.
struct Box {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

constexpr Box kPhotoArea{324, 15, 384, 80};
constexpr Box kSealBox{292, 169, 383, 260};
constexpr Box kPanel{210, 9, 389, 268};

struct Template {
    const char* name;
    int number;
    Rgb top, middle, bottom;
    std::vector<int> paragraphLineTops;
};

const std::vector<Template>& templates() {
    static const std::vector<Template> all{
        {"blue", 1, {0x4D, 0xA2, 0xD3}, {0x29, 0x80, 0xC9}, {0x07, 0x60, 0xBF}, {107, 123, 140, 157, 174}},
        {"purple", 2, {0xD0, 0x6F, 0xFF}, {0x9D, 0x39, 0xCE}, {0x6B, 0x05, 0x9D}, {107, 123, 140, 157, 174}},
        {"brown-a", 3, {0xB2, 0x51, 0x26}, {0x8F, 0x43, 0x20}, {0x6E, 0x35, 0x1B}, {107, 123, 140, 157}},
        {"brown-b", 4, {0xB2, 0x51, 0x26}, {0x8F, 0x43, 0x20}, {0x6E, 0x35, 0x1B}, {107, 123, 140, 157}},
    };
    return all;
}

// The first pixel in the box failing the test, as text; empty if none.
template <typename Test>
std::string firstFailing(const Pixels& pixels, const Box& box, Test passes, const Box* skip = nullptr) {
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (!(skip && skip->contains(x, y)) && !passes(pixels.at(x, y))) {
                std::ostringstream out;
                out << "(" << x << "," << y << ") is " << pixels.at(x, y);
                return out.str();
            }
    return {};
}

std::string firstNonWhite(const Pixels& pixels, const Box& box, const Box* skip = nullptr) {
    return firstFailing(pixels, box, [](const Rgb& c) { return c.white(); }, skip);
}

// Where print lies in the window: the columns of every pixel that is not
// pure white, and the rows holding solid ink (anti-aliasing may leave a
// nearly invisible row just above or below a line of text). left > right
// when the window is blank.
Box inkIn(const Pixels& pixels, const Box& window) {
    Box ink{window.right + 1, window.bottom + 1, window.left - 1, window.top - 1};
    for (int y = window.top; y <= window.bottom; ++y)
        for (int x = window.left; x <= window.right; ++x) {
            const Rgb c = pixels.at(x, y);
            if (c.white()) continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            if (std::min({c.r, c.g, c.b}) < 0xA0) {
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    return ink;
}

TEST(CarriedPictures, HaveTheExactBmpForm) {
    struct Row {
        const char* name;
        std::span<const std::uint8_t> bytes;
        std::uint32_t width, height, length;
    };
    const Row rows[] = {
        {"blue", templatePicture(1), 400, 280, 336054},
        {"purple", templatePicture(2), 400, 280, 336054},
        {"brown-a", templatePicture(3), 400, 280, 336054},
        {"brown-b", templatePicture(4), 400, 280, 336054},
        {"default photo", defaultPhoto(), 60, 70, 12654},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(row.bytes.size(), row.length);
        EXPECT_EQ(row.bytes[0], 'B');
        EXPECT_EQ(row.bytes[1], 'M');
        EXPECT_EQ(le32(row.bytes, 2), row.length) << "file-size field";
        EXPECT_EQ(le32(row.bytes, 6), 0u) << "reserved words";
        EXPECT_EQ(le32(row.bytes, 10), 54u) << "pixel offset";
        EXPECT_EQ(le32(row.bytes, 14), 40u) << "information header size";
        EXPECT_EQ(le32(row.bytes, 18), row.width);
        EXPECT_EQ(le32(row.bytes, 22), row.height) << "positive: bottom row first";
        EXPECT_EQ(le16(row.bytes, 26), 1u) << "planes";
        EXPECT_EQ(le16(row.bytes, 28), 24u) << "bits per pixel";
        EXPECT_EQ(le32(row.bytes, 30), 0u) << "compression";
        EXPECT_EQ(le32(row.bytes, 34), row.width * 3 * row.height) << "image size (rows need no padding)";
        EXPECT_EQ(le32(row.bytes, 38), 2834u) << "horizontal pixels per metre";
        EXPECT_EQ(le32(row.bytes, 42), 2834u) << "vertical pixels per metre";
        EXPECT_EQ(le32(row.bytes, 46), 0u) << "colours used";
        EXPECT_EQ(le32(row.bytes, 50), 0u) << "important colours";
    }
    EXPECT_TRUE(templatePicture(0).empty());
    EXPECT_TRUE(templatePicture(5).empty());
}

TEST(Templates, LeaveWhiteWhereTheCardIsWritten) {
    struct Row {
        const char* what;
        Box box;
    };
    // Places the composer writes on or must keep clear, minus the seal's
    // box: the seal's ink may lie over a blank, as a stamp does.
    const Row rows[] = {
        {"photo area", kPhotoArea},
        {"name, sex and age blanks", {245, 17, 323, 63}},
        {"space between the age line and the paragraph", {213, 66, 385, 104}},
        {"name blank in the paragraph", {290, 107, 362, 122}},
        {"space left of the validity line", {213, 190, 291, 238}},
        {"issue-year blank", {278, 239, 313, 253}},
        {"below the date line", {213, 256, 385, 265}},
    };
    for (const Template& t : templates()) {
        const Pixels pixels(templatePicture(t.number));
        for (const Row& row : rows) {
            const Box* skip = row.box.contains(kPhotoArea.left, kPhotoArea.top) ? nullptr : &kSealBox;
            EXPECT_EQ(firstNonWhite(pixels, row.box, skip), "") << t.name << ": " << row.what;
        }
        // Blanks under the seal may be red, but never carry black print.
        const Row underSeal[] = {
            {"validity number blank", {355, 220, 373, 234}},
            {"issue-month blank", {325, 239, 344, 253}},
            {"issue-day blank", {353, 239, 375, 253}},
        };
        for (const Row& row : underSeal)
            EXPECT_EQ(firstFailing(pixels, row.box, [](const Rgb& c) { return c.r >= 120; }), "")
                << t.name << ": print in the " << row.what;
    }
}

TEST(Templates, PrintLabelsWhereTheWrittenTextsExpectThem) {
    struct Row {
        const char* what;
        Box window;  // searched for ink; holds nothing else
        Box want;    // first and last inked pixels
    };
    const Row rows[] = {
        {"name label", {211, 16, 244, 31}, {213, 18, 242, 28}},
        {"sex label", {211, 31, 244, 48}, {213, 34, 242, 44}},
        {"age label", {211, 48, 244, 65}, {213, 51, 242, 61}},
        {"paragraph before the name", {213, 100, 289, 121}, {229, 107, 289, 117}},
        {"paragraph after the name", {363, 100, 388, 121}, {363, 107, 385, 117}},
        {"issue-date label", {211, 238, 291, 254}, {224, 241, 277, 251}},
    };
    for (const Template& t : templates()) {
        const Pixels pixels(templatePicture(t.number));
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(t.name) + ": " + row.what);
            const Box ink = inkIn(pixels, row.window);
            EXPECT_EQ(ink.left, row.want.left);
            EXPECT_EQ(ink.top, row.want.top);
            EXPECT_EQ(ink.right, row.want.right);
            // Glyph feet differ by a row between characters.
            EXPECT_GE(ink.bottom, row.want.bottom - 1);
            EXPECT_LE(ink.bottom, row.want.bottom + 1);
        }
    }
}

TEST(Templates, ParagraphLinesStartOnTheirTops) {
    for (const Template& t : templates()) {
        const Pixels pixels(templatePicture(t.number));
        // Left of the seal, each line's ink starts exactly on its top; below
        // the last line the panel stays blank.
        for (std::size_t i = 1; i < t.paragraphLineTops.size(); ++i) {
            const int top = t.paragraphLineTops[i];
            const Box ink = inkIn(pixels, {213, top - 3, 291, top + 12});
            EXPECT_EQ(ink.top, top) << t.name << " line " << i + 1;
            EXPECT_EQ(ink.left, 213) << t.name << " line " << i + 1;
        }
        const int afterLast = t.paragraphLineTops.back() + 16;
        EXPECT_EQ(firstNonWhite(pixels, {213, afterLast, 291, 189}), "") << t.name << ": after the paragraph";
    }
}

TEST(Templates, BackgroundIsAVerticalGradientFramingTheWhitePanel) {
    for (const Template& t : templates()) {
        SCOPED_TRACE(t.name);
        const Pixels pixels(templatePicture(t.number));
        EXPECT_PRED3(near, pixels.at(5, 0), t.top, 2);
        EXPECT_PRED3(near, pixels.at(5, 139), t.middle, 2);
        EXPECT_PRED3(near, pixels.at(5, 140), t.middle, 2);
        EXPECT_PRED3(near, pixels.at(5, 279), t.bottom, 2);
        for (int y = 0; y < 280; ++y) {
            const Rgb ground = pixels.at(5, y);
            // The frame round the panel is the same gradient, row by row.
            ASSERT_EQ(pixels.at(205, y), ground) << "row " << y;
            ASSERT_EQ(pixels.at(395, y), ground) << "row " << y;
            if (y < kPanel.top || y > kPanel.bottom) {
                ASSERT_EQ(pixels.at(300, y), ground) << "row " << y;
            }
            // The groove: two light columns, then two dark ones.
            const auto sum = [](const Rgb& c) { return c.r + c.g + c.b; };
            ASSERT_GT(sum(pixels.at(198, y)), sum(ground)) << "row " << y;
            ASSERT_GT(sum(pixels.at(199, y)), sum(ground)) << "row " << y;
            ASSERT_LT(sum(pixels.at(200, y)), sum(ground)) << "row " << y;
            ASSERT_LT(sum(pixels.at(201, y)), sum(ground)) << "row " << y;
        }
        // The panel's straight edges are exact; its corners are rounded.
        EXPECT_TRUE(pixels.at(210, 139).white());
        EXPECT_TRUE(pixels.at(389, 139).white());
        EXPECT_TRUE(pixels.at(300, 9).white());
        EXPECT_TRUE(pixels.at(300, 268).white());
        EXPECT_FALSE(pixels.at(210, 9).white());
        EXPECT_FALSE(pixels.at(389, 268).white());
    }
}

TEST(Templates, SealIsRedInkInsideItsBox) {
    for (const Template& t : templates()) {
        const Pixels pixels(templatePicture(t.number));
        const Rgb star = pixels.at(338, 212);
        EXPECT_TRUE(star.r > 150 && star.g < 100 && star.b < 100) << t.name << ": star centre " << star;
        // The rest of the panel (inside its rounded corners) holds only
        // black print on white: no red.
        for (int y = kPanel.top + 3; y <= kPanel.bottom - 3; ++y)
            for (int x = kPanel.left + 3; x <= kPanel.right - 3; ++x) {
                const Rgb c = pixels.at(x, y);
                if (!kSealBox.contains(x, y) && c.r - c.b > 24) {
                    ADD_FAILURE() << t.name << ": red at (" << x << "," << y << ") outside the seal's box";
                    return;
                }
            }
    }
}

TEST(Templates, BrownPairDifferOnlyInsideTheSeal) {
    const auto a = templatePicture(3);
    const auto b = templatePicture(4);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 54, b.begin())) << "headers";
    const Pixels pa(a), pb(b);
    int differentInside = 0;
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 400; ++x) {
            const bool same = pa.at(x, y) == pb.at(x, y);
            if (kSealBox.contains(x, y)) differentInside += same ? 0 : 1;
            else ASSERT_TRUE(same) << "(" << x << "," << y << ") differs outside the seal";
        }
    EXPECT_GT(differentInside, 100) << "the seals' ring texts should differ";
}

TEST(DefaultPhoto, IsAGreySilhouetteOnLightGrey) {
    const Pixels photo(defaultPhoto());
    const Rgb background{0xEB, 0xEB, 0xEB}, figure{0x99, 0x99, 0x99};
    EXPECT_PRED3(near, photo.at(59, 0), background, 3);
    EXPECT_PRED3(near, photo.at(0, 45), background, 12);
    const Rgb corner = photo.at(0, 0);
    EXPECT_LT(corner.r, photo.at(59, 0).r) << "darker near the top-left corner";
    // Shoulders reach the bottom edge; the head sits above them.
    EXPECT_EQ(photo.at(30, 69), figure);
    EXPECT_EQ(photo.at(10, 69), figure);
    EXPECT_EQ(photo.at(20, 30), figure);
    // A light question mark on the face.
    int light = 0;
    for (int y = 20; y <= 42; ++y)
        for (int x = 24; x <= 36; ++x) light += photo.at(x, y).r > 0xC8 ? 1 : 0;
    EXPECT_GT(light, 20);
}

TEST(WindowIcon, IsAnOpaque32By32Png) {
    std::ifstream in(std::string(TESS_TEST_DATA) + "/../../pictures/assets/window-icon.png", std::ios::binary);
    const std::vector<std::uint8_t> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(png.size(), 33u);
    const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), png.begin()));
    const auto be32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
    };
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(be32(16), 32u);
    EXPECT_EQ(be32(20), 32u);
    EXPECT_EQ(png[24], 8) << "bit depth";
    EXPECT_EQ(png[25], 2) << "RGB without alpha, so no pixel can be transparent";
    EXPECT_EQ(png[28], 0) << "not interlaced";
}

}  // namespace
}  // namespace pictures

// Helpers shared by the GIF, icon and PCX decoder tests: reading fixture
// files, reading the binary PPMs that hold what other programs make of them,
// and a decoded picture as drawn onto white (the way picture-decode writes it).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "pictures/decode_result.h"
#include "pictures/flatten.h"

namespace pictures::testing {

inline std::vector<std::uint8_t> readFixture(const std::string& relative) {
    std::ifstream in(std::string(TESS_TEST_DATA) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing fixture " << relative;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom
};

// A binary PPM (P6, maxval 255) as written by ImageMagick and Pillow.
inline RgbImage readPpm(const std::string& relative) {
    const auto bytes = readFixture(relative);
    std::string text(bytes.begin(), bytes.end());
    std::istringstream header(text);
    std::string magic;
    int maxval = 0;
    RgbImage image;
    header >> magic >> image.width >> image.height >> maxval;
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(maxval, 255);
    const auto start = static_cast<std::size_t>(header.tellg()) + 1;  // one whitespace byte
    image.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    EXPECT_EQ(image.rgb.size(), static_cast<std::size_t>(image.width * image.height * 3));
    return image;
}

// The picture as drawn at natural size over white: alpha blends over white,
// 1-bit PCX shows 0 black and 1 white.
inline RgbImage drawnOverWhite(const Picture& picture) {
    const auto rgba = flattenPicture(picture, Rgb{0, 0, 0}, Rgb{255, 255, 255});
    RgbImage image{picture.width, picture.height, {}};
    for (const auto& p : rgba)
        for (const std::uint8_t c : {p.r, p.g, p.b})
            image.rgb.push_back(static_cast<std::uint8_t>((c * p.a + 255 * (255 - p.a) + 127) / 255));
    return image;
}

inline const Picture& picture(const DecodeResult& result) {
    static const Picture empty;
    if (const auto* failure = std::get_if<Failure>(&result)) {
        ADD_FAILURE() << "decode failed: " << failure->reason;
        return empty;
    }
    return std::get<Picture>(result);
}

// Counts differing channels, reporting the first mismatching pixel.
inline ::testing::AssertionResult samePixels(const RgbImage& have, const RgbImage& want) {
    if (have.width != want.width || have.height != want.height)
        return ::testing::AssertionFailure() << "have " << have.width << "x" << have.height << ", want "
                                             << want.width << "x" << want.height;
    for (std::size_t i = 0; i < want.rgb.size() && i < have.rgb.size(); ++i)
        if (have.rgb[i] != want.rgb[i]) {
            const std::size_t pixel = i / 3;
            return ::testing::AssertionFailure()
                   << "pixel (" << pixel % static_cast<std::size_t>(want.width) << ", "
                   << pixel / static_cast<std::size_t>(want.width) << ") channel " << i % 3 << ": have "
                   << int{have.rgb[i]} << ", want " << int{want.rgb[i]};
        }
    return ::testing::AssertionSuccess();
}

}  // namespace pictures::testing

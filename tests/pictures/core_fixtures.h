// Helpers for the registry, BMP and JPEG tests: fixture files, the binary
// PPM/PGM files that hold what a reference decoder made of them, and pixel
// probes on decoded pictures.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "pictures/decode_result.h"

namespace core_fixtures {

inline std::string fixturePath(const std::string& name) { return std::string(TESS_TEST_DATA) + "/pictures/" + name; }

inline std::vector<std::uint8_t> readFixture(const std::string& name) {
    std::ifstream in(fixturePath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing fixture " << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A reference image: width × height RGB, rows top to bottom.
struct Reference {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Binary PPM (P6) or PGM (P5, grey widened to RGB) with maxval 255 and no comments.
inline Reference readReference(const std::string& name) {
    const auto bytes = readFixture(name);
    std::string text(bytes.begin(), bytes.end());
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    Reference ref;
    in >> magic >> ref.width >> ref.height >> maxval;
    in.get();  // the single whitespace byte before the samples
    EXPECT_TRUE((magic == "P6" || magic == "P5") && maxval == 255) << name;
    const auto start = static_cast<std::size_t>(in.tellg());
    const auto count = static_cast<std::size_t>(ref.width) * static_cast<std::size_t>(ref.height);
    const std::size_t channels = magic == "P6" ? 3 : 1;
    EXPECT_EQ(bytes.size(), start + count * channels) << name;
    if (bytes.size() != start + count * channels) return ref;
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < 3; ++c) ref.rgb.push_back(bytes[start + i * channels + (channels == 3 ? c : 0)]);
    return ref;
}

// The decoded picture, or a test failure naming the failure kind.
inline const pictures::Picture* pictureOf(const pictures::DecodeResult& result, const std::string& name) {
    if (const auto* failure = std::get_if<pictures::Failure>(&result)) {
        ADD_FAILURE() << name << ": have failure " << static_cast<int>(failure->kind) << " (" << failure->reason
                      << "), want a picture";
        return nullptr;
    }
    return &std::get<pictures::Picture>(result);
}

// 0xRRGGBB of an RGB picture's pixel.
inline std::uint32_t pixelAt(const pictures::Picture& picture, int x, int y) {
    const auto at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)) * 3;
    return (std::uint32_t{picture.pixels[at]} << 16) | (std::uint32_t{picture.pixels[at + 1]} << 8) |
           picture.pixels[at + 2];
}

// Largest per-sample difference from the reference; -1 when the sizes differ.
inline int maxDifference(const pictures::Picture& picture, const Reference& ref) {
    if (picture.width != ref.width || picture.height != ref.height || picture.pixels.size() != ref.rgb.size()) return -1;
    int worst = 0;
    for (std::size_t i = 0; i < ref.rgb.size(); ++i)
        worst = std::max(worst, std::abs(int{picture.pixels[i]} - int{ref.rgb[i]}));
    return worst;
}

}  // namespace core_fixtures

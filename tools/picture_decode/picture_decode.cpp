// picture-decode FILE [OUT.ppm]
//
// Decodes FILE as the tool would and prints "KIND WIDTH HEIGHT". Given OUT,
// also writes the picture as drawn at its natural size onto a white surface,
// as a binary PPM (P6): icon transparency blends over white, a GIF's screen
// outside its image is black, and 1-bit PCX shows its 0 bits black and its 1
// bits white. Exits 1 with a one-line reason on stderr when FILE does not load.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "pictures/decoders.h"
#include "pictures/flatten.h"

namespace {

int failWith(const std::string& reason) {
    std::cerr << "picture-decode: " << reason << '\n';
    return 1;
}

std::uint8_t overWhite(std::uint8_t channel, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

bool writePpm(const std::string& path, const pictures::Picture& picture) {
    const auto rgba = pictures::flattenPicture(picture, pictures::Rgb{0, 0, 0}, pictures::Rgb{255, 255, 255});
    std::vector<char> bytes;
    const std::string header =
        "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    bytes.reserve(header.size() + rgba.size() * 3);
    bytes.insert(bytes.end(), header.begin(), header.end());
    for (const auto& p : rgba) {
        bytes.push_back(static_cast<char>(overWhite(p.r, p.a)));
        bytes.push_back(static_cast<char>(overWhite(p.g, p.a)));
        bytes.push_back(static_cast<char>(overWhite(p.b, p.a)));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) return failWith("usage: picture-decode FILE [OUT.ppm]");
    const std::string path = argv[1];
    std::ifstream in(path, std::ios::binary);
    if (!in) return failWith(path + ": cannot be opened for reading");
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return failWith(path + ": cannot be read");

    auto result = pictures::decodePicture(data);
    if (const auto* failure = std::get_if<pictures::Failure>(&result))
        return failWith(path + ": " + (failure->reason.empty() ? "not a picture" : failure->reason));
    const auto& picture = std::get<pictures::Picture>(result);
    std::cout << pictures::kindName(picture.kind) << ' ' << picture.width << ' ' << picture.height << '\n';
    if (argc == 3 && !writePpm(argv[2], picture)) return failWith(std::string(argv[2]) + ": cannot be written");
    return 0;
}

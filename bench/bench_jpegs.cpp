#include "bench_jpegs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

namespace bench {

namespace {

// Smooth light and colour gradients with a few soft blobs, plus fine noise:
// the noise keeps the high-frequency coefficients busy, as sensor noise and
// texture do in a real photo, so the entropy decoder has a realistic load.
void fillRow(std::vector<JSAMPLE>& row, int y, int width, int height, std::uint32_t& seed) {
    const double fy = double(y) / height;
    for (int x = 0; x < width; ++x) {
        const double fx = double(x) / width;
        const double blob = std::sin(fx * 9.0 + fy * 4.0) * std::cos(fy * 7.0 - fx * 3.0);
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const int noise = int(seed % 25) - 12;
        const double base[3] = {90 + 80 * fx + 40 * blob, 70 + 60 * fy + 50 * blob, 120 - 50 * fx + 30 * fy};
        for (int c = 0; c < 3; ++c) {
            const int v = int(base[c]) + noise;
            row[size_t(x) * 3 + size_t(c)] = JSAMPLE(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
}

std::vector<unsigned char> compress(int width, int height, JpegMode mode) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);  // a failure here ends the benchmark, which is what we want
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (mode == JpegMode::Progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 3);
    std::uint32_t seed = 2463534242u;
    while (cinfo.next_scanline < cinfo.image_height) {
        fillRow(row, int(cinfo.next_scanline), width, height, seed);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    const auto partial = path.string() + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + partial);
    }
    std::filesystem::rename(partial, path);
}

}  // namespace

std::string benchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path folder =
        std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / ("tessivanev-bench-" + std::to_string(getuid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string benchJpeg(int width, int height, JpegMode mode, int variant) {
    const std::string stem = std::to_string(width) + "x" + std::to_string(height) +
                             (mode == JpegMode::Progressive ? "-progressive" : "-baseline") + "-v1";
    const std::filesystem::path folder = benchFolder();
    const auto path = folder / (stem + (variant == 0 ? "" : "-b") + ".jpg");
    if (std::filesystem::exists(path)) return path.string();

    const auto first = folder / (stem + ".jpg");
    const auto second = folder / (stem + "-b.jpg");
    const std::vector<unsigned char> bytes = compress(width, height, mode);
    writeFile(first, bytes);
    // The same stream with a comment segment (COM, 0xFFFE) right after SOI.
    const std::string comment = "second copy";
    const std::size_t length = comment.size() + 2;
    std::vector<unsigned char> other;
    other.reserve(bytes.size() + 4 + comment.size());
    other.push_back(bytes[0]);
    other.push_back(bytes[1]);
    for (unsigned b : {0xFFu, 0xFEu, unsigned(length >> 8), unsigned(length & 0xFF)}) other.push_back(static_cast<unsigned char>(b));
    for (char c : comment) other.push_back(static_cast<unsigned char>(c));
    for (std::size_t i = 2; i < bytes.size(); ++i) other.push_back(bytes[i]);
    writeFile(second, other);
    return path.string();
}

}  // namespace bench

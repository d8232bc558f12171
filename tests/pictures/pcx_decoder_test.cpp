// PCX: the run rule, lines and their padding, the 8-bit colour table, 1-bit
// pixels, and the cases that must fail.
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

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Header {
    std::uint8_t version = 5;
    std::uint8_t bits = 8;
    std::uint8_t planes = 1;
    unsigned xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    unsigned bytesPerLine = 0;
    std::uint8_t encoding = 1;
};

ByteVector header(const Header& h) {
    ByteVector out(128, 0);
    out[0] = 0x0A;
    out[1] = h.version;
    out[2] = h.encoding;
    out[3] = h.bits;
    const unsigned corners[] = {h.xmin, h.ymin, h.xmax, h.ymax};
    for (std::size_t i = 0; i < 4; ++i) {
        out[4 + 2 * i] = static_cast<std::uint8_t>(corners[i] & 0xFF);
        out[5 + 2 * i] = static_cast<std::uint8_t>(corners[i] >> 8);
    }
    out[65] = h.planes;
    out[66] = static_cast<std::uint8_t>(h.bytesPerLine & 0xFF);
    out[67] = static_cast<std::uint8_t>(h.bytesPerLine >> 8);
    return out;
}

// An 8-bit picture width × height with bytesPerLine bytes a line.
ByteVector pcx8(unsigned width, unsigned height, unsigned bytesPerLine) {
    return header({5, 8, 1, 0, 0, width - 1, height - 1, bytesPerLine});
}
ByteVector pcx1(unsigned width, unsigned height, unsigned bytesPerLine) {
    return header({3, 1, 1, 0, 0, width - 1, height - 1, bytesPerLine});
}

// Marker and 256 entries: entry i is {i, 255 - i, 7}.
ByteVector colourTable() {
    ByteVector out{0x0C};
    for (unsigned i = 0; i < 256; ++i) out.insert(out.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7});
    return out;
}

TEST(PcxDecoder, Decodes) {
    struct Row {
        const char* name;
        ByteVector file;
        PictureKind kind;
        int width, height;
        ByteVector pixels;
    };
    const std::vector<Row> rows = {
        {"0xC0 is a literal, 0xC1 a run of one, 0xC3 a run of three; the padding byte is dropped",
         pcx8(5, 1, 6) + ByteVector{0xC0, 0xC1, 0x05, 0xC3, 0x07, 0x09} + colourTable(), PictureKind::Pcx8, 5, 1,
         {0xC0, 0x05, 0x07, 0x07, 0x07}},
        {"a run crossing a line end carries on into the next line",
         pcx8(2, 2, 2) + ByteVector{0xC3, 0x01, 0x02} + colourTable(), PictureKind::Pcx8, 2, 2, {1, 1, 1, 2}},
        {"a run over the padding and on into the next line",
         pcx8(2, 2, 3) + ByteVector{0x04, 0xC3, 0x05, 0x06, 0x00} + colourTable(), PictureKind::Pcx8, 2, 2, {4, 5, 5, 6}},
        {"a run beyond the last line is cut at the image end",
         pcx8(1, 1, 1) + ByteVector{0xC9, 0x03} + colourTable(), PictureKind::Pcx8, 1, 1, {3}},
        {"width and height from a window not at 0, 0",
         header({5, 8, 1, 10, 20, 12, 21, 4}) + ByteVector{0xC8, 0x02} + colourTable(), PictureKind::Pcx8, 3, 2,
         {2, 2, 2, 2, 2, 2}},
        {"colour table found 769 bytes before the end after padded image data",
         pcx8(1, 1, 1) + ByteVector{0x08, 0x00, 0x00} + colourTable(), PictureKind::Pcx8, 1, 1, {8}},
        {"1-bit: the first width bits of each line, high bit first",
         pcx1(10, 2, 2) + ByteVector{0xA5, 0xC0, 0xC2, 0xFF}, PictureKind::Pcx1, 10, 2,
         {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"1-bit data ending early: the rest stays 0", pcx1(3, 2, 2) + ByteVector{0xC1, 0xFF, 0x00}, PictureKind::Pcx1, 3, 2,
         {1, 1, 1, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = decodePcx(row.file);
        const Picture& p = picture(result);
        EXPECT_EQ(p.kind, row.kind);
        EXPECT_EQ(p.width, row.width);
        EXPECT_EQ(p.height, row.height);
        EXPECT_EQ(p.pixels, row.pixels);
        if (row.kind == PictureKind::Pcx8) {
            EXPECT_EQ(p.palette[0xC0], (Rgb{0xC0, 0x3F, 7}));
        }
    }
}

TEST(PcxDecoder, Rejects) {
    const ByteVector line{0xC2, 0x01};
    ByteVector notPcx = pcx8(2, 1, 2) + line + colourTable();
    notPcx[0] = 0x0B;
    struct Row {
        const char* name;
        ByteVector file;
        FailureKind kind;
    };
    const std::vector<Row> rows = {
        {"128 bytes", pcx8(2, 1, 2), FailureKind::Truncated},
        {"first byte not 0x0A", notPcx, FailureKind::Malformed},
        {"encoding 0", header({5, 8, 1, 0, 0, 1, 0, 2, 0}) + line + colourTable(), FailureKind::Unsupported},
        {"xmax below xmin (no 16-bit wrap)", header({5, 8, 1, 5, 0, 4, 0, 2}) + line + colourTable(), FailureKind::Malformed},
        {"ymax below ymin", header({5, 8, 1, 0, 1, 1, 0, 2}) + line + colourTable(), FailureKind::Malformed},
        {"8 bits, 3 planes", header({5, 8, 3, 0, 0, 1, 0, 2}) + line + line + line + colourTable(), FailureKind::Unsupported},
        {"1 bit, 4 planes", header({3, 1, 4, 0, 0, 1, 0, 1}) + line, FailureKind::Unsupported},
        {"4 bits", header({5, 4, 1, 0, 0, 1, 0, 1}) + line, FailureKind::Unsupported},
        {"1 bit, version 5", header({5, 1, 1, 0, 0, 1, 0, 1}) + line, FailureKind::Unsupported},
        {"8 bits, version 6", header({6, 8, 1, 0, 0, 1, 0, 2}) + line + colourTable(), FailureKind::Unsupported},
        {"bytes per line below the width", pcx8(3, 1, 2) + line + colourTable(), FailureKind::Malformed},
        {"1-bit bytes per line below the width", pcx1(9, 1, 1) + line, FailureKind::Malformed},
        {"8-bit data ending before the last line", pcx8(2, 3, 2) + line, FailureKind::Truncated},
        {"8-bit run value missing", pcx8(2, 1, 2) + ByteVector{0xC2}, FailureKind::Truncated},
        {"colour table marker missing", pcx8(2, 1, 2) + line + ByteVector(769, 0x0B), FailureKind::Malformed},
        {"colour table cut short", pcx8(2, 1, 2) + line + ByteVector{0x0C, 1, 2, 3}, FailureKind::Malformed},
        {"65535 × 65535 declared", header({5, 8, 1, 0, 0, 65534, 65534, 65535}) + line, FailureKind::TooLarge},
        {"1-bit 65536 × 65536 declared", header({3, 1, 1, 0, 0, 65535, 65535, 8192}) + line, FailureKind::TooLarge},
    };
    for (const auto& row : rows) {
        const auto started = std::chrono::steady_clock::now();
        const auto result = decodePcx(row.file);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100)) << row.name;
        const auto* failure = std::get_if<Failure>(&result);
        ASSERT_NE(failure, nullptr) << row.name << ": decoded, want a failure";
        EXPECT_EQ(failure->kind, row.kind) << row.name << ": " << failure->reason;
    }
}

TEST(PcxDecoder, MatchesWhatOtherProgramsRead) {
    // 1-bit files are drawn with 0 black and 1 white, as Pillow shows them.
    const std::vector<std::pair<const char*, const char*>> files = {
        {"pictures/pcx/imagemagick-palette.pcx", "pictures/pcx/imagemagick-palette.ppm"},
        {"pictures/pcx/pillow-pattern.pcx", "pictures/pcx/pillow-pattern-pcx.ppm"},
        {"pictures/pcx/pillow-mono-v3.pcx", "pictures/pcx/pillow-mono-v3.ppm"},
    };
    for (const auto& [file, expected] : files) {
        SCOPED_TRACE(file);
        const auto result = decodePcx(testing::readFixture(file));
        EXPECT_TRUE(testing::samePixels(testing::drawnOverWhite(picture(result)), testing::readPpm(expected)));
    }
}

}  // namespace
}  // namespace pictures

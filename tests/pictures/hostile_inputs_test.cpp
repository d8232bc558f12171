// Hostile pictures: files built to break decoders. Each row loads or fails as
// the loader promises, and does so quickly and within the pixel budget. The
// whole binary counts what operator new hands out, so a row that allocates
// more than the budget (or anything large for a file it should refuse up
// front) is caught even when the allocation happens to succeed; the same
// counter injects allocation failures to show that running out of memory
// anywhere in a load gives 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "pictures/limits.h"
#include "pictures/picture.h"

// ---- Counting operator new ---------------------------------------------------
// Every block carries its size in a 16-byte prefix (which keeps malloc's
// alignment), so delete knows what to give back.
namespace {

struct AllocationCounter {
    std::size_t live = 0;
    std::size_t peak = 0;
    long failCountdown = 0;  // > 0: the allocation that brings it to 0 throws
    long allocations = 0;
};
AllocationCounter counter;

constexpr std::size_t kPrefix = 16;

void* countedNew(std::size_t size) {
    if (counter.failCountdown > 0 && --counter.failCountdown == 0) throw std::bad_alloc();
    auto* block = static_cast<unsigned char*>(std::malloc(size + kPrefix));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    counter.live += size;
    counter.peak = std::max(counter.peak, counter.live);
    ++counter.allocations;
    return block + kPrefix;
}

void countedDelete(void* pointer) noexcept {
    if (!pointer) return;
    auto* block = static_cast<unsigned char*>(pointer) - kPrefix;
    counter.live -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return countedNew(size); }
void* operator new[](std::size_t size) { return countedNew(size); }
void operator delete(void* pointer) noexcept { countedDelete(pointer); }
void operator delete[](void* pointer) noexcept { countedDelete(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { countedDelete(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { countedDelete(pointer); }

namespace {

using pictures::kMaxPixelBytes;
using pictures::Picture;
using pictures::PictureHandle;
using pictures::PictureKind;
using Data = std::vector<std::uint8_t>;

// A row must finish well inside this even in the sanitizer build.
constexpr auto kRowTimeLimit = std::chrono::milliseconds(1000);
// What a load may allocate beyond the picture itself: buffers, tables.
constexpr std::size_t kWorkingSlack = 4u << 20;
// What a refused giant may allocate: it must be refused before its pixels.
constexpr std::size_t kRefusedGiantLimit = 1u << 20;

// ---- Byte building -------------------------------------------------------------
void add16(Data& d, std::uint32_t v) {
    d.push_back(static_cast<std::uint8_t>(v));
    d.push_back(static_cast<std::uint8_t>(v >> 8));
}
void add32(Data& d, std::uint32_t v) {
    add16(d, v & 0xFFFF);
    add16(d, v >> 16);
}
void set16(Data& d, std::size_t at, std::uint32_t v) {
    d.at(at) = static_cast<std::uint8_t>(v);
    d.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void set32(Data& d, std::size_t at, std::uint32_t v) {
    set16(d, at, v & 0xFFFF);
    set16(d, at + 2, v >> 16);
}
void append(Data& d, const Data& more) { d.insert(d.end(), more.begin(), more.end()); }
Data pattern(std::size_t count, unsigned seed = 0) {
    Data d(count);
    for (std::size_t i = 0; i < count; ++i) d[i] = static_cast<std::uint8_t>(i * 37 + seed);
    return d;
}
Data indicesBelow4(std::size_t count) {
    Data d(count);
    for (std::size_t i = 0; i < count; ++i) d[i] = static_cast<std::uint8_t>(i * 7 % 4);
    return d;
}
Data prefix(const Data& d, std::size_t length) { return Data(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(length)); }
std::uint32_t u32(std::int64_t v) { return static_cast<std::uint32_t>(v); }

// BMP: 14-byte file header, 40-byte information header, table, pixels.
struct Bmp {
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::int64_t tableEntries = -1;  // -1: what the header announces
    std::int64_t pixelBytes = -1;    // -1: every row, padded
    std::int64_t offset = -1;        // -1: right after the table
    Data pixels{};                   // used instead of the pattern when given

    Data build() const {
        const std::int64_t entries =
            tableEntries >= 0 ? tableEntries : (bits <= 8 ? (coloursUsed ? coloursUsed : 1 << bits) : 0);
        const std::int64_t w = width < 0 ? -std::int64_t{width} : width;
        const std::int64_t h = height < 0 ? -std::int64_t{height} : height;
        const std::int64_t stride = (w * bits + 31) / 32 * 4;
        const Data rows = !pixels.empty() ? pixels : pattern(static_cast<std::size_t>(pixelBytes >= 0 ? pixelBytes : stride * h));
        const std::int64_t dataOffset = offset >= 0 ? offset : 54 + 4 * entries;
        Data d{'B', 'M'};
        add32(d, u32(dataOffset + static_cast<std::int64_t>(rows.size())));
        add32(d, 0);
        add32(d, u32(dataOffset));
        add32(d, 40);
        add32(d, u32(width));
        add32(d, u32(height));
        add16(d, 1);
        add16(d, bits);
        add32(d, compression);
        add32(d, u32(static_cast<std::int64_t>(rows.size())));
        add32(d, 2834);
        add32(d, 2834);
        add32(d, coloursUsed);
        add32(d, 0);
        for (std::int64_t i = 0; i < entries; ++i) append(d, {static_cast<std::uint8_t>(i), 0x80, static_cast<std::uint8_t>(255 - i), 0});
        // A gap before the pixels, when the offset is one a file could have.
        if (dataOffset < (1 << 20)) d.resize(std::max(d.size(), static_cast<std::size_t>(dataOffset)), 0);
        append(d, rows);
        return d;
    }
};

// GIF: header, tables, extensions, one image whose codes are packed with the
// code width a decoder will be using at each point.
Data packLzw(unsigned minimum, const std::vector<unsigned>& codes) {
    const unsigned clear = 1u << minimum, end = clear + 1;
    unsigned width = minimum + 1, next = clear + 2;
    bool afterClear = true;
    Data bytes;
    std::uint32_t acc = 0;
    unsigned held = 0;
    for (unsigned code : codes) {
        acc |= code << held;
        held += width;
        while (held >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            held -= 8;
        }
        if (code == clear) {
            width = minimum + 1;
            next = clear + 2;
            afterClear = true;
            continue;
        }
        if (code == end) break;
        if (afterClear) {
            afterClear = false;
            continue;
        }
        if (next < 4096 && ++next == (1u << width) && width < 12) ++width;
    }
    if (held) bytes.push_back(static_cast<std::uint8_t>(acc));
    Data blocks;
    for (std::size_t i = 0; i < bytes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, bytes.size() - i);
        blocks.push_back(static_cast<std::uint8_t>(n));
        blocks.insert(blocks.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                      bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    blocks.push_back(0);
    return blocks;
}

// Literal codes for the given indices, a clear code first.
std::vector<unsigned> literalCodes(unsigned minimum, const Data& indices) {
    std::vector<unsigned> codes{1u << minimum};
    for (auto v : indices) codes.push_back(v);
    codes.push_back((1u << minimum) + 1);
    return codes;
}

Data colourTable(unsigned entries) {
    Data t;
    for (unsigned i = 0; i < entries; ++i) append(t, {static_cast<std::uint8_t>(i * 40), static_cast<std::uint8_t>(255 - i), 7});
    return t;
}

unsigned tableSizeBits(unsigned entries) {  // entries = 2^(bits + 1)
    unsigned bits = 0;
    while ((2u << bits) < entries) ++bits;
    return bits;
}

struct Gif {
    std::uint16_t screenWidth = 4, screenHeight = 4;
    unsigned globalEntries = 4;  // 0: none
    std::uint16_t imageWidth = 4, imageHeight = 4;
    unsigned localEntries = 0;
    bool interlaced = false;
    std::uint8_t minimumCodeSize = 2;
    std::vector<unsigned> codes{};  // empty: literal codes of the pixel pattern
    std::optional<Data> imageData{};
    Data beforeImage{};

    Data build() const {
        Data d{'G', 'I', 'F', '8', '9', 'a'};
        add16(d, screenWidth);
        add16(d, screenHeight);
        d.push_back(globalEntries ? static_cast<std::uint8_t>(0x80 | tableSizeBits(globalEntries)) : 0);
        append(d, {0, 0});
        append(d, colourTable(globalEntries));
        append(d, beforeImage);
        d.push_back(0x2C);
        add32(d, 0);
        add16(d, imageWidth);
        add16(d, imageHeight);
        std::uint8_t flags = interlaced ? 0x40 : 0;
        if (localEntries) flags = static_cast<std::uint8_t>(flags | 0x80 | tableSizeBits(localEntries));
        d.push_back(flags);
        append(d, colourTable(localEntries));
        d.push_back(minimumCodeSize);
        if (imageData) {
            append(d, *imageData);
        } else {
            const bool literal = codes.empty();
            append(d, packLzw(minimumCodeSize, literal ? literalCodes(minimumCodeSize, indicesBelow4(std::size_t{imageWidth} * imageHeight)) : codes));
        }
        d.push_back(0x3B);
        return d;
    }
};

// Icons: a bitmap-form image (header height counts colours and mask), in a
// directory.
struct IconImage {
    std::int32_t width = 4;
    std::int32_t headerHeight = 8;
    std::uint16_t bits = 24;
    std::uint32_t coloursUsed = 0;
    std::int64_t tableEntries = -1;
    std::int64_t colourBytes = -1;
    std::int64_t maskBytes = -1;

    Data build() const {
        const std::int64_t entries =
            tableEntries >= 0 ? tableEntries : (bits <= 8 ? (coloursUsed ? coloursUsed : 1 << bits) : 0);
        const std::int64_t rows = std::max<std::int64_t>(headerHeight / 2, 0);
        const std::int64_t colourStride = (std::int64_t{width} * bits + 31) / 32 * 4;
        const std::int64_t maskStride = (std::int64_t{width} + 31) / 32 * 4;
        Data d;
        add32(d, 40);
        add32(d, u32(width));
        add32(d, u32(headerHeight));
        add16(d, 1);
        add16(d, bits);
        for (int i = 0; i < 4; ++i) add32(d, 0);
        add32(d, coloursUsed);
        add32(d, 0);
        for (std::int64_t i = 0; i < entries; ++i) append(d, {static_cast<std::uint8_t>(i), 0x40, 0x80, 0});
        append(d, pattern(static_cast<std::size_t>(colourBytes >= 0 ? colourBytes : colourStride * rows), 1));
        append(d, Data(static_cast<std::size_t>(maskBytes >= 0 ? maskBytes : maskStride * rows), 0x0F));
        return d;
    }
};

struct IconEntry {
    Data image{};
    std::uint8_t widthByte = 4;
    std::uint8_t colourCount = 0;
    std::optional<std::uint32_t> offset{};     // default: where the image is put
    std::optional<std::uint32_t> byteCount{};  // default: the image's length
};

Data iconFile(const std::vector<IconEntry>& entries, std::uint16_t type = 1,
              std::optional<std::uint16_t> count = std::nullopt) {
    Data d;
    add16(d, 0);
    add16(d, type);
    add16(d, count.value_or(static_cast<std::uint16_t>(entries.size())));
    std::uint32_t at = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const auto& e : entries) {
        append(d, {e.widthByte, e.widthByte, e.colourCount, 0});
        add16(d, 1);
        add16(d, 0);
        add32(d, e.byteCount.value_or(static_cast<std::uint32_t>(e.image.size())));
        add32(d, e.offset.value_or(at));
        at += static_cast<std::uint32_t>(e.image.size());
    }
    for (const auto& e : entries) append(d, e.image);
    return d;
}

Data icon(const IconImage& image) { return iconFile({IconEntry{.image = image.build()}}); }

// PCX: the 128-byte header, then run-length scan lines (and for 8 bits the
// 0x0C marker and a 768-byte table).
struct Pcx {
    std::uint8_t version = 5, bits = 8, planes = 1;
    std::uint16_t xmin = 0, ymin = 0, xmax = 3, ymax = 1, bytesPerLine = 4;
    std::optional<Data> body{};  // default: literal lines, then the table for 8 bits

    Data build() const {
        Data d{0x0A, version, 1, bits};
        add16(d, xmin);
        add16(d, ymin);
        add16(d, xmax);
        add16(d, ymax);
        d.resize(65, 0);
        d.push_back(planes);
        add16(d, bytesPerLine);
        d.resize(128, 0);
        if (body) {
            append(d, *body);
        } else {
            const std::size_t lines = std::size_t{ymax} - ymin + 1;
            for (std::size_t i = 0; i < lines * bytesPerLine; ++i) d.push_back(static_cast<std::uint8_t>(i % 0xC0));
            if (bits == 8) {
                d.push_back(0x0C);
                append(d, pattern(768, 3));
            }
        }
        return d;
    }
};

Data pcx8Table() {
    Data t{0x0C};
    append(t, pattern(768, 3));
    return t;
}

// JPEG: a 16 × 16 colour baseline file, patched where a row needs it.
Data jpegFixture() {
    std::ifstream in(TESS_TEST_DATA "/pictures/hostile/colour-16x16.jpg", std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), {});
}

// Offsets of the markers before the scan data: (marker, offset of its 0xFF).
std::vector<std::pair<std::uint8_t, std::size_t>> jpegMarkers(const Data& d) {
    std::vector<std::pair<std::uint8_t, std::size_t>> found;
    std::size_t i = 2;
    while (i + 3 < d.size() && d[i] == 0xFF) {
        found.emplace_back(d[i + 1], i);
        if (d[i + 1] == 0xDA) break;
        i += 2 + static_cast<std::size_t>(d[i + 2] << 8 | d[i + 3]);
    }
    return found;
}

std::size_t jpegMarkerAt(const Data& d, std::uint8_t marker) {
    for (auto [m, at] : jpegMarkers(d))
        if (m == marker) return at;
    ADD_FAILURE() << "marker missing from the fixture";
    return 0;
}

Data jpegWithSize(std::uint16_t width, std::uint16_t height) {
    Data d = jpegFixture();
    const std::size_t sof = jpegMarkerAt(d, 0xC0);
    d.at(sof + 5) = static_cast<std::uint8_t>(height >> 8);
    d.at(sof + 6) = static_cast<std::uint8_t>(height);
    d.at(sof + 7) = static_cast<std::uint8_t>(width >> 8);
    d.at(sof + 8) = static_cast<std::uint8_t>(width);
    return d;
}

// A progressive JPEG of the given size (4:2:0) whose DC scan and `scans` AC
// scans of the brightness carry no data at all: each scan costs a few bytes
// of header and a pass over every block of the picture.
Data progressiveJpegOfEmptyScans(std::uint16_t width, std::uint16_t height, int scans) {
    Data d{0xFF, 0xD8};
    auto segment = [&](std::uint8_t marker, const Data& payload) {
        append(d, {0xFF, marker, static_cast<std::uint8_t>((payload.size() + 2) >> 8), static_cast<std::uint8_t>(payload.size() + 2)});
        append(d, payload);
    };
    Data quantisation{0};
    quantisation.resize(65, 1);
    segment(0xDB, quantisation);
    segment(0xC2, {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(width >> 8),
                   static_cast<std::uint8_t>(width), 3, 1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0});
    Data oneSymbol(16, 0);
    oneSymbol[0] = 1;  // one code of length 1
    oneSymbol.push_back(0);
    Data dcTable{0x00}, acTable{0x10};
    append(dcTable, oneSymbol);
    append(acTable, oneSymbol);
    segment(0xC4, dcTable);
    segment(0xC4, acTable);
    segment(0xDA, {3, 1, 0, 2, 0, 3, 0, 0, 0, 0});
    for (int i = 0; i < scans; ++i) segment(0xDA, {1, 1, 0, 1, 63, 0});
    append(d, {0xFF, 0xD9});
    return d;
}

// ---- The table -----------------------------------------------------------------
enum class Outcome { Loads, Fails, Either };  // Either: the format leaves it open

struct Row {
    Row(std::string name_, Outcome outcome_, Data data_, std::function<void(const Picture&)> check_ = {},
        std::size_t peakLimit_ = kMaxPixelBytes + kWorkingSlack)
        : name(std::move(name_)), outcome(outcome_), data(std::move(data_)), check(std::move(check_)), peakLimit(peakLimit_) {}

    std::string name;
    Outcome outcome;
    Data data;
    std::function<void(const Picture&)> check;  // for rows that load
    std::size_t peakLimit;
};

// Failures name the row, not its bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

Row giant(std::string name, Data data) { return Row{std::move(name), Outcome::Fails, std::move(data), {}, kRefusedGiantLimit}; }

auto sized(PictureKind kind, int width, int height) {
    return [=](const Picture& p) {
        EXPECT_EQ(p.kind, kind);
        EXPECT_EQ(p.width, width);
        EXPECT_EQ(p.height, height);
    };
}

std::vector<Row> hostileRows() {
    constexpr std::int32_t kMinInt = INT32_MIN;
    std::vector<Row> rows;
    auto add = [&](Row row) { rows.push_back(std::move(row)); };

    // Header sizes whose products overflow 32 bits.
    add({"bmp_width_times_height_times_3_wraps_32_bits", Outcome::Fails, Bmp{.width = 0x10000, .height = 0x10000, .pixelBytes = 300}.build()});
    add({"bmp_row_bytes_wrap_32_bits", Outcome::Fails, Bmp{.width = 0x55555556, .height = 1, .pixelBytes = 300}.build()});
    add({"bmp_1bit_width_int32_max", Outcome::Fails, Bmp{.width = INT32_MAX, .height = 1, .bits = 1, .pixelBytes = 64}.build()});
    add({"bmp_colour_table_bytes_wrap_to_0", Outcome::Fails, Bmp{.bits = 8, .coloursUsed = 0x40000000, .tableEntries = 0, .offset = 54}.build()});
    add({"bmp_colours_used_uint32_max", Outcome::Fails, Bmp{.bits = 8, .coloursUsed = 0xFFFFFFFF, .tableEntries = 2, .offset = 62}.build()});
    add({"bmp_pixel_offset_uint32_max", Outcome::Fails, Bmp{.offset = 0xFFFFFFFF}.build()});
    add({"icon_offset_plus_byte_count_wraps_32_bits", Outcome::Fails,
         iconFile({IconEntry{.image = IconImage{}.build(), .offset = 0xFFFFFFF0u, .byteCount = 0x20}})});
    add({"icon_byte_count_uint32_max", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build(), .byteCount = 0xFFFFFFFFu}})});
    add({"icon_bitmap_width_int32_max", Outcome::Fails, icon(IconImage{.width = INT32_MAX, .headerHeight = 2, .colourBytes = 64, .maskBytes = 0})});

    // Negative and minimum-integer heights (and widths).
    add({"bmp_negative_height_is_top_down", Outcome::Loads,
         Bmp{.width = 1, .height = -2, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}}.build(), [](const Picture& p) {
             EXPECT_EQ(p.height, 2);
             EXPECT_EQ(p.pixels, (Data{3, 2, 1, 6, 5, 4}));  // first stored row on top
         }});
    add({"bmp_negative_width_loads_at_its_size", Outcome::Loads, Bmp{.width = -3, .height = 2}.build(), sized(PictureKind::Bmp, 3, 2)});
    add({"bmp_height_int32_min", Outcome::Fails, Bmp{.width = 1, .height = kMinInt, .pixelBytes = 64}.build()});
    add({"bmp_width_int32_min", Outcome::Fails, Bmp{.width = kMinInt, .height = 1, .pixelBytes = 64}.build()});
    add({"icon_header_height_int32_min", Outcome::Fails, icon(IconImage{.headerHeight = kMinInt, .colourBytes = 64, .maskBytes = 16})});
    add({"icon_header_height_negative", Outcome::Fails, icon(IconImage{.headerHeight = -8, .colourBytes = 48, .maskBytes = 16})});
    add({"pcx_ymax_below_ymin", Outcome::Fails, Pcx{.ymin = 5, .ymax = 4, .body = pattern(64)}.build()});
    add({"pcx_xmin_65535_xmax_0", Outcome::Fails, Pcx{.xmin = 0xFFFF, .xmax = 0, .body = pattern(64)}.build()});

    // Colour tables running past their data.
    add({"bmp_table_of_256_cut_after_40", Outcome::Fails, prefix(Bmp{.bits = 8}.build(), 54 + 160)});
    add({"bmp_table_past_pixel_offset", Outcome::Fails, Bmp{.bits = 1, .offset = 54}.build()});
    add({"bmp_table_of_1000_entries_fits_the_file", Outcome::Loads, Bmp{.bits = 8, .coloursUsed = 1000}.build(),
         sized(PictureKind::Bmp, 4, 2)});
    add({"gif_global_table_past_the_end", Outcome::Fails, prefix(Gif{.globalEntries = 256}.build(), 13 + 300)});
    add({"gif_global_table_exactly_to_the_end", Outcome::Fails, prefix(Gif{.globalEntries = 256}.build(), 13 + 768)});
    add({"gif_local_table_past_the_end", Outcome::Fails, prefix(Gif{.globalEntries = 0, .localEntries = 256}.build(), 13 + 10 + 100)});
    add({"icon_colour_table_past_the_image", Outcome::Fails,
         iconFile({IconEntry{.image = IconImage{.bits = 8}.build(), .byteCount = 40 + 100}})});
    add({"icon_colour_table_over_256", Outcome::Either, icon(IconImage{.bits = 8, .coloursUsed = 100000, .tableEntries = 300})});
    add({"pcx8_table_cut_short", Outcome::Fails, prefix(Pcx{}.build(), 128 + 8 + 1 + 300)});

    // Palette indices beyond the table the file gives.
    add({"bmp_8bit_indices_beyond_a_2_entry_table", Outcome::Loads,
         Bmp{.width = 4, .height = 1, .bits = 8, .coloursUsed = 2, .pixels = {0, 1, 2, 255}}.build(), [](const Picture& p) {
             ASSERT_EQ(p.pixels.size(), 12u);
             EXPECT_EQ(p.pixels[3], 254);  // entry 1: red 254, green 0x80, blue 1
         }});
    add({"bmp_1bit_index_1_with_a_1_entry_table", Outcome::Loads,
         Bmp{.width = 8, .height = 1, .bits = 1, .coloursUsed = 1, .pixels = {0xAA, 0, 0, 0}}.build(), sized(PictureKind::Bmp, 8, 1)});
    add({"gif_indices_beyond_a_4_entry_table", Outcome::Loads,
         Gif{.imageWidth = 2, .imageHeight = 2, .minimumCodeSize = 8, .codes = {256, 0, 200, 255, 3, 257}}.build(),
         [](const Picture& p) {
             EXPECT_EQ(p.pixels, (Data{0, 200, 255, 3}));
             EXPECT_EQ(p.palette[200], pictures::Rgb{});
         }});
    add({"gif_without_any_colour_table", Outcome::Loads, Gif{.globalEntries = 0}.build(), sized(PictureKind::Gif, 4, 4)});
    add({"icon_4bit_indices_beyond_a_3_entry_table", Outcome::Loads,
         icon(IconImage{.width = 8, .headerHeight = 16, .bits = 4, .coloursUsed = 3}), sized(PictureKind::Icon, 8, 8)});

    // LZW codes that are not yet defined, and chains that would run long.
    add({"gif_first_code_above_clear_plus_2", Outcome::Fails, Gif{.codes = {4, 7, 5}}.build()});
    add({"gif_code_beyond_the_next_free", Outcome::Fails, Gif{.codes = {4, 1, 7, 5}}.build()});
    add({"gif_code_for_the_entry_being_defined", Outcome::Loads, Gif{.imageWidth = 3, .imageHeight = 1, .codes = {4, 1, 6, 5}}.build(),
         [](const Picture& p) { EXPECT_EQ(p.pixels, (Data{1, 1, 1})); }});
    add({"gif_end_code_right_after_clear", Outcome::Either, Gif{.codes = {4, 5}}.build()});
    add({"gif_data_end_before_the_end_code", Outcome::Either, Gif{.codes = {4, 1, 2}}.build()});
    add({"gif_minimum_code_size_0", Outcome::Either, Gif{.minimumCodeSize = 0, .imageData = Data{2, 0x55, 0x55, 0}}.build()});
    add({"gif_minimum_code_size_12", Outcome::Either, Gif{.minimumCodeSize = 12, .imageData = Data{2, 0x00, 0x10, 0}}.build()});
    {
        // Every code names the longest chain the table holds, thousands of
        // pixels each, for a 1 × 1 image: decoding must stop when it is full.
        std::vector<unsigned> codes{4, 0};
        for (unsigned c = 6; c < 4096; ++c) codes.push_back(c);
        codes.insert(codes.end(), 40000, 4095);
        add({"gif_long_chains_for_a_1x1_image", Outcome::Loads, Gif{.imageWidth = 1, .imageHeight = 1, .codes = codes}.build(),
             sized(PictureKind::Gif, 4, 4)});
        add({"gif_long_chains_past_the_full_table", Outcome::Either,
             Gif{.screenWidth = 200, .screenHeight = 200, .imageWidth = 200, .imageHeight = 200, .codes = codes}.build()});
    }
    add({"gif_more_pixels_than_the_image", Outcome::Loads,
         Gif{.imageWidth = 2, .imageHeight = 1, .codes = literalCodes(2, indicesBelow4(5000))}.build(), sized(PictureKind::Gif, 4, 4)});

    // Progressive JPEG scans that carry nothing but still cost a pass each.
    add({"jpeg_a_few_empty_scans", Outcome::Loads, progressiveJpegOfEmptyScans(64, 48, 9), sized(PictureKind::Jpeg, 64, 48)});
    add({"jpeg_a_hundred_empty_scans", Outcome::Fails, progressiveJpegOfEmptyScans(1000, 1000, 100)});

    // Runs crossing line ends, and lines that do not fit the width.
    add({"pcx8_runs_cross_every_line_end", Outcome::Either,
         Pcx{.xmax = 5, .ymax = 3, .bytesPerLine = 6, .body = [] { Data b{0xC9, 1, 0xC9, 2, 0xC6, 3}; append(b, pcx8Table()); return b; }()}.build()});
    add({"pcx8_one_run_longer_than_the_image", Outcome::Either,
         Pcx{.body = [] { Data b{0xFF, 9}; append(b, pcx8Table()); return b; }()}.build()});
    add({"pcx8_bytes_per_line_below_the_width", Outcome::Either, Pcx{.xmax = 63, .ymax = 3, .bytesPerLine = 2}.build()});
    add({"pcx1_bytes_per_line_0", Outcome::Either, Pcx{.version = 3, .bits = 1, .xmax = 15, .ymax = 3, .bytesPerLine = 0, .body = pattern(40)}.build()});
    add({"pcx1_bytes_per_line_65535_data_tiny", Outcome::Either,
         Pcx{.version = 3, .bits = 1, .xmax = 7, .ymax = 0xFFFE, .bytesPerLine = 0xFFFF, .body = Data(200, 0xFF)}.build()});
    add({"pcx8_c0_is_a_literal", Outcome::Loads,
         Pcx{.xmax = 1, .ymax = 0, .bytesPerLine = 2, .body = [] { Data b{0xC0, 0xC1, 0xC0}; append(b, pcx8Table()); return b; }()}.build(),
         [](const Picture& p) { EXPECT_EQ(p.pixels, (Data{0xC0, 0xC0})); }});
    add({"pcx_two_planes_of_1_bit", Outcome::Fails, Pcx{.version = 3, .bits = 1, .planes = 2, .body = pattern(64)}.build()});

    // Directory entries pointing outside the file.
    add({"icon_entry_offset_past_the_end", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build(), .offset = 5000}})});
    add({"icon_entry_runs_past_the_end", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build(), .byteCount = 5000}})});
    add({"icon_entry_points_into_the_directory", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build(), .offset = 2}})});
    add({"icon_65535_entries_in_a_short_file", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build()}}, 1, 0xFFFF)});
    add({"icon_zero_entries", Outcome::Fails, iconFile({IconEntry{.image = IconImage{}.build()}}, 1, 0)});
    add({"icon_chosen_32_pixel_entry_outside_the_file", Outcome::Fails,
         iconFile({IconEntry{.image = IconImage{}.build()},
                   IconEntry{.image = IconImage{}.build(), .widthByte = 32, .colourCount = 16, .offset = 0x7FFFFFFF}})});

    // Zero and odd icon heights.
    add({"icon_header_height_0", Outcome::Fails, icon(IconImage{.headerHeight = 0, .colourBytes = 16, .maskBytes = 16})});
    add({"icon_header_height_1", Outcome::Fails, icon(IconImage{.headerHeight = 1, .colourBytes = 16, .maskBytes = 16})});
    add({"icon_odd_header_height_drops_the_extra_row", Outcome::Loads, icon(IconImage{.width = 8, .headerHeight = 17}),
         sized(PictureKind::Icon, 8, 8)});
    add({"icon_width_0", Outcome::Fails, icon(IconImage{.width = 0, .headerHeight = 8, .colourBytes = 16, .maskBytes = 16})});
    add({"cursor_odd_header_height", Outcome::Loads, iconFile({IconEntry{.image = IconImage{.width = 5, .headerHeight = 7}.build()}}, 2),
         sized(PictureKind::Cursor, 5, 3)});

    // Declared sizes of 65535 × 65535 in a few hundred bytes: refused before
    // anything the size of the picture is allocated.
    rows.push_back(giant("giant_bmp_24bit", Bmp{.width = 0xFFFF, .height = 0xFFFF, .pixelBytes = 200}.build()));
    rows.push_back(giant("giant_bmp_1bit", Bmp{.width = 0xFFFF, .height = 0xFFFF, .bits = 1, .pixelBytes = 200}.build()));
    rows.push_back(giant("giant_bmp_top_down", Bmp{.width = 0xFFFF, .height = -0xFFFF, .pixelBytes = 200}.build()));
    // 65500 is the most the JPEG library takes; beyond, it refuses by itself.
    rows.push_back(giant("giant_jpeg_65500", jpegWithSize(65500, 65500)));
    rows.push_back(giant("giant_jpeg_65535", jpegWithSize(0xFFFF, 0xFFFF)));
    rows.push_back(giant("giant_gif_image", Gif{.screenWidth = 1, .screenHeight = 1, .imageWidth = 0xFFFF, .imageHeight = 0xFFFF,
                                                .codes = {4, 1, 2, 3, 5}}.build()));
    rows.push_back(giant("giant_gif_screen", Gif{.screenWidth = 0xFFFF, .screenHeight = 0xFFFF}.build()));
    rows.push_back(giant("giant_icon", icon(IconImage{.width = 0xFFFF, .headerHeight = 2 * 0xFFFF, .colourBytes = 200, .maskBytes = 0})));
    rows.push_back(giant("giant_icon_1bit", icon(IconImage{.width = 0xFFFF, .headerHeight = 2 * 0xFFFF, .bits = 1, .colourBytes = 200, .maskBytes = 0})));
    rows.push_back(giant("giant_pcx8", Pcx{.xmax = 0xFFFE, .ymax = 0xFFFE, .bytesPerLine = 0xFFFF, .body = Data(200, 0xFF)}.build()));
    rows.push_back(giant("giant_pcx1", Pcx{.version = 3, .bits = 1, .xmax = 0xFFFE, .ymax = 0xFFFE, .bytesPerLine = 0x2000,
                                           .body = Data(200, 0xFF)}.build()));
    return rows;
}

// Truncation at every header boundary of one small valid file of each kind.
// Cuts within the header and tables fail; cuts within coded image data are
// decided by each format's rule.
std::vector<Row> truncationRows() {
    std::vector<Row> rows;
    auto cuts = [&](const std::string& kind, const Data& whole, std::initializer_list<std::size_t> failing,
                    std::initializer_list<std::size_t> open = {}) {
        for (auto n : failing) rows.push_back({kind + "_cut_at_" + std::to_string(n), Outcome::Fails, prefix(whole, n)});
        for (auto n : open) rows.push_back({kind + "_cut_at_" + std::to_string(n), Outcome::Either, prefix(whole, n)});
    };
    // 8-bit BMP, 4 × 2 pixels: file header fields, information header
    // fields, table, pixel rows (8 bytes padded to 4 each: 4 + 4).
    cuts("bmp", Bmp{.bits = 8}.build(), {1, 2, 6, 10, 14, 18, 22, 26, 28, 30, 34, 46, 50, 53, 54, 58, 54 + 1023, 1078, 1080, 1083, 1085});
    // GIF with a 4-entry global table and a 4 × 4 image.
    const Data gif = Gif{}.build();
    cuts("gif", gif, {6, 8, 10, 13, 14, 13 + 11, 13 + 12, 26, 28, 34, 35}, {36, 37, 38});
    // Icon: 6-byte header, one 16-byte entry, then the 4-bit image: bitmap
    // header, 16-entry table, colours, mask. Past the directory the entry's
    // byte count is cut as well, so each cut reaches the image decoder.
    const Data ico = icon(IconImage{.bits = 4});
    cuts("icon", ico, {2, 4, 6, 14, 21, 22});
    for (std::size_t n : std::initializer_list<std::size_t>{40 + 20, 40 + 39, 40, 40 + 63, 40 + 64, 40 + 64 + 15, 40 + 64 + 16, 40 + 64 + 16 + 15}) {
        Data cut = prefix(ico, 22 + n);
        set32(cut, 14, static_cast<std::uint32_t>(n));
        rows.push_back({"icon_image_cut_at_" + std::to_string(n), Outcome::Fails, cut});
    }
    // PCX: the 128-byte header, scan lines, marker, table.
    cuts("pcx8", Pcx{}.build(), {1, 4, 12, 64, 66, 127, 128, 129, 128 + 7, 128 + 8, 128 + 9, 128 + 9 + 767});
    cuts("pcx1", Pcx{.version = 3, .bits = 1, .xmax = 15, .bytesPerLine = 2}.build(), {1, 66, 127, 128}, {129, 130, 131});
    // JPEG: inside and at the end of every marker segment before the scan
    // fails; a stream cut in its scan data decodes at full size.
    const Data jpeg = jpegFixture();
    for (auto [marker, at] : jpegMarkers(jpeg)) {
        const std::string name = "jpeg_cut_in_marker_" + std::to_string(marker) + "_at_" + std::to_string(at);
        rows.push_back({name, Outcome::Fails, prefix(jpeg, at + 3)});
        if (marker != 0xDA) rows.push_back({name + "_end", Outcome::Fails, prefix(jpeg, at + 2 + static_cast<std::size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]))});
    }
    const std::size_t scan = jpegMarkerAt(jpeg, 0xDA) + 14;
    rows.push_back({"jpeg_cut_in_scan_data", Outcome::Loads, prefix(jpeg, scan + 40), sized(PictureKind::Jpeg, 16, 16)});
    rows.push_back({"jpeg_cut_before_end_marker", Outcome::Loads, prefix(jpeg, jpeg.size() - 2), sized(PictureKind::Jpeg, 16, 16)});
    return rows;
}

struct LoadRun {
    PictureHandle handle = 0;
    std::size_t peak = 0;
    std::chrono::steady_clock::duration took{};
};

LoadRun measuredLoad(const Data& data) {
    LoadRun run;
    const std::size_t before = counter.live;
    counter.peak = counter.live;
    const auto start = std::chrono::steady_clock::now();
    run.handle = pictures::loadPicture(data.data(), static_cast<std::int64_t>(data.size()));
    run.took = std::chrono::steady_clock::now() - start;
    run.peak = counter.peak - before;
    return run;
}

class HostileInput : public testing::TestWithParam<Row> {};

TEST_P(HostileInput, LoadsOrFailsQuicklyWithinTheBudget) {
    const Row& row = GetParam();
    ASSERT_FALSE(row.data.empty());
    const LoadRun run = measuredLoad(row.data);
    const Picture* picture = pictures::findPicture(run.handle);

    EXPECT_LT(run.took, kRowTimeLimit);
    EXPECT_LE(run.peak, row.peakLimit);
    if (row.outcome == Outcome::Fails) {
        EXPECT_EQ(run.handle, 0);
    } else if (row.outcome == Outcome::Loads) {
        EXPECT_NE(run.handle, 0);
    }
    if (run.handle != 0) {
        ASSERT_NE(picture, nullptr);
        EXPECT_GT(picture->width, 0);
        EXPECT_GT(picture->height, 0);
        EXPECT_TRUE(pictures::checkedPixelBytes(picture->width, picture->height, 3)) << "beyond the pixel budget";
        if (row.check) row.check(*picture);
    } else {
        EXPECT_EQ(picture, nullptr);
    }
    pictures::unloadPicture(run.handle);
}

std::string rowName(const testing::TestParamInfo<Row>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Classes, HostileInput, testing::ValuesIn(hostileRows()), rowName);
INSTANTIATE_TEST_SUITE_P(Truncation, HostileInput, testing::ValuesIn(truncationRows()), rowName);

// ---- Allocation failures ---------------------------------------------------------
// For a small valid file of each kind, every allocation of a load fails in
// turn. Each attempt gives 0 or a complete picture (never an exception through
// loadPicture, which would end the program), and nothing stays registered or
// leaks (the sanitizer build checks leaks at exit).
// A file holding `data` for as long as it lives.
struct TemporaryFile {
    TemporaryFile(const Data& data, const std::string& name)
        : path(std::filesystem::temp_directory_path() / ("tess-hostile-" + std::to_string(::getpid()) + "-" + name)) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    ~TemporaryFile() { std::filesystem::remove(path); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    std::filesystem::path path;
};

TEST(HostileAllocation, EveryFailedAllocationGivesZero) {
    const std::vector<std::pair<std::string, Data>> files{
        {"bmp", Bmp{.bits = 8}.build()},
        {"jpeg", jpegFixture()},
        {"gif", Gif{.interlaced = true}.build()},
        {"icon", icon(IconImage{.bits = 4})},
        {"pcx8", Pcx{}.build()},
        {"pcx1", Pcx{.version = 3, .bits = 1, .xmax = 15, .bytesPerLine = 2}.build()},
    };
    for (const auto& sample : files) {
        const std::string& name = sample.first;
        const Data& data = sample.second;
        const TemporaryFile file(data, name);
        const std::string pathText = file.path.string();
        for (const bool fromPath : {false, true}) {
            SCOPED_TRACE(name + (fromPath ? " from a path" : " from bytes"));
            auto load = [&] {
                return fromPath ? pictures::loadPicture(pathText)
                                : pictures::loadPicture(data.data(), static_cast<std::int64_t>(data.size()));
            };
            const long before = counter.allocations;
            const PictureHandle whole = load();
            const long needed = counter.allocations - before;
            ASSERT_NE(whole, 0);
            pictures::unloadPicture(whole);
            ASSERT_GT(needed, 0);
            for (long failing = 1; failing <= needed; ++failing) {
                counter.failCountdown = failing;
                const PictureHandle handle = load();
                const bool injected = counter.failCountdown == 0;
                counter.failCountdown = 0;
                if (injected) {
                    EXPECT_EQ(handle, 0) << "allocation " << failing << " of " << needed << " failed but the load went on";
                }
                pictures::unloadPicture(handle);
            }
        }
    }
}

// ---- Inputs the fuzzers found ------------------------------------------------------
// Every crashing input ever found is kept in tests/data/pictures/crashes/ and
// loaded here, from its bytes and from its path, which must agree. Some are
// legal pictures of several megapixels declared in a few bytes, so the time
// allowed is that of decoding such a picture, not of refusing a header.
constexpr auto kFindingTimeLimit = std::chrono::seconds(5);
TEST(FuzzFindings, EveryKeptInputLoadsOrFailsCleanly) {
    const std::filesystem::path folder = TESS_TEST_DATA "/pictures/crashes";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no fuzzer findings kept";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const Data data((std::istreambuf_iterator<char>(in)), {});
        const LoadRun run = measuredLoad(data);
        EXPECT_LT(run.took, kFindingTimeLimit);
        EXPECT_LE(run.peak, kMaxPixelBytes + kWorkingSlack);
        const PictureHandle fromPath = pictures::loadPicture(entry.path().string());
        EXPECT_EQ(fromPath == 0, run.handle == 0);
        const Picture* a = pictures::findPicture(run.handle);
        const Picture* b = pictures::findPicture(fromPath);
        if (a && b) {
            EXPECT_EQ(a->kind, b->kind);
            EXPECT_EQ(a->pixels, b->pixels);
        }
        pictures::unloadPicture(run.handle);
        pictures::unloadPicture(fromPath);
        ++seen;
    }
    if (seen == 0) GTEST_SKIP() << "no fuzzer findings kept";
}

}  // namespace

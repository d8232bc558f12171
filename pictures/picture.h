// Picture handles: the one way the rest of the tool gets at decoded pictures.
//
// A picture is decoded completely when it is loaded and lives in a registry
// until it is unloaded. Handles are opaque non-zero integers; 0 is never a
// valid handle and is the result of every failed load. The format is found
// from the first six bytes of the data, never from a file name.
//
// Plain C++ with no toolkit: this library is fuzzed on its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

using PictureHandle = std::int32_t;

enum class PictureKind : std::uint8_t { Jpeg, Bmp, Icon, Cursor, Gif, Pcx8, Pcx1 };

const char* kindName(PictureKind kind) noexcept;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A decoded picture. How `pixels` is laid out depends on the kind; rows are
// always stored top to bottom, pixels left to right, with no padding.
//   Jpeg, Bmp      width × height × 3 bytes: red, green, blue.
//   Icon, Cursor   width × height × 4 bytes: red, green, blue, alpha. Alpha is
//                  0 where the icon's mask is set (transparent) and 255 where
//                  it is clear; 32-bit icons carry their own alpha.
//   Gif            imageWidth × imageHeight colour indices of the first image;
//                  `palette` holds the colour table in use (entries beyond the
//                  table the file gives are black). width × height is the
//                  logical screen; the image sits at its top-left corner.
//   Pcx8           width × height colour indices into `palette`.
//   Pcx1           width × height bytes, each 0 or 1.
struct Picture {
    PictureKind kind = PictureKind::Bmp;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t imageWidth = 0;   // Gif only
    std::int32_t imageHeight = 0;  // Gif only
    std::vector<std::uint8_t> pixels;
    std::array<Rgb, 256> palette{};
};

// How large the caller will draw a picture, when it knows. A JPEG is then
// decoded at a reduced DCT scale (1/8 to 7/8) that still keeps at least twice
// this size in both directions, so a picture drawn at this size is still an
// average of source pixels; its Picture has the reduced size and is meant to
// be drawn only at the hinted size. Other kinds ignore the hint. 0 × 0, the
// default, asks for the natural size.
struct DrawSizeHint {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const DrawSizeHint&, const DrawSizeHint&) = default;
};

// Loads a picture from a complete file image held in memory. The bytes are
// read in place and not kept. A length of 0 or less gives 0 at once.
PictureHandle loadPicture(const std::uint8_t* bytes, std::int64_t length) noexcept;

// Loads a picture from a file. An empty path gives 0 without touching any
// file. The path is used as it is (UTF-8 on this platform).
PictureHandle loadPicture(const std::string& path) noexcept;

// The same for pictures from memory and from files that will be drawn at a
// known size (see DrawSizeHint).
PictureHandle loadPicture(const std::uint8_t* bytes, std::int64_t length, const DrawSizeHint& hint) noexcept;

// For a file, the whole file is read at every call, so a changed file shows
// its new content at once, whatever its size or time stamp. When the bytes
// read are identical, byte for byte, to those of the last file decoded by
// this overload with the same hint, a copy of that decode is registered
// instead of decoding again. Only that last decode is kept, and only when
// both the file and its decoded pixels are within kMaxRememberedFileBytes;
// larger ones are decoded every time.
PictureHandle loadPicture(const std::string& path, const DrawSizeHint& hint) noexcept;

inline constexpr std::uint64_t kMaxRememberedFileBytes = 64ull * 1024 * 1024;

// How many hinted file loads decoded their file and how many reused the last
// decode, since the program started. For tests and benchmarks.
struct FileDecodeCounts {
    std::uint64_t decoded = 0;
    std::uint64_t reused = 0;
};
FileDecodeCounts fileDecodeCounts() noexcept;

// Removes the handle from the registry and frees its picture; does nothing
// for 0, a stale handle or one never issued.
void unloadPicture(PictureHandle handle) noexcept;

bool isPictureLoaded(PictureHandle handle) noexcept;

// The picture behind a live handle, or nullptr. The pointer stays valid until
// the handle is unloaded.
const Picture* findPicture(PictureHandle handle) noexcept;

}  // namespace pictures

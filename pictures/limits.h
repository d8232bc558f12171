// Resource bounds shared by every decoder. Header values are hostile until
// checked against these, before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pictures {

// The most memory the pixels of one picture may claim. A 100-megapixel photo
// at 3 bytes a pixel needs 300 MB and still loads; a header that declares
// more is refused up front instead of attempting a multi-gigabyte allocation.
inline constexpr std::uint64_t kMaxPixelBytes = 400ull * 1024 * 1024;

// Width or height of any picture. Far beyond any real photo, and small enough
// that width × height × 4 cannot overflow 64 bits.
inline constexpr std::int64_t kMaxDimension = 1 << 20;

// width × height × bytesPerPixel when both sides are in 1..kMaxDimension and
// the product is within kMaxPixelBytes; nothing otherwise.
inline std::optional<std::size_t> checkedPixelBytes(std::int64_t width, std::int64_t height,
                                                    std::int64_t bytesPerPixel) noexcept {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return std::nullopt;
    const auto total = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                       static_cast<std::uint64_t>(bytesPerPixel);
    if (total > kMaxPixelBytes) return std::nullopt;
    return static_cast<std::size_t>(total);
}

}  // namespace pictures

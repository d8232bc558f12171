// The five pictures the tool carries: four card templates and the default
// photo, each a complete 24-bit BMP file image kept byte for byte.
#pragma once

#include <cstdint>
#include <span>

namespace pictures {

inline constexpr int kTemplateCount = 4;

// Template 1 to 4 in list order (blue, purple, brown star, brown star with the
// issuer's own seal); an empty span for any other number.
std::span<const std::uint8_t> templatePicture(int number) noexcept;

// The 60 × 70 placeholder silhouette drawn when no photo file is named.
std::span<const std::uint8_t> defaultPhoto() noexcept;

}  // namespace pictures

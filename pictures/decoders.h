// The decoders behind loadPicture, one per format family. Each takes the
// complete data from byte 0 and yields a Picture or a Failure; none throws.
#pragma once

#include <optional>

#include "decode_result.h"

namespace pictures {

// The kind the first six bytes announce, or nothing when they match no format.
std::optional<PictureKind> detectPictureFormat(Bytes data) noexcept;

DecodeResult decodeBmp(Bytes data) noexcept;
DecodeResult decodeJpeg(Bytes data) noexcept;
DecodeResult decodeGif(Bytes data) noexcept;
DecodeResult decodeIcon(Bytes data) noexcept;  // icons and cursors
DecodeResult decodePcx(Bytes data) noexcept;   // Pcx8 and Pcx1

// Detects and decodes in one step; what loadPicture uses before registering.
DecodeResult decodePicture(Bytes data) noexcept;

}  // namespace pictures

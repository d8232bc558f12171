// The decoders behind loadPicture, one per format family. Each takes the
// complete data from byte 0 and yields a Picture or a Failure; none throws.
#pragma once

#include <optional>

#include "decode_result.h"

namespace pictures {

class PictureSource;

// The kind the first six bytes announce, or nothing when they match no format.
std::optional<PictureKind> detectPictureFormat(Bytes data) noexcept;

DecodeResult decodeBmp(Bytes data) noexcept;
DecodeResult decodeJpeg(Bytes data, DrawSizeHint hint = {}) noexcept;
// The same two decoders pulling their data from a file or memory in chunks
// (picture_source.h), so a photo on disk need not be read whole first.
DecodeResult decodeBmp(PictureSource& source) noexcept;
DecodeResult decodeJpeg(PictureSource& source, DrawSizeHint hint = {}) noexcept;
DecodeResult decodeGif(Bytes data) noexcept;
DecodeResult decodeIcon(Bytes data) noexcept;  // icons and cursors
DecodeResult decodePcx(Bytes data) noexcept;   // Pcx8 and Pcx1

// Detects and decodes in one step; what loadPicture uses before registering.
// The hint reaches the JPEG decoder only.
DecodeResult decodePicture(Bytes data, DrawSizeHint hint = {}) noexcept;

// The same for a file: the first six bytes are read to detect the format, the
// file is closed and opened again for the decoder. An empty path, a folder or
// a file that cannot be opened gives FailureKind::Unreadable.
DecodeResult decodePictureFile(const std::string& path, DrawSizeHint hint = {}) noexcept;

}  // namespace pictures

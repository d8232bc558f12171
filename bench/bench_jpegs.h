// Photographic-looking JPEG files for the benchmarks, made with libjpeg's own
// compressor so that their entropy coding costs what a camera file costs.
#pragma once

#include <string>

namespace bench {

enum class JpegMode { Baseline, Progressive };

// The path of a width × height JPEG of the given mode, written on first use
// into a temporary folder (kept between runs; the content is deterministic).
// `variant` 0 and 1 are the same picture whose files differ by a comment
// segment: different bytes, the same decoding work.
std::string benchJpeg(int width, int height, JpegMode mode, int variant);

// The folder the files live in.
std::string benchFolder();

}  // namespace bench

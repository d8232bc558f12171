// Fuzzes loadPicture from a file path, the way the user's photo is loaded:
// the input is written to a temporary file first. The file is read in chunks
// where the bytes entry sees everything at once, so both entries must agree:
// the same picture, or both 0. The file name is made unique once (mkstemp)
// and the file is written afresh for each input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_drawing.h"

namespace {

std::string& tempPath() {
    static std::string path;
    return path;
}

bool writeAll(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(tempPath().c_str(), "wb");
    if (!file) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

bool samePicture(const pictures::Picture& a, const pictures::Picture& b) {
    return a.kind == b.kind && a.width == b.width && a.height == b.height && a.imageWidth == b.imageWidth &&
           a.imageHeight == b.imageHeight && a.pixels == b.pixels && a.palette == b.palette;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::startQt();
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/tessivanev-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) fuzzing::fail("cannot make a temporary file");
    ::close(fd);
    ::unlink(pattern.c_str());
    tempPath() = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!writeAll(data, size)) fuzzing::fail("cannot write the temporary file");
    const auto fromFile = pictures::loadPicture(tempPath());
    // The file exists only while it is loaded, so a run that is stopped
    // leaves nothing behind.
    ::unlink(tempPath().c_str());
    const auto fromBytes = pictures::loadPicture(data, static_cast<std::int64_t>(size));
    if ((fromFile == 0) != (fromBytes == 0)) fuzzing::fail("path and bytes entries disagree on loading");
    if (fromFile != 0) {
        const auto* a = pictures::findPicture(fromFile);
        const auto* b = pictures::findPicture(fromBytes);
        if (!a || !b || !samePicture(*a, *b)) fuzzing::fail("path and bytes entries decode differently");
        if (fromFile == fromBytes) fuzzing::fail("two live pictures share a handle");
    }
    pictures::unloadPicture(fromBytes);
    fuzzing::drawAndUnload(fromFile);
    return 0;
}

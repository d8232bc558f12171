// Fuzzes loadPicture from bytes held in memory, the way the carried pictures
// are loaded, and draws whatever loads.
#include <cstddef>
#include <cstdint>

#include "fuzz_drawing.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto handle = pictures::loadPicture(data, static_cast<std::int64_t>(size));
    fuzzing::drawAndUnload(handle);
    return 0;
}

// Replaces the global operator new of the test program that includes it, so a
// test can tell the largest allocation a decode made: hostile headers must be
// refused before any buffer sized from them is allocated. Include it from
// exactly one source file of a test program.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocation_probe {
inline std::size_t largestAllocation = 0;
}

// GCC cannot see that this operator new and delete pair up.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    allocation_probe::largestAllocation = std::max(allocation_probe::largestAllocation, size);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

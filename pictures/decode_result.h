// What a decoder gives back: a picture, or a failure with a category and a
// short reason meant for developers and command-line tools (the tool itself
// only ever sees handle 0).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "picture.h"

namespace pictures {

enum class FailureKind : std::uint8_t { Malformed, Unsupported, TooLarge, Truncated, OutOfMemory, Unreadable };

struct Failure {
    FailureKind kind = FailureKind::Malformed;
    std::string reason;
};

using DecodeResult = std::variant<Picture, Failure>;

inline Failure fail(FailureKind kind, const char* reason) { return Failure{kind, reason}; }

using Bytes = std::span<const std::uint8_t>;

}  // namespace pictures

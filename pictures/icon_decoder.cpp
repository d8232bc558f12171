#include "decoders.h"

namespace pictures {

DecodeResult decodeIcon(Bytes) noexcept {
    return Failure{FailureKind::Unsupported, "icon decoding is not available yet"};
}

}  // namespace pictures

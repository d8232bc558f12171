#include "decoders.h"

namespace pictures {

DecodeResult decodeJpeg(Bytes) noexcept {
    return Failure{FailureKind::Unsupported, "jpeg decoding is not available yet"};
}

}  // namespace pictures

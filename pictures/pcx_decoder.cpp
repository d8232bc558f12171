#include "decoders.h"

namespace pictures {

DecodeResult decodePcx(Bytes) noexcept {
    return Failure{FailureKind::Unsupported, "pcx decoding is not available yet"};
}

}  // namespace pictures

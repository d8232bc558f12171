#include "decoders.h"

namespace pictures {

DecodeResult decodeGif(Bytes) noexcept {
    return Failure{FailureKind::Unsupported, "gif decoding is not available yet"};
}

}  // namespace pictures

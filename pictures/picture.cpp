// The registry of loaded pictures and the two ways of loading one.
//
// Handles come from a counter that runs 1, 2, … up to the largest 32-bit
// value and then starts again at 1, skipping any value still in use. So 0 is
// never issued, and a value is given out again only after its picture was
// unloaded (and only after some two thousand million other loads).
//
// Everything here runs on the GUI thread; the registry has no lock. Nothing
// throws out of pictures/: running out of memory anywhere in a load gives 0.
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

#include "decoders.h"
#include "limits.h"
#include "picture.h"
#include "picture_source.h"

namespace pictures {
namespace {

class Registry {
public:
    PictureHandle add(Picture&& picture) {
        auto owned = std::make_unique<Picture>(std::move(picture));
        const PictureHandle handle = freeHandle();
        pictures_.emplace(handle, std::move(owned));
        return handle;
    }
    void remove(PictureHandle handle) noexcept {
        const auto found = pictures_.find(handle);
        if (found == pictures_.end()) return;
        // Out of the registry first, then freed.
        std::unique_ptr<Picture> picture = std::move(found->second);
        pictures_.erase(found);
        picture.reset();
    }
    const Picture* find(PictureHandle handle) const noexcept {
        const auto found = pictures_.find(handle);
        return found == pictures_.end() ? nullptr : found->second.get();
    }

private:
    PictureHandle freeHandle() noexcept {
        // At most size() values are taken, far below the 2^31 − 1 available,
        // so this ends within size() + 1 steps.
        for (;;) {
            const PictureHandle candidate = next_;
            next_ = next_ == std::numeric_limits<PictureHandle>::max() ? 1 : next_ + 1;
            if (!pictures_.contains(candidate)) return candidate;
        }
    }

    std::unordered_map<PictureHandle, std::unique_ptr<Picture>> pictures_;
    PictureHandle next_ = 1;
};

Registry& registry() noexcept {
    static Registry instance;
    return instance;
}

PictureHandle registerResult(DecodeResult&& result) noexcept {
    auto* picture = std::get_if<Picture>(&result);
    if (picture == nullptr) return 0;
    try {
        return registry().add(std::move(*picture));
    } catch (...) {  // std::bad_alloc from the registry's own storage
        return 0;
    }
}

}  // namespace

const char* kindName(PictureKind kind) noexcept {
    switch (kind) {
        case PictureKind::Jpeg: return "Jpeg";
        case PictureKind::Bmp: return "Bmp";
        case PictureKind::Icon: return "Icon";
        case PictureKind::Cursor: return "Cursor";
        case PictureKind::Gif: return "Gif";
        case PictureKind::Pcx8: return "Pcx8";
        case PictureKind::Pcx1: return "Pcx1";
    }
    return "Unknown";
}

DecodeResult decodePicture(Bytes data) noexcept {
    const auto kind = detectPictureFormat(data);
    if (!kind) return Failure{FailureKind::Unsupported, {}};
    switch (*kind) {
        case PictureKind::Bmp: return decodeBmp(data);
        case PictureKind::Jpeg: return decodeJpeg(data);
        case PictureKind::Icon:
        case PictureKind::Cursor: return decodeIcon(data);
        case PictureKind::Gif: return decodeGif(data);
        case PictureKind::Pcx8:
        case PictureKind::Pcx1: return decodePcx(data);
    }
    return Failure{FailureKind::Unsupported, {}};
}

DecodeResult decodePictureFile(const std::string& path) noexcept {
    if (path.empty()) return Failure{FailureKind::Unreadable, {}};

    // First opening: the six bytes that decide the format; the file is closed
    // again at the end of this block.
    std::optional<PictureKind> kind;
    {
        auto file = FileSource::open(path);
        if (!file) return Failure{FailureKind::Unreadable, {}};
        std::array<std::uint8_t, 6> signature{};
        const std::size_t got = file->read(signature);
        kind = detectPictureFormat(Bytes(signature.data(), got));
    }
    if (!kind) return Failure{FailureKind::Unsupported, {}};

    // Second opening, for the decoder, which reads again from byte 0.
    auto file = FileSource::open(path);
    if (!file) return Failure{FailureKind::Unreadable, {}};
    if (*kind == PictureKind::Bmp) return decodeBmp(*file);
    if (*kind == PictureKind::Jpeg) return decodeJpeg(*file);

    // GIF, icon and PCX files are read whole. None of them can usefully be
    // larger than the pixel limit, so a bigger file is refused unread.
    std::vector<std::uint8_t> bytes;
    switch (readRemaining(*file, kMaxPixelBytes, bytes)) {
        case ReadFileStatus::Ok: break;
        case ReadFileStatus::TooLarge: return Failure{FailureKind::TooLarge, {}};
        case ReadFileStatus::OutOfMemory: return Failure{FailureKind::OutOfMemory, {}};
    }
    return decodePicture(bytes);
}

PictureHandle loadPicture(const std::uint8_t* bytes, std::int64_t length) noexcept {
    if (bytes == nullptr || length <= 0) return 0;
    if (static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max()) return 0;
    return registerResult(decodePicture(Bytes(bytes, static_cast<std::size_t>(length))));
}

PictureHandle loadPicture(const std::string& path) noexcept {
    if (path.empty()) return 0;
    return registerResult(decodePictureFile(path));
}

void unloadPicture(PictureHandle handle) noexcept { registry().remove(handle); }

bool isPictureLoaded(PictureHandle handle) noexcept { return registry().find(handle) != nullptr; }

const Picture* findPicture(PictureHandle handle) noexcept { return registry().find(handle); }

}  // namespace pictures

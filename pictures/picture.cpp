// The registry of loaded pictures and the two ways of loading one.
//
// Handles come from a counter that runs 1, 2, … up to the largest 32-bit
// value and then starts again at 1, skipping any value still in use. So 0 is
// never issued, and a value is given out again only after its picture was
// unloaded (and only after some two thousand million other loads).
//
// Everything here runs on the GUI thread; the registry has no lock. Nothing
// throws out of pictures/: running out of memory anywhere in a load gives 0.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
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

// The last file decoded with a size hint, to be reused when the same bytes
// come again: the card is redrawn on every keystroke, and the photo file is
// read afresh each time, but it rarely changes between two keystrokes.
// Equality is decided on the bytes themselves, never on a name, a size, a
// time stamp or a hash, so any change to the file shows at the next load.
class LastFileDecode {
    static constexpr std::size_t kComparePiece = 256 * 1024;

public:
    DecodeResult load(const std::string& path, DrawSizeHint hint) {
        {
            auto file = FileSource::open(path);
            if (!file) return Failure{FailureKind::Unreadable, {}};
            if (file->size() > kMaxRememberedFileBytes) {
                ++counts_.decoded;
                return decodePictureFile(path, hint);
            }
            // The bytes land in a buffer kept between loads (a large photo then
            // costs a copy from the page cache, not fresh pages), and are
            // compared piece by piece while each piece is still in the cache.
            const auto size = static_cast<std::size_t>(file->size());
            try {
                incoming_.resize(size);
            } catch (const std::bad_alloc&) {
                return Failure{FailureKind::OutOfMemory, {}};
            }
            bool same = picture_ && hint == hint_ && size == bytes_.size();
            std::size_t got = 0;
            while (got < size) {
                const std::size_t piece = std::min(kComparePiece, size - got);
                const std::size_t n = file->read(std::span<std::uint8_t>(incoming_.data() + got, piece));
                if (n == 0) break;  // the file shrank since it was opened
                same = same && std::memcmp(incoming_.data() + got, bytes_.data() + got, n) == 0;
                got += n;
            }
            incoming_.resize(got);
            if (same && got == bytes_.size()) {
                ++counts_.reused;
                return *picture_;
            }
        }
        ++counts_.decoded;
        DecodeResult result = decodePicture(incoming_, hint);
        picture_.reset();  // the old picture goes before a new copy is made
        const auto* picture = std::get_if<Picture>(&result);
        if (picture != nullptr && picture->pixels.size() <= kMaxRememberedFileBytes) {
            picture_ = *picture;
            bytes_.swap(incoming_);
            hint_ = hint;
        }
        return result;
    }

    FileDecodeCounts counts() const noexcept { return counts_; }

private:
    std::vector<std::uint8_t> bytes_;     // the file behind picture_, as it was read
    std::vector<std::uint8_t> incoming_;  // the file being loaded now
    DrawSizeHint hint_;
    std::optional<Picture> picture_;
    FileDecodeCounts counts_;
};

LastFileDecode& lastFileDecode() noexcept {
    static LastFileDecode instance;
    return instance;
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

DecodeResult decodePicture(Bytes data, DrawSizeHint hint) noexcept {
    const auto kind = detectPictureFormat(data);
    if (!kind) return Failure{FailureKind::Unsupported, {}};
    switch (*kind) {
        case PictureKind::Bmp: return decodeBmp(data);
        case PictureKind::Jpeg: return decodeJpeg(data, hint);
        case PictureKind::Icon:
        case PictureKind::Cursor: return decodeIcon(data);
        case PictureKind::Gif: return decodeGif(data);
        case PictureKind::Pcx8:
        case PictureKind::Pcx1: return decodePcx(data);
    }
    return Failure{FailureKind::Unsupported, {}};
}

DecodeResult decodePictureFile(const std::string& path, DrawSizeHint hint) noexcept {
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
    if (*kind == PictureKind::Jpeg) return decodeJpeg(*file, hint);

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

PictureHandle loadPicture(const std::uint8_t* bytes, std::int64_t length, const DrawSizeHint& hint) noexcept {
    if (bytes == nullptr || length <= 0) return 0;
    if (static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max()) return 0;
    return registerResult(decodePicture(Bytes(bytes, static_cast<std::size_t>(length)), hint));
}

PictureHandle loadPicture(const std::string& path, const DrawSizeHint& hint) noexcept {
    if (path.empty()) return 0;
    try {
        return registerResult(lastFileDecode().load(path, hint));
    } catch (...) {  // std::bad_alloc from a copy of the remembered picture
        return 0;
    }
}

FileDecodeCounts fileDecodeCounts() noexcept { return lastFileDecode().counts(); }

void unloadPicture(PictureHandle handle) noexcept { registry().remove(handle); }

bool isPictureLoaded(PictureHandle handle) noexcept { return registry().find(handle) != nullptr; }

const Picture* findPicture(PictureHandle handle) noexcept { return registry().find(handle); }

}  // namespace pictures

#include "gif_lzw.h"

#include <array>

namespace pictures {
namespace {

// GIF89a appendix F: codes never grow past 12 bits, so the table never holds
// more than 4096 entries.
constexpr unsigned kMaxCodeWidth = 12;
constexpr unsigned kTableSize = 1u << kMaxCodeWidth;

// Hands out codes of a given width from the data sub-blocks, least-significant
// bit first. A zero-length sub-block or the end of the data ends the stream.
class SubBlockBits {
public:
    explicit SubBlockBits(std::span<const std::uint8_t> data) noexcept : data_(data) {}

    bool read(unsigned width, unsigned& code) noexcept {
        while (count_ < width) {
            std::uint8_t byte = 0;
            if (!nextByte(byte)) return false;
            bits_ |= static_cast<std::uint32_t>(byte) << count_;
            count_ += 8;
        }
        code = bits_ & ((1u << width) - 1);
        bits_ >>= width;
        count_ -= width;
        return true;
    }

private:
    bool nextByte(std::uint8_t& out) noexcept {
        if (ended_) return false;
        if (blockLeft_ == 0) {
            if (position_ >= data_.size() || data_[position_] == 0) {
                ended_ = true;
                return false;
            }
            blockLeft_ = data_[position_++];
        }
        if (position_ >= data_.size()) {
            ended_ = true;
            return false;
        }
        out = data_[position_++];
        --blockLeft_;
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
    unsigned blockLeft_ = 0;
    std::uint32_t bits_ = 0;  // at most 11 + 8 bits are ever held
    unsigned count_ = 0;
    bool ended_ = false;
};

}  // namespace

GifLzwResult decodeGifLzw(std::span<const std::uint8_t> subBlocks, int minimumCodeSize,
                          std::span<std::uint8_t> pixels) noexcept {
    if (minimumCodeSize < kGifMinCodeSizeLow || minimumCodeSize > kGifMinCodeSizeHigh)
        return {GifLzwStatus::BadChain, 0};
    const auto minimum = static_cast<unsigned>(minimumCodeSize);
    const unsigned clear = 1u << minimum;
    const unsigned end = clear + 1;

    // Entry c is the string of entry prefix[c] followed by suffix[c]; length
    // and first byte are kept so that a string can be written back to front
    // straight into the image and a new entry needs no chain walk.
    std::array<std::uint16_t, kTableSize> prefix{};
    std::array<std::uint8_t, kTableSize> suffix{};
    std::array<std::uint16_t, kTableSize> length{};
    std::array<std::uint8_t, kTableSize> first{};
    for (unsigned c = 0; c < clear; ++c) {
        suffix[c] = static_cast<std::uint8_t>(c);
        first[c] = static_cast<std::uint8_t>(c);
        length[c] = 1;
    }

    SubBlockBits bits(subBlocks);
    unsigned next = clear + 2;
    unsigned width = minimum + 1;
    bool afterClear = true;  // a stream that does not open with a clear code reads as if it did
    unsigned previous = 0;
    std::size_t written = 0;
    const std::size_t capacity = pixels.size();

    for (;;) {
        // Extra pixels are ignored, so nothing past a full image is read.
        if (written >= capacity) return {GifLzwStatus::ImageFull, written};
        unsigned code = 0;
        if (!bits.read(width, code)) return {GifLzwStatus::DataEnded, written};
        if (code == clear) {
            next = clear + 2;
            width = minimum + 1;
            afterClear = true;
            continue;
        }
        if (code == end) return {GifLzwStatus::Complete, written};

        if (afterClear) {
            if (code > clear + 2) return {GifLzwStatus::BadFirstCode, written};
            // clear + 2 passes the first-code rule but names an entry that no
            // code has made yet, so it is as corrupt as any undefined code.
            if (code >= clear) return {GifLzwStatus::BadChain, written};
            pixels[written++] = static_cast<std::uint8_t>(code);
            previous = code;
            afterClear = false;
            continue;
        }

        // The new entry is the previous string plus the first byte of this
        // one; for the code that is being defined right now (code == next)
        // that first byte is the previous string's own first byte. Once the
        // table is full it stays frozen until a clear code, as browsers do.
        if (code > next || (code == next && next >= kTableSize)) return {GifLzwStatus::BadChain, written};
        if (next < kTableSize) {
            const std::uint8_t head = code == next ? first[previous] : first[code];
            prefix[next] = static_cast<std::uint16_t>(previous);
            suffix[next] = head;
            length[next] = static_cast<std::uint16_t>(length[previous] + 1);
            first[next] = first[previous];
            ++next;
            if (next == (1u << width) && width < kMaxCodeWidth) ++width;
        }

        // Write the string back to front, walking the chain; only the part
        // inside the image is stored.
        const std::size_t count = length[code];
        unsigned c = code;
        for (std::size_t i = count; i-- > 0;) {
            if (written + i < capacity) pixels[written + i] = suffix[c];
            if (i == 0) break;
            if (c < clear) return {GifLzwStatus::BadChain, written};
            const unsigned up = prefix[c];
            if (up >= c) return {GifLzwStatus::BadChain, written};
            c = up;
        }
        written = written + count < capacity ? written + count : capacity;
        previous = code;
    }
}

}  // namespace pictures

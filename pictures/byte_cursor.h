// A read position over a byte span. Every read checks the bounds: a read that
// would pass the end fails and leaves the cursor where it was, so decoders
// never read outside their data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pictures {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> data, std::size_t position = 0) noexcept
        : data_(data), position_(position <= data.size() ? position : data.size()) {}

    std::size_t position() const noexcept { return position_; }
    std::size_t remaining() const noexcept { return data_.size() - position_; }
    std::size_t size() const noexcept { return data_.size(); }
    bool atEnd() const noexcept { return position_ >= data_.size(); }

    bool seek(std::size_t position) noexcept {
        if (position > data_.size()) return false;
        position_ = position;
        return true;
    }
    bool skip(std::size_t count) noexcept {
        if (count > remaining()) return false;
        position_ += count;
        return true;
    }
    bool readU8(std::uint8_t& out) noexcept {
        if (remaining() < 1) return false;
        out = data_[position_++];
        return true;
    }
    bool readU16(std::uint16_t& out) noexcept {
        if (remaining() < 2) return false;
        out = static_cast<std::uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
        position_ += 2;
        return true;
    }
    bool readU32(std::uint32_t& out) noexcept {
        if (remaining() < 4) return false;
        out = static_cast<std::uint32_t>(data_[position_]) | (static_cast<std::uint32_t>(data_[position_ + 1]) << 8) |
              (static_cast<std::uint32_t>(data_[position_ + 2]) << 16) |
              (static_cast<std::uint32_t>(data_[position_ + 3]) << 24);
        position_ += 4;
        return true;
    }
    bool readI32(std::int32_t& out) noexcept {
        std::uint32_t raw = 0;
        if (!readU32(raw)) return false;
        out = static_cast<std::int32_t>(raw);
        return true;
    }
    // A view of the next `count` bytes, consumed; empty and unmoved when short.
    bool take(std::size_t count, std::span<const std::uint8_t>& out) noexcept {
        if (count > remaining()) return false;
        out = data_.subspan(position_, count);
        position_ += count;
        return true;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t position_;
};

}  // namespace pictures

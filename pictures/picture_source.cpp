#include "picture_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace pictures {

std::size_t MemorySource::read(std::span<std::uint8_t> out) noexcept {
    const std::size_t count = std::min(out.size(), data_.size() - position_);
    if (count > 0) std::memcpy(out.data(), data_.data() + position_, count);
    position_ += count;
    return count;
}

std::optional<FileSource> FileSource::open(const std::string& path) noexcept {
    if (path.empty()) return std::nullopt;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return FileSource(descriptor, static_cast<std::uint64_t>(status.st_size));
}

FileSource::FileSource(FileSource&& other) noexcept
    : PictureSource(other),
      descriptor_(std::exchange(other.descriptor_, -1)),
      size_(other.size_),
      position_(other.position_) {}

FileSource& FileSource::operator=(FileSource&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        size_ = other.size_;
        position_ = other.position_;
    }
    return *this;
}

FileSource::~FileSource() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

std::size_t FileSource::read(std::span<std::uint8_t> out) noexcept {
    std::size_t total = 0;
    while (total < out.size() && descriptor_ >= 0) {
        const ssize_t got = ::read(descriptor_, out.data() + total, out.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // end of file, or a read error: either way no more data
        total += static_cast<std::size_t>(got);
    }
    position_ += total;
    return total;
}

std::uint64_t FileSource::remaining() const noexcept { return position_ < size_ ? size_ - position_ : 0; }

bool ChunkReader::refill() noexcept {
    next_ = 0;
    filled_ = source_.read(std::span<std::uint8_t>(buffer_, kChunkSize));
    return filled_ > 0;
}

bool ChunkReader::readExact(std::span<std::uint8_t> out) noexcept {
    std::size_t done = 0;
    while (done < out.size()) {
        if (next_ == filled_ && !refill()) return false;
        const std::size_t count = std::min(out.size() - done, filled_ - next_);
        std::memcpy(out.data() + done, buffer_ + next_, count);
        next_ += count;
        done += count;
        consumed_ += count;
    }
    return true;
}

bool ChunkReader::skip(std::uint64_t count) noexcept {
    while (count > 0) {
        if (next_ == filled_ && !refill()) return false;
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, filled_ - next_));
        next_ += step;
        count -= step;
        consumed_ += step;
    }
    return true;
}

ReadFileStatus readRemaining(FileSource& file, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) noexcept {
    const std::uint64_t size = file.remaining();
    if (size > maxBytes) return ReadFileStatus::TooLarge;
    try {
        out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return ReadFileStatus::OutOfMemory;
    }
    // A file that shrank since it was opened keeps only what could be read
    // (the decoder then finds it truncated); one that grew is read as it was.
    out.resize(file.read(out));
    return ReadFileStatus::Ok;
}

}  // namespace pictures

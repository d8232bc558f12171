// Where a decoder's bytes come from: a span held in memory or a file opened
// read-only. The BMP and JPEG decoders pull their data through this in
// chunks, so a photo on disk is never read whole into memory for them; the
// other kinds read their (small) files whole with readWholeFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pictures {

class PictureSource {
public:
    virtual ~PictureSource() = default;

    // Copies up to out.size() bytes and returns how many came. Fewer than
    // asked means the data ended (or the file could not be read further).
    virtual std::size_t read(std::span<std::uint8_t> out) noexcept = 0;

    // How many bytes are still to come as far as is known now. A file may
    // still shrink while it is read, so a decoder uses this only to refuse
    // early what cannot fit, never in place of checking each read.
    virtual std::uint64_t remaining() const noexcept = 0;

protected:
    PictureSource() = default;
    PictureSource(const PictureSource&) = default;
    PictureSource& operator=(const PictureSource&) = default;
};

class MemorySource final : public PictureSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> data) noexcept : data_(data) {}
    std::size_t read(std::span<std::uint8_t> out) noexcept override;
    std::uint64_t remaining() const noexcept override { return data_.size() - position_; }

private:
    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
};

// A regular file opened read-only; other readers are not disturbed. Folders,
// devices and pipes are refused: none of them can hold a picture, and reading
// a pipe or a device could block or never end.
class FileSource final : public PictureSource {
public:
    static std::optional<FileSource> open(const std::string& path) noexcept;

    FileSource(FileSource&& other) noexcept;
    FileSource& operator=(FileSource&& other) noexcept;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;

    std::size_t read(std::span<std::uint8_t> out) noexcept override;
    std::uint64_t remaining() const noexcept override;
    std::uint64_t size() const noexcept { return size_; }

private:
    FileSource(int descriptor, std::uint64_t size) noexcept : descriptor_(descriptor), size_(size) {}

    int descriptor_ = -1;
    std::uint64_t size_ = 0;  // as the file stood when opened
    std::uint64_t position_ = 0;
};

// Buffered reading with exact-count reads and forward skips over a source,
// refilled in chunks of kChunkSize bytes. A read that comes up short reports
// false; what was copied before the end is unspecified.
class ChunkReader {
public:
    static constexpr std::size_t kChunkSize = 4096;

    explicit ChunkReader(PictureSource& source) noexcept : source_(source) {}

    bool readExact(std::span<std::uint8_t> out) noexcept;
    bool skip(std::uint64_t count) noexcept;
    // Bytes consumed from the source so far.
    std::uint64_t position() const noexcept { return consumed_; }
    // Bytes still to come, buffered ones included (see PictureSource::remaining).
    std::uint64_t remaining() const noexcept { return (filled_ - next_) + source_.remaining(); }

private:
    bool refill() noexcept;

    PictureSource& source_;
    std::uint8_t buffer_[kChunkSize]{};
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    std::uint64_t consumed_ = 0;
};

enum class ReadFileStatus : std::uint8_t { Ok, TooLarge, OutOfMemory };

// Reads the rest of an open file into `out`. A file larger than `maxBytes`
// is refused before anything is allocated.
ReadFileStatus readRemaining(FileSource& file, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) noexcept;

}  // namespace pictures

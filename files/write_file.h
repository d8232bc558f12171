// Writing a whole file at once, so that a file is either replaced completely
// or left exactly as it was.
#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace files {

struct WriteResult {
    bool ok = false;
    QString reason;  // why it failed, for the user; empty on success
};

// Writes the parts, in order, as the whole new contents of `path`. The bytes
// go to a temporary file in the same folder that replaces `path` only once
// every byte is written and flushed; on any failure the temporary file is
// removed and an existing `path` keeps its old contents. An empty path
// touches nothing.
WriteResult writeFile(const QString& path, const std::vector<std::span<const std::uint8_t>>& parts);

}  // namespace files

#include "files/write_file.h"

#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace files {

WriteResult writeFile(const QString& path, const std::vector<std::span<const std::uint8_t>>& parts) {
    if (path.isEmpty())
        return {false, QStringLiteral("没有文件名")};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};

    for (const auto part : parts) {
        std::size_t done = 0;
        while (done < part.size()) {
            // QIODevice::write takes a qint64 length; write in pieces that fit.
            const std::size_t piece = std::min<std::size_t>(part.size() - done, std::numeric_limits<int>::max());
            const qint64 written = file.write(reinterpret_cast<const char*>(part.data() + done),
                                              static_cast<qint64>(piece));
            if (written <= 0) {
                const QString reason = file.errorString();
                file.cancelWriting();
                return {false, reason};
            }
            done += static_cast<std::size_t>(written);
        }
    }
    // commit() flushes, syncs and renames over `path`; on failure it removes
    // the temporary file and leaves `path` alone.
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

}  // namespace files

// The photo path's two tests: trimming and the directory-search existence test.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include "card/card_composer.h"

namespace card {

namespace {

constexpr char16_t kFullWidthSpace = u'\u3000';

bool isTrimmed(QChar c) { return c == u' ' || c == kFullWidthSpace; }

bool hasWildcard(const QString& text) { return text.contains(u'*') || text.contains(u'?'); }

// "*" matches any run of characters (none included), "?" exactly one; every
// other character matches only itself. Characters are whole code points.
bool wildcardMatches(const QList<uint>& pattern, const QList<uint>& name) {
    qsizetype p = 0, n = 0;
    qsizetype starAt = -1, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starName = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

// lstat rather than QFileInfo: a directory search lists a link whose target
// is gone as well.
bool entryExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace

QString trimPhotoPath(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isTrimmed(text.at(begin))) ++begin;
    while (end > begin && isTrimmed(text.at(end - 1))) --end;
    return text.mid(begin, end - begin);
}

bool photoPathExists(const QString& trimmed) {
    if (trimmed.isEmpty()) return false;
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
    const QString pattern = trimmed.mid(slash + 1);
    // Wildcards count only in the last part of the name, as in a directory
    // search; elsewhere they name a folder that is not there.
    if (hasWildcard(folder) && !entryExists(folder)) return false;
    if (!hasWildcard(pattern)) return entryExists(trimmed);

    const QDir dir(folder);
    const QList<uint> wanted = pattern.toUcs4();
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                 QDir::NoSort);
    for (const QString& entry : entries)
        if (wildcardMatches(wanted, entry.toUcs4())) return true;
    return false;
}

}  // namespace card

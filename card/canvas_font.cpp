#include "card/canvas_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace card {

namespace {

constexpr int kFaceNameByteLimit = 32;  // a face name this long no longer fits the record
constexpr double kDefaultDpi = 96.0;
constexpr int kLargestEmHeight = 32767;
// 宋体 puts its baseline 220 of its 256 em units below the top of its cell,
// and its cell is exactly one em high.
constexpr double kSongAscentPerEm = 220.0 / 256.0;
const QStringList kGenuineSongFaces = {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")};

int toInt(const std::variant<int, QString>& value) {
    if (const int* number = std::get_if<int>(&value)) return *number;
    bool ok = false;
    const int number = std::get<QString>(value).trimmed().toInt(&ok);
    return ok ? number : 0;
}

QString toText(const std::variant<int, QString>& value) {
    if (const QString* text = std::get_if<QString>(&value)) return *text;
    return QString::number(std::get<int>(value));
}

bool hasFamily(const QStringList& families, const QString& name) {
    return families.contains(name, Qt::CaseInsensitive);
}

// The Song-style faces that may stand for 宋体, most faithful first. The list is
// fixed so the card looks the same wherever the set-up installed its fonts.
QString resolveSongFace() {
    const QStringList families = QFontDatabase::families();
    for (const QString& name : kGenuineSongFaces)
        if (hasFamily(families, name)) return name;
    static const char* const kStandIns[] = {"Noto Serif CJK SC", "AR PL UMing CN", "AR PL UMing TW",
                                            "AR PL SungtiL GB"};
    for (const char* standIn : kStandIns) {
        const QString name = QString::fromUtf8(standIn);
        if (hasFamily(families, name)) return name;
    }
    // Not one of them installed: any face that claims Simplified Chinese beats
    // boxes in place of the name.
    QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    chinese.sort(Qt::CaseInsensitive);
    return chinese.isEmpty() ? kSongFace : chinese.front();
}

}  // namespace

int gbkByteCount(const QString& text) {
    int bytes = 0;
    for (const QChar c : text) bytes += c.unicode() < 0x80 ? 1 : 2;
    return bytes;
}

FontRecord defaultFontRecord() {
    const QFont font = QGuiApplication::instance() ? QGuiApplication::font() : QFont();
    FontRecord record;
    record.bold = font.bold();
    record.italic = font.italic();
    record.strikeOut = font.strikeOut();
    record.underline = font.underline();
    if (font.pointSize() > 0) {
        record.size = font.pointSize();
    } else if (font.pixelSize() > 0) {
        record.size = static_cast<int>(std::lround(font.pixelSize() * 72.0 / screenVerticalDpi()));
    }
    record.faceName = font.family();
    return record;
}

void applyFontField(FontRecord& record, FontField field, const std::variant<int, QString>& value) {
    switch (field) {
    case FontField::FaceName: {
        const QString face = toText(value);
        record.faceName = face.isEmpty() || gbkByteCount(face) >= kFaceNameByteLimit ? kSongFace : face;
        break;
    }
    case FontField::Size: record.size = std::max(toInt(value), 0); break;
    case FontField::Bold: record.bold = toInt(value) != 0; break;
    case FontField::Italic: record.italic = toInt(value) != 0; break;
    case FontField::StrikeOut: record.strikeOut = toInt(value) != 0; break;
    case FontField::Underline: record.underline = toInt(value) != 0; break;
    case FontField::Angle: {
        const int angle = toInt(value) % 3600;
        record.angle = angle < 0 ? angle + 3600 : angle;
        break;
    }
    }
}

QString resolveFaceName(const QString& face) {
    if (face.compare(kSongFace, Qt::CaseInsensitive) != 0) return face;
    if (!QGuiApplication::instance()) return face;
    // The installed fonts do not change while the program runs.
    static const QString resolved = resolveSongFace();
    return resolved;
}

int emHeightPixels(int points, double dpi) {
    // Kept within what a font engine takes; the record itself may hold any size.
    const double pixels = std::round(static_cast<double>(points) * dpi / 72.0);
    return static_cast<int>(std::clamp(pixels, 0.0, static_cast<double>(kLargestEmHeight)));
}

double screenVerticalDpi() {
    if (!QGuiApplication::instance()) return kDefaultDpi;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : kDefaultDpi;
}

QFont buildFont(const FontRecord& record, double dpi) {
    QFont font = QGuiApplication::instance() ? QGuiApplication::font() : QFont();
    font.setFamilies({resolveFaceName(record.faceName)});
    // A size of 0 asks for the platform's ordinary size; Qt has no such request.
    const int em = emHeightPixels(record.size, dpi);
    if (em > 0) font.setPixelSize(em);
    font.setWeight(record.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(record.italic);
    font.setUnderline(record.underline);
    font.setStrikeOut(record.strikeOut);
    return font;
}

TextCell textCell(const FontRecord& record, const QFont& font) {
    const QFontMetrics metrics(font);
    const QString resolved = resolveFaceName(record.faceName);
    const bool standIn = record.faceName.compare(kSongFace, Qt::CaseInsensitive) == 0 &&
                         !kGenuineSongFaces.contains(resolved, Qt::CaseInsensitive);
    const int em = font.pixelSize();
    if (!standIn || em <= 0) return {metrics.ascent(), metrics.height()};
    return {static_cast<int>(std::lround(em * kSongAscentPerEm)), em};
}

}  // namespace card

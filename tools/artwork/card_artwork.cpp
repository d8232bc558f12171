// card-artwork: draws the five pictures the tool carries (the four card
// templates and the default photo) and the window icon, and writes them into
// pictures/assets/. Run by hand after changing the artwork; its output is
// committed, so the build never depends on fonts or on this program's run.
//
//   card-artwork [output-folder]     (default: the source tree's pictures/assets)
//
// Everything the card composer writes later lands on fixed places of the
// white panel; the numbers below keep the printed labels, the blanks and the
// photo area exactly where those texts expect them.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "bmp_file.h"
#include "printed_text.h"

namespace artwork {
namespace {

constexpr int kCardWidth = 400;
constexpr int kCardHeight = 280;

const QString kSerif = QStringLiteral("Noto Serif CJK SC");
const QString kSans = QStringLiteral("Noto Sans CJK SC");

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QFont font(const QString& family, int pixelSize, QFont::Weight weight) {
    QFont result(family);
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    result.setStyleStrategy(QFont::PreferAntialias);
    return result;
}

QColor mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// ---------------------------------------------------------------------------
// The background: a three-stop gradient down the card, the same on every
// column, so the frame around the panel matches the left part row by row.

struct Gradient {
    QColor top, middle, bottom;

    QColor at(int y) const {
        const qreal t = static_cast<qreal>(y) / (kCardHeight - 1);
        return t <= 0.5 ? mix(top, middle, t * 2) : mix(middle, bottom, (t - 0.5) * 2);
    }
};

void paintBackground(QImage& card, const Gradient& gradient) {
    for (int y = 0; y < kCardHeight; ++y) {
        const QRgb colour = gradient.at(y).rgb();
        auto* line = reinterpret_cast<QRgb*>(card.scanLine(y));
        for (int x = 0; x < kCardWidth; ++x) line[x] = colour;
    }
}

// The bevelled groove between the artwork and the panel: columns 198 and 199
// catch the light, 200 and 201 lie in shadow.
void paintGroove(QImage& card, const Gradient& gradient) {
    constexpr std::array<std::pair<int, qreal>, 4> kColumns{{{198, 0.45}, {199, 0.25}, {200, -0.30}, {201, -0.18}}};
    for (int y = 0; y < kCardHeight; ++y) {
        const QColor base = gradient.at(y);
        auto* line = reinterpret_cast<QRgb*>(card.scanLine(y));
        for (const auto& [x, light] : kColumns)
            line[x] = (light > 0 ? mix(base, Qt::white, light) : mix(base, Qt::black, -light)).rgb();
    }
}

// ---------------------------------------------------------------------------
// The white panel and its print.

const QRectF kPanel(210, 9, 180, 260);  // pixels 210..389 × 9..268
constexpr qreal kPanelRadius = 7;
const QColor kPrintInk(0x10, 0x10, 0x10);

// Body print: 11 solid rows for an ideograph, as the layout's boxes expect.
QFont bodyFont() { return font(kSerif, 11, QFont::Normal); }

void paintPanel(QImage& card) {
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(kPanel, kPanelRadius, kPanelRadius);
}

struct Wording {
    QString nameLead;            // first line, before the name's blank
    QString nameTail;            // first line, after the blank
    std::vector<QString> lines;  // the paragraph's later lines
};

// A box of print given by its first and last inked pixels.
QRect inkBox(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right, bottom)); }

// The letter spacing that spreads a full line of 14 ideographs over the
// panel's print width, x 213..385.
qreal gridSpacing(const QFont& body) {
    const QString fullLine(14, QChar(0x56FD));  // 国
    qreal low = -3, high = 6;
    for (int step = 0; step < 40; ++step) {
        const qreal middle = (low + high) / 2;
        (inkOf(fullLine, body, middle).width() <= 385 - 213 + 1 ? low : high) = middle;
    }
    return low;
}

void printPanel(QImage& card, const Wording& wording) {
    const QFont body = bodyFont();
    // Labels in front of the name, sex and age blanks; the same words as the
    // window's captions.
    printText(card, text("姓名："), body, inkBox(213, 18, 242, 28), kPrintInk);
    printText(card, text("性别："), body, inkBox(213, 34, 242, 44), kPrintInk);
    printText(card, text("年龄："), body, inkBox(213, 51, 242, 61), kPrintInk);

    // The paragraph: line tops 107, 123, 140, 157, 174. The first line leaves
    // x 290..362 blank for the name.
    constexpr std::array<int, 5> kLineTops{107, 123, 140, 157, 174};
    printText(card, wording.nameLead, body, inkBox(229, 107, 289, 117), kPrintInk);
    printText(card, wording.nameTail, body, inkBox(363, 107, 385, 117), kPrintInk);
    // Later lines sit on one character grid, so their columns line up even
    // where a line ends in punctuation.
    const qreal spacing = gridSpacing(body);
    for (std::size_t i = 0; i < wording.lines.size() && i + 1 < kLineTops.size(); ++i)
        printTextAt(card, wording.lines[i], body, QPoint(213, kLineTops[i + 1]), kPrintInk, spacing);

    // Validity: label, blank x 355..373 for the number, unit "年".
    printText(card, text("有效期限："), body, inkBox(297, 222, 354, 232), kPrintInk);
    printText(card, text("年"), body, inkBox(374, 222, 384, 232), kPrintInk);
    // Date of issue: label, then year, month and day units after their blanks.
    printText(card, text("发证日期："), body, inkBox(224, 241, 277, 251), kPrintInk);
    printText(card, text("年"), body, inkBox(314, 241, 324, 251), kPrintInk);
    printText(card, text("月"), body, inkBox(345, 241, 352, 251), kPrintInk);
    printText(card, text("日"), body, inkBox(376, 241, 383, 251), kPrintInk);
}

// ---------------------------------------------------------------------------
// The red seal, stamped last: ink multiplies with the paper and the print
// under it, so black print stays readable through the red.

const QPointF kSealCentre(338, 215);  // its box is pixels 292..383 × 169..260
constexpr qreal kSealRadius = 45.6;
constexpr qreal kSealTiltDegrees = -6;

// Deterministic ink grain: smooth value noise in 0..1 from the pixel position.
qreal hashNoise(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<qreal>((h ^ (h >> 16)) & 0xFFFFu) / 65535.0;
}

qreal grain(qreal x, qreal y) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const qreal fx = x - x0, fy = y - y0;
    const qreal top = hashNoise(x0, y0) * (1 - fx) + hashNoise(x0 + 1, y0) * fx;
    const qreal bottom = hashNoise(x0, y0 + 1) * (1 - fx) + hashNoise(x0 + 1, y0 + 1) * fx;
    return top * (1 - fy) + bottom * fy;
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner, qreal rotationDegrees = -90) {
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 == 0 ? outer : inner;
        const qreal angle = (rotationDegrees + i * 36.0) * std::numbers::pi / 180.0;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0) star.moveTo(point);
        else star.lineTo(point);
    }
    star.closeSubpath();
    return star;
}

// One glyph's outline centred on the origin, upright.
QPainterPath glyphPath(QChar glyph, const QFont& glyphFont) {
    QPainterPath path;
    path.addText(QPointF(0, 0), glyphFont, QString(glyph));
    const QRectF bounds = path.boundingRect();
    return QTransform::fromTranslate(-bounds.center().x(), -bounds.center().y()).map(path);
}

void stampSeal(QImage& card, const QString& ringText, const QString& centreText) {
    QImage layer(card.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const QColor red(0xD8, 0x1E, 0x24);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        // Stamped by hand: a few degrees off upright.
        painter.translate(kSealCentre);
        painter.rotate(kSealTiltDegrees);
        painter.translate(-kSealCentre);
        painter.setPen(QPen(red, 3.2));
        painter.setBrush(Qt::NoBrush);
        const qreal ring = kSealRadius - 1.6;
        painter.drawEllipse(kSealCentre, ring, ring);

        painter.setPen(Qt::NoPen);
        painter.setBrush(red);
        painter.drawPath(starPath(kSealCentre, 15, 6));

        // Ring text: upright glyphs, tops outward, spread evenly over an
        // arc centred on the top of the seal.
        const QFont ringFont = font(kSerif, 13, QFont::Bold);
        const int count = static_cast<int>(ringText.size());
        const qreal span = std::min(236.0, 29.0 * (count - 1));
        const qreal textRadius = kSealRadius - 12.8;
        for (int i = 0; i < count; ++i) {
            const qreal angle = -90.0 - span / 2 + (count > 1 ? span * i / (count - 1) : span / 2);
            const qreal radians = angle * std::numbers::pi / 180.0;
            QTransform place;
            place.translate(kSealCentre.x() + textRadius * std::cos(radians),
                            kSealCentre.y() + textRadius * std::sin(radians));
            place.rotate(angle + 90);
            painter.drawPath(place.map(glyphPath(ringText.at(i), ringFont)));
        }
        const QFont centreFont = font(kSerif, 11, QFont::Bold);
        QPainterPath centre;
        centre.addText(QPointF(0, 0), centreFont, centreText);
        const QRectF bounds = centre.boundingRect();
        painter.drawPath(QTransform::fromTranslate(kSealCentre.x() - bounds.center().x(),
                                                   kSealCentre.y() + 25 - bounds.center().y())
                             .map(centre));
    }
    // Uneven ink: a grain of a few pixels thins the colour here and there.
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(line[x]) == 0) continue;
            const qreal keep = 0.72 + 0.28 * grain(x / 3.1, y / 2.7) * (0.6 + 0.4 * hashNoise(x * 7, y * 5));
            const auto scale = [keep](int c) { return static_cast<int>(std::lround(c * keep)); };
            line[x] = qRgba(scale(qRed(line[x])), scale(qGreen(line[x])), scale(qBlue(line[x])), scale(qAlpha(line[x])));
        }
    }
    QPainter painter(&card);
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawImage(0, 0, layer);
}

// ---------------------------------------------------------------------------
// Left-part artwork.

struct Palette {
    QColor ornament;  // the emblem's pattern
    QColor deep;      // the wordmark band and the title outline
};

// A white medallion (pixels 37..156 × 29..153) with a guilloche rosette and
// a wordmark on a band across it.
void paintEmblem(QImage& card, const Palette& palette) {
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF medal(37, 29, 120, 125);
    const QPointF centre = medal.center();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(medal);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.ornament, 1.6));
    painter.drawEllipse(medal.adjusted(3.5, 3.5, -3.5, -3.5));
    painter.setPen(QPen(palette.ornament, 0.7));
    painter.drawEllipse(medal.adjusted(6.5, 6.5, -6.5, -6.5));

    // Rosette: two families of rotated ellipses, clipped inside the rings.
    QPainterPath clip;
    clip.addEllipse(medal.adjusted(8, 8, -8, -8));
    painter.setClipPath(clip);
    painter.setPen(QPen(mix(palette.ornament, Qt::white, 0.15), 0.55));
    for (int i = 0; i < 36; ++i) {
        painter.save();
        painter.translate(centre);
        painter.rotate(i * 5.0);
        painter.drawEllipse(QPointF(0, 0), 50, 17);
        painter.restore();
    }
    painter.setPen(QPen(mix(palette.ornament, Qt::white, 0.45), 0.5));
    for (int i = 0; i < 24; ++i) {
        painter.save();
        painter.translate(centre);
        painter.rotate(i * 15.0 + 7.5);
        painter.drawEllipse(QPointF(27, 0), 26, 26);
        painter.restore();
    }
    painter.setClipping(false);

    // The wordmark band.
    const QRectF band(41, centre.y() - 15, 112, 30);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(palette.deep);
    painter.drawRoundedRect(band, 4, 4);
    const QPainterPath word = textPathIn(text("灌水"), font(kSerif, 26, QFont::Bold),
                                         band.adjusted(22, 5, -22, -5), 14);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(word);
}

void paintOutlinedTitle(QImage& card, const QString& title, const QRectF& box, const QColor& fill,
                        const QColor& outline, qreal outlineWidth) {
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal half = outlineWidth / 2;
    const QPainterPath path =
        textPathIn(title, font(kSans, 20, QFont::Bold), box.adjusted(half, half, -half, -half), 6);
    painter.setPen(QPen(outline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(path);
}

// The brown design's star in a light ring (pixels 41..167 × 39..170).
void paintStarMedal(QImage& card) {
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(41, 39, 127, 132);
    const QPointF centre = ring.center();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xF6, 0xDE, 0xB8), 5));
    painter.drawEllipse(ring.adjusted(2.5, 2.5, -2.5, -2.5));
    painter.setPen(QPen(QColor(0xF6, 0xDE, 0xB8, 150), 1));
    painter.drawEllipse(ring.adjusted(9, 9, -9, -9));
    // Faint rays behind the star.
    painter.setPen(QPen(QColor(0xFF, 0xE8, 0xC8, 60), 1));
    for (int i = 0; i < 60; ++i) {
        const qreal angle = i * 6.0 * std::numbers::pi / 180.0;
        painter.drawLine(QPointF(centre.x() + 14 * std::cos(angle), centre.y() + 14 * std::sin(angle)),
                         QPointF(centre.x() + 52 * std::cos(angle), centre.y() + 52 * std::sin(angle)));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(starPath(centre + QPointF(0, 3), 52, 20));
}

void printIssuer(QImage& card, const QString& issuer, int right) {
    printText(card, issuer, font(kSerif, 13, QFont::Bold), inkBox(17, 239, right, 252), Qt::white);
}

// ---------------------------------------------------------------------------
// The designs.

const QString kWaterIssuer = QStringLiteral("环球灌水联合会");
const QString kBluffIssuer = QStringLiteral("宇宙忽悠研究总会");
const QString kSealCentreText = QStringLiteral("专用章");

Wording waterWording() {
    return {text("兹有本论坛"), text("同志"),
            {text("长期坚持灌水，发帖无数，内容"), text("空洞，言之无物，深得灌水之精"),
             text("髓。经本会审核，特发此证，准"), text("予在各大论坛自由灌水。")}};
}

Wording bluffWording() {
    return {text("兹证明学员"), text("同志"),
            {text("经本会考核，忽悠功底深厚，能"), text("把死的说成活的，把稻草说成金"),
             text("条。特发此证，准予持证上岗。")}};
}

QImage waterCard(const Gradient& gradient, const Palette& palette) {
    QImage card(kCardWidth, kCardHeight, QImage::Format_RGB32);
    paintBackground(card, gradient);
    paintGroove(card, gradient);
    paintEmblem(card, palette);
    paintOutlinedTitle(card, text("灌水员资格证书"), QRectF(12, 184, 178, 18), QColor(0xB4, 0xF0, 0xFF),
                       palette.deep, 2.0);
    printIssuer(card, kWaterIssuer + text("　颁发"), 182);
    paintPanel(card);
    printPanel(card, waterWording());
    stampSeal(card, kWaterIssuer, kSealCentreText);
    return card;
}

const Gradient kBrown{QColor(0xB2, 0x51, 0x26), QColor(0x8F, 0x43, 0x20), QColor(0x6E, 0x35, 0x1B)};

// The brown card before its seal is stamped: both brown templates are stamped
// on copies of one drawing, so they cannot differ outside the seal (text
// outlines are not guaranteed to come out bit-identical twice).
QImage unstampedBrownCard() {
    QImage card(kCardWidth, kCardHeight, QImage::Format_RGB32);
    paintBackground(card, kBrown);
    paintGroove(card, kBrown);
    paintStarMedal(card);
    {
        QPainter painter(&card);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPath(textPathIn(text("忽悠证"), font(kSerif, 36, QFont::Bold), QRectF(27, 186, 141, 36), 18));
    }
    printIssuer(card, kBluffIssuer + text("　颁发"), 181);
    paintPanel(card);
    printPanel(card, bluffWording());
    return card;
}

// ---------------------------------------------------------------------------
// The default photo and the window icon.

QImage defaultPhoto() {
    QImage photo(60, 70, QImage::Format_RGB32);
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(0, 0), 70);
    shade.setColorAt(0, QColor(0xDC, 0xDC, 0xDC));
    shade.setColorAt(1, QColor(0xEB, 0xEB, 0xEB));
    painter.fillRect(photo.rect(), shade);

    const QColor figure(0x99, 0x99, 0x99);
    painter.setPen(Qt::NoPen);
    painter.setBrush(figure);
    QPainterPath shoulders;
    shoulders.moveTo(2, 71);
    shoulders.cubicTo(2, 56, 12, 50, 22, 48);
    shoulders.lineTo(38, 48);
    shoulders.cubicTo(48, 50, 58, 56, 58, 71);
    shoulders.closeSubpath();
    painter.drawPath(shoulders);
    painter.drawRect(QRectF(24, 38, 12, 12));  // neck
    painter.drawEllipse(QRectF(15, 14, 30, 34));  // head

    painter.setBrush(QColor(0xDD, 0xDD, 0xDD));
    painter.drawPath(textPathIn(QStringLiteral("?"), font(kSans, 24, QFont::Bold), QRectF(24, 20, 12, 21)));
    return photo;
}

QImage windowIcon() {
    // RGB without alpha: every pixel of the icon is opaque by construction.
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(Qt::white);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x4A, 0x12, 0x6E);
    // A thin stroke of the same ink thickens the serif face towards a brush.
    painter.setPen(QPen(ink, 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    painter.drawPath(textPathIn(text("证"), font(kSerif, 28, QFont::Bold), QRectF(2.5, 2.5, 27, 27)));
    return icon;
}

bool writeBmp(const QDir& folder, const char* name, const QImage& picture) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (writeFile(path, bmpFileImage(picture))) return true;
    std::fprintf(stderr, "card-artwork: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace
}  // namespace artwork

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    using namespace artwork;
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TESS_ASSET_DIR));

    const Gradient blue{QColor(0x4D, 0xA2, 0xD3), QColor(0x29, 0x80, 0xC9), QColor(0x07, 0x60, 0xBF)};
    const Gradient purple{QColor(0xD0, 0x6F, 0xFF), QColor(0x9D, 0x39, 0xCE), QColor(0x6B, 0x05, 0x9D)};
    bool written = writeBmp(folder, "template-blue.bmp",
                            waterCard(blue, {QColor(0x1F, 0x6F, 0xB8), QColor(0x0B, 0x3C, 0x7A)}));
    written &= writeBmp(folder, "template-purple.bmp",
                        waterCard(purple, {QColor(0x8A, 0x2B, 0xBE), QColor(0x4A, 0x0B, 0x6E)}));
    // The brown pair differ only in the seal: the first carries the water
    // issuer's seal, the second its own issuer's.
    QImage brownA = unstampedBrownCard();
    QImage brownB = brownA.copy();
    stampSeal(brownA, kWaterIssuer, kSealCentreText);
    stampSeal(brownB, kBluffIssuer, kSealCentreText);
    written &= writeBmp(folder, "template-brown-a.bmp", brownA);
    written &= writeBmp(folder, "template-brown-b.bmp", brownB);
    written &= writeBmp(folder, "default-photo.bmp", defaultPhoto());
    const QString iconPath = folder.filePath(QStringLiteral("window-icon.png"));
    if (!windowIcon().save(iconPath, "PNG")) {
        std::fprintf(stderr, "card-artwork: cannot write %s\n", qPrintable(iconPath));
        written = false;
    }
    return written ? 0 : 1;
}

// The drawing surface: export bytes, clearing, rectangles, text, block copies,
// pictures and the font record, checked pixel by pixel without any window.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPalette>
#include <QRawFont>

#include <set>
#include <tuple>

#include "card/canvas_font.h"
#include "card/surface.h"
#include "card_test_support.h"
#include "pictures/picture.h"

namespace {

using card::DrawingState;
using card::FontField;
using card::Surface;
using cardtest::differences;
using cardtest::pixel;

constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kBlack = 0x000000;

class SurfaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cardtest::ensureGuiApplication(); }
};

DrawingState withBackground(card::Colour colour) {
    DrawingState state = DrawingState::cardCanvas();
    state.backgroundColour = colour;
    return state;
}

// The card font, so text metrics are exact pixel sizes whatever the dpi.
void useCardFont(Surface& surface) {
    surface.setFontField(FontField::FaceName, QStringLiteral("宋体"));
    surface.setFontField(FontField::Size, 10);
    surface.setFontField(FontField::Bold, 1);
}

QFont cardFont(const Surface& surface) {
    return card::buildFont(*surface.state().canvasFont, card::screenVerticalDpi());
}
QFontMetrics cardFontMetrics(const Surface& surface) { return QFontMetrics(cardFont(surface)); }
int cellHeight(const Surface& surface) { return card::textCell(*surface.state().canvasFont, cardFont(surface)).height; }

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// ---------------------------------------------------------------- export

TEST_F(SurfaceTest, FreshCardCanvasExportsTheWhiteCardFile) {
    const Surface surface(400, 280, DrawingState::cardCanvas());
    const std::vector<std::uint8_t> bmp = surface.getPicture();
    ASSERT_EQ(bmp.size(), 336054u);
    struct Field {
        const char* name;
        std::size_t offset;
        int size;
        std::uint32_t want;
    };
    const Field fields[] = {
        {"signature", 0, 2, 0x4D42},  {"file size", 2, 4, 336054}, {"reserved 1", 6, 2, 0},
        {"reserved 2", 8, 2, 0},      {"pixel offset", 10, 4, 54}, {"header size", 14, 4, 40},
        {"width", 18, 4, 400},        {"height", 22, 4, 280},      {"planes", 26, 2, 1},
        {"bits", 28, 2, 24},          {"compression", 30, 4, 0},   {"image size", 34, 4, 336000},
        {"x pixels per metre", 38, 4, 0}, {"y pixels per metre", 42, 4, 0}, {"colours used", 46, 4, 0},
        {"important colours", 50, 4, 0},
    };
    for (const Field& f : fields) {
        const std::uint32_t have = f.size == 2 ? le16(bmp, f.offset) : le32(bmp, f.offset);
        EXPECT_EQ(have, f.want) << f.name;
    }
    for (std::size_t i = 54; i < bmp.size(); ++i) ASSERT_EQ(bmp[i], 0xFF) << "pixel byte " << i;
}

TEST_F(SurfaceTest, ExportStoresRowsBottomUpInBlueGreenRedPaddedToFourBytes) {
    // 3 × 2: rows of 9 bytes padded to 12. Black at the top-left, blue at the
    // bottom-right, white elsewhere.
    Surface surface(3, 2, DrawingState::cardCanvas());
    surface.drawRectangle(0, 0, 1, 1);
    Surface blue(1, 1, withBackground(0xFF0000));
    blue.copyTo(surface, {}, {}, {}, {}, 2, 1);

    const std::vector<std::uint8_t> bmp = surface.getPicture();
    ASSERT_EQ(bmp.size(), 54u + 24u);
    EXPECT_EQ(le32(bmp, 2), 78u);
    EXPECT_EQ(le32(bmp, 34), 24u);
    EXPECT_EQ(le32(bmp, 18), 3u);
    EXPECT_EQ(le32(bmp, 22), 2u);
    const std::vector<std::uint8_t> rows(bmp.begin() + 54, bmp.end());
    const std::vector<std::uint8_t> want = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0, 0, 0,  // bottom row: white, white, blue
        0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0,  // top row: black, white, white
    };
    EXPECT_EQ(rows, want);
}

TEST_F(SurfaceTest, WithoutAKeptPictureThereIsNothingToExport) {
    const Surface surface(10, 10, DrawingState{});  // autoRedraw off
    EXPECT_TRUE(surface.memoryPicture().isNull());
    EXPECT_TRUE(surface.getPicture().empty());
}

// ---------------------------------------------------------------- clear

TEST_F(SurfaceTest, ClearFillsTheNormalisedAreaAndMovesTheCurrentPosition) {
    struct Case {
        const char* name;
        std::optional<int> left, top, width, height;
        QRect area;  // cleared part of a 40 × 30 surface
        QPoint position;
    };
    const Case cases[] = {
        {"whole", {}, {}, {}, {}, QRect(0, 0, 40, 30), QPoint(0, 0)},
        {"left only keeps the right edge", 25, {}, {}, {}, QRect(25, 0, 15, 30), QPoint(25, 0)},
        {"negative size normalised", 10, 20, -5, 5, QRect(5, 20, 5, 5), QPoint(5, 20)},
        {"partly outside", -4, 26, 8, 100, QRect(0, 26, 4, 4), QPoint(-4, 26)},
        {"left beyond the right edge", 50, {}, {}, {}, QRect(), QPoint(40, 0)},
    };
    for (const Case& c : cases) {
        DrawingState state = DrawingState::cardCanvas();
        state.brushColour = 0x000000;
        Surface surface(40, 30, state);
        surface.drawRectangle(0, 0, 40, 30);  // all black
        surface.clear(c.left, c.top, c.width, c.height);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(pixel(surface, x, y), c.area.contains(x, y) ? kWhite : kBlack)
                    << c.name << " at " << x << "," << y;
        EXPECT_EQ(surface.currentPosition(), c.position) << c.name;
    }
}

TEST_F(SurfaceTest, TheMarkerBackgroundIsTheButtonFaceColour) {
    const Surface surface(4, 4, withBackground(card::kSystemColourMarker));
    EXPECT_EQ(pixel(surface, 0, 0), QPalette().color(QPalette::Button).rgb() & 0xFFFFFFu);
}

// ---------------------------------------------------------------- rectangle

std::set<std::pair<int, int>> ringPixels(int left, int top, int right, int bottom) {
    std::set<std::pair<int, int>> ring;
    for (int x = left; x < right; ++x) ring.insert({x, top}), ring.insert({x, bottom - 1});
    for (int y = top; y < bottom; ++y) ring.insert({left, y}), ring.insert({right - 1, y});
    return ring;
}

TEST_F(SurfaceTest, HollowRectangleIsExactlyTheOnePixelRingInsideItsBox) {
    const std::tuple<int, int, int, int> given[] = {{324, 15, 384, 80}, {384, 80, 324, 15}, {384, 15, 324, 80}};
    for (const auto& [l, t, r, b] : given) {
        Surface surface(400, 280, DrawingState::cardCanvas());
        const QImage before = surface.memoryPicture();
        surface.setBrushType(0);
        surface.drawRectangle(l, t, r, b);
        std::set<std::pair<int, int>> changed;
        for (const QPoint& p : differences(before, surface.memoryPicture())) {
            changed.insert({p.x(), p.y()});
            ASSERT_EQ(pixel(surface, p.x(), p.y()), kBlack) << "not a solid pen pixel at " << p.x() << "," << p.y();
        }
        EXPECT_EQ(changed, ringPixels(324, 15, 384, 80)) << "given " << l << "," << t << "," << r << "," << b;
    }
}

TEST_F(SurfaceTest, SolidBrushFillsTheInsideAndClippingKeepsTheVisibleRing) {
    DrawingState state = DrawingState::cardCanvas();
    state.brushColour = 0x0000FF;  // red
    Surface surface(20, 20, state);
    surface.drawRectangle(-5, -5, 10, 10);
    EXPECT_EQ(pixel(surface, 0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(surface, 8, 8), 0xFF0000u);
    EXPECT_EQ(pixel(surface, 9, 0), kBlack);
    EXPECT_EQ(pixel(surface, 0, 9), kBlack);
    EXPECT_EQ(pixel(surface, 10, 10), kWhite);

    // A box without width or height has no columns or rows to draw.
    Surface flat(20, 20, state);
    flat.drawRectangle(5, 5, 5, 15);
    EXPECT_TRUE(differences(Surface(20, 20, state).memoryPicture(), flat.memoryPicture()).empty());
}

TEST_F(SurfaceTest, BrushTypeIsClampedIntoItsRange) {
    Surface surface(1, 1, DrawingState::cardCanvas());
    for (const auto& [given, want] : {std::pair{-1, 0}, {0, 0}, {55, 55}, {56, 55}, {1 << 30, 55}}) {
        surface.setBrushType(given);
        EXPECT_EQ(surface.state().brushType, want) << given;
    }
}

// ---------------------------------------------------------------- text

TEST_F(SurfaceTest, EmptyTextDrawsNothing) {
    Surface surface(100, 40, DrawingState::cardCanvas());
    useCardFont(surface);
    const QImage before = surface.memoryPicture();
    surface.writeAt(10, 10, {QString()});
    surface.writeAt(10, 10, {});
    surface.writeAt(10, 10, {QString(), QString()});
    EXPECT_TRUE(differences(before, surface.memoryPicture()).empty());
}

TEST_F(SurfaceTest, TransparentTextChangesOnlyGlyphPixelsInItsCell) {
    Surface surface(100, 40, DrawingState::cardCanvas());
    useCardFont(surface);
    surface.setTextColour(0x0000FF);
    const QImage before = surface.memoryPicture();
    surface.writeAt(10, 10, {QStringLiteral("W.")});
    const QFontMetrics metrics = cardFontMetrics(surface);
    const QRect cell(10, 10, metrics.horizontalAdvance(QStringLiteral("W.")), cellHeight(surface));

    const std::vector<QPoint> changed = differences(before, surface.memoryPicture());
    ASSERT_FALSE(changed.empty());
    bool pureTextColour = false;
    for (const QPoint& p : changed) {
        EXPECT_TRUE(cell.contains(p)) << p.x() << "," << p.y() << " outside the text cell";
        pureTextColour = pureTextColour || pixel(surface, p.x(), p.y()) == 0xFF0000u;
    }
    EXPECT_TRUE(pureTextColour) << "no glyph pixel in the text colour";
    // Most of the cell of "W." is not glyph and stays white.
    EXPECT_LT(changed.size(), static_cast<std::size_t>(cell.width() * cell.height()) / 2);
}

TEST_F(SurfaceTest, SongTextFillsItsOneEmCellFromTheTop) {
    // Card labels are printed for 宋体, whose 13-pixel cell the ideographs
    // fill from top to bottom; a stand-in face must not sit lower than that.
    Surface surface(60, 40, DrawingState::cardCanvas());
    useCardFont(surface);
    const QImage before = surface.memoryPicture();
    surface.writeAt(5, 10, {QStringLiteral("姓名")});
    int top = 40, bottom = -1;
    for (const QPoint& p : differences(before, surface.memoryPicture())) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    EXPECT_GE(top, 8);  // antialiased ink may reach a row above the cell
    EXPECT_LE(top, 11);
    EXPECT_GE(bottom, 20);
    EXPECT_LE(bottom, 23);
}

TEST_F(SurfaceTest, OpaqueTextBackgroundBoxesEachLine) {
    DrawingState state = DrawingState::cardCanvas();
    state.textBackColour = 0x00FF00;  // green
    Surface surface(100, 60, state);
    useCardFont(surface);
    // Each line ends in "." so no glyph overhangs its box (a bold W may).
    surface.writeAt(10, 10, {QStringLiteral("W.\nW.")});
    const QFontMetrics metrics = cardFontMetrics(surface);
    const int line = cellHeight(surface) + 2;
    const QRect first(10, 10, metrics.horizontalAdvance(QStringLiteral("W.")), cellHeight(surface));
    const QRect second = first.translated(0, line);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool boxed = first.contains(x, y) || second.contains(x, y);
            ASSERT_EQ(pixel(surface, x, y) == kWhite, !boxed) << x << "," << y;
        }
    EXPECT_EQ(pixel(surface, first.right(), first.top()), 0x00FF00u);
}

// Each row: text written in one call, and the same picture written piece by
// piece at the points the line rules give (dx, dy in advances and lines).
TEST_F(SurfaceTest, LineBreaksAndValuesPlaceEachPieceWhereTheRulesSay) {
    struct Piece {
        QString text;
        int lineCount;  // lines of (height + 2) below the start
        QString before; // text whose advance precedes the piece on its line
    };
    struct Case {
        const char* name;
        std::vector<card::TextValue> values;
        std::vector<Piece> pieces;
    };
    const QString ab = QStringLiteral("ab"), cd = QStringLiteral("cd");
    const Case cases[] = {
        {"CR LF", {QStringLiteral("ab\r\ncd")}, {{ab, 0, {}}, {cd, 1, {}}}},
        {"lone CR", {QStringLiteral("ab\rcd")}, {{ab, 0, {}}, {cd, 1, {}}}},
        {"lone LF", {QStringLiteral("ab\ncd")}, {{ab, 0, {}}, {cd, 1, {}}}},
        {"LF LF is one break", {QStringLiteral("ab\n\ncd")}, {{ab, 0, {}}, {cd, 1, {}}}},
        {"LF CR is two breaks", {QStringLiteral("ab\n\rcd")}, {{ab, 0, {}}, {cd, 2, {}}}},
        {"empty line between breaks", {QStringLiteral("ab\r\n\r\ncd")}, {{ab, 0, {}}, {cd, 2, {}}}},
        {"second value continues the line", {ab, std::int64_t{-12}}, {{ab, 0, {}}, {QStringLiteral("-12"), 0, ab}}},
        {"value ending in a break", {QStringLiteral("ab\n"), cd}, {{ab, 0, {}}, {cd, 1, {}}}},
        {"after a break back to the start x", {QStringLiteral("x"), QStringLiteral("ab\ncd")},
         {{QStringLiteral("x"), 0, {}}, {ab, 0, QStringLiteral("x")}, {cd, 1, {}}}},
    };
    for (const Case& c : cases) {
        Surface whole(120, 80, DrawingState::cardCanvas());
        useCardFont(whole);
        whole.writeAt(7, 5, c.values);

        Surface pieces(120, 80, DrawingState::cardCanvas());
        useCardFont(pieces);
        const QFontMetrics metrics = cardFontMetrics(pieces);
        for (const Piece& p : c.pieces)
            pieces.writeAt(7 + metrics.horizontalAdvance(p.before), 5 + p.lineCount * (cellHeight(pieces) + 2),
                           {p.text});
        EXPECT_TRUE(differences(whole.memoryPicture(), pieces.memoryPicture()).empty()) << c.name;
        EXPECT_FALSE(differences(whole.memoryPicture(), Surface(120, 80, DrawingState::cardCanvas()).memoryPicture()).empty()) << c.name;
    }
}

TEST_F(SurfaceTest, OmittedPointIsTheCurrentPositionWhichTextLeavesAlone) {
    Surface given(80, 40, DrawingState::cardCanvas());
    useCardFont(given);
    given.writeAt(12, 9, {QStringLiteral("ab")});

    Surface omitted(80, 40, DrawingState::cardCanvas());
    useCardFont(omitted);
    omitted.clear(12, 9, 0, 0);
    omitted.writeAt({}, {}, {QStringLiteral("ab")});
    EXPECT_EQ(omitted.currentPosition(), QPoint(12, 9));
    EXPECT_TRUE(differences(given.memoryPicture(), omitted.memoryPicture()).empty());
}

TEST_F(SurfaceTest, AnAngleOfNinetyDegreesWritesUpwardFromThePoint) {
    Surface surface(60, 60, DrawingState::cardCanvas());
    useCardFont(surface);
    surface.setFontField(FontField::Angle, 900);
    const QImage before = surface.memoryPicture();
    surface.writeAt(20, 50, {QStringLiteral("姓名")});
    const std::vector<QPoint> changed = differences(before, surface.memoryPicture());
    ASSERT_FALSE(changed.empty());
    int highest = 60;
    for (const QPoint& p : changed) {
        EXPECT_LE(p.y(), 51) << p.x() << "," << p.y();
        EXPECT_GE(p.x(), 17) << p.x() << "," << p.y();  // ink may reach two pixels past the cell top
        highest = std::min(highest, p.y());
    }
    EXPECT_LT(highest, 30) << "two characters reach well above the point";
}

TEST_F(SurfaceTest, TextFarOutsideThePictureIsClippedAway) {
    Surface surface(50, 20, DrawingState::cardCanvas());
    useCardFont(surface);
    const QImage before = surface.memoryPicture();
    for (const auto& [x, y] : {std::pair{-2147483647, 0}, {2147483647, 2147483647}, {0, -100}, {60, 0}})
        surface.writeAt(x, y, {QStringLiteral("姓名 12\nab")});
    EXPECT_TRUE(differences(before, surface.memoryPicture()).empty());
}

// ---------------------------------------------------------------- copyTo

TEST_F(SurfaceTest, CopyToCopiesOnlyTheOverlapAtItsOffset) {
    struct Case {
        const char* name;
        std::optional<int> left, top, width, height, targetX, targetY;
        QRect black;  // where the 10 × 10 black source lands on the 20 × 20 white target
    };
    const Case cases[] = {
        {"defaults", {}, {}, {}, {}, {}, {}, QRect(0, 0, 10, 10)},
        {"zero width", {}, {}, 0, {}, {}, {}, QRect()},
        {"negative height", {}, {}, {}, -3, {}, {}, QRect()},
        {"wholly outside", 10, 0, 5, 5, {}, {}, QRect()},
        {"partly before the source", -5, -5, 10, 10, 0, 0, QRect(5, 5, 5, 5)},
        {"clipped by the target", {}, {}, {}, {}, 15, 17, QRect(15, 17, 5, 3)},
        {"inner part", 2, 3, 4, 5, 1, 1, QRect(1, 1, 4, 5)},
    };
    for (const Case& c : cases) {
        const Surface source(10, 10, withBackground(0x000000));
        Surface target(20, 20, DrawingState::cardCanvas());
        QRect notified;
        target.setChangeListener([&](const QRect& area) { notified |= area; });
        source.copyTo(target, c.left, c.top, c.width, c.height, c.targetX, c.targetY);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(pixel(target, x, y), c.black.contains(x, y) ? kBlack : kWhite)
                    << c.name << " at " << x << "," << y;
        EXPECT_EQ(notified, c.black) << c.name;
    }
}

// ---------------------------------------------------------------- pictures

TEST_F(SurfaceTest, DeadHandlesDrawNothing) {
    Surface surface(20, 20, DrawingState::cardCanvas());
    const QImage before = surface.memoryPicture();
    surface.drawPicture(0, 0, 0);
    surface.drawPicture(0, 0, 0, 10, 10);
    surface.drawPicture(987654, 0, 0);
    EXPECT_TRUE(differences(before, surface.memoryPicture()).empty());
}

struct LoadedPicture {
    explicit LoadedPicture(const std::vector<std::uint8_t>& bytes)
        : handle(pictures::loadPicture(bytes.data(), static_cast<std::int64_t>(bytes.size()))) {}
    ~LoadedPicture() { pictures::unloadPicture(handle); }
    pictures::PictureHandle handle;
};

TEST_F(SurfaceTest, NaturalSizePicturesAreCopiedAndClippedAtTheEdges) {
    // A 4 × 3 picture whose pixel colour encodes its position.
    const auto colourAt = [](int x, int y) { return qRgb(10 + 40 * x, 20 + 60 * y, 7); };
    const LoadedPicture picture(cardtest::bmp24(4, 3, colourAt));
    ASSERT_NE(picture.handle, 0) << "the BMP decoder does not load a plain 24-bit file";
    Surface surface(10, 10, DrawingState::cardCanvas());
    surface.drawPicture(picture.handle, 8, -1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 8 && y < 2;
            ASSERT_EQ(pixel(surface, x, y), inside ? colourAt(x - 8, y + 1) & 0xFFFFFFu : kWhite) << x << "," << y;
        }
}

TEST_F(SurfaceTest, StretchingAveragesWhenSmoothElseRepeatsWholeRowsAndColumns) {
    // Black and white columns: squeezed to half width, smooth averaging gives
    // grey, the other rule keeps whole columns of black or white.
    const LoadedPicture stripes(cardtest::bmp24(8, 2, [](int x, int) { return x % 2 ? qRgb(255, 255, 255) : 0u; }));
    ASSERT_NE(stripes.handle, 0);
    for (const bool smooth : {true, false}) {
        Surface surface(4, 4, DrawingState::cardCanvas());
        surface.setSmoothStretching(smooth);
        surface.drawPicture(stripes.handle, 0, 0, 4, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int grey = qRed(pixel(surface, x, y));
                if (smooth)
                    EXPECT_NEAR(grey, 128, 2) << "smooth at " << x << "," << y;
                else
                    EXPECT_TRUE(grey == 0 || grey == 255) << "nearest at " << x << "," << y << ": " << grey;
            }
    }
}

// An 8 × 1 one-bit PCX, bits 0000 1111.
std::vector<std::uint8_t> pcx1EightByOne() {
    std::vector<std::uint8_t> file(128, 0);
    file[0] = 0x0A;
    file[1] = 3;  // version
    file[2] = 1;  // run-length coding
    file[3] = 1;  // bits per pixel
    file[8] = 7;  // xmax; ymin, ymax and xmin stay 0
    file[65] = 1;  // planes
    file[66] = 1;  // bytes per line
    file.push_back(0x0F);
    return file;
}

// A 2 × 2 24-bit icon whose mask makes the top-left pixel transparent.
std::vector<std::uint8_t> iconTwoByTwo() {
    std::vector<std::uint8_t> file = {0, 0, 1, 0, 1, 0,                       // icon, one entry
                                      2, 2, 0, 0, 1, 0, 24, 0, 64, 0, 0, 0, 22, 0, 0, 0};
    const std::uint8_t info[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0};  // height counts the mask rows
    file.insert(file.end(), info, info + 40);
    for (int row = 0; row < 2; ++row)  // colour rows bottom-up, blue pixels, padded to 8 bytes
        file.insert(file.end(), {0xFF, 0, 0, 0xFF, 0, 0, 0, 0});
    file.insert(file.end(), {0x00, 0, 0, 0});  // mask, bottom row: both opaque
    file.insert(file.end(), {0x80, 0, 0, 0});  // mask, top row: left pixel transparent
    return file;
}

TEST_F(SurfaceTest, OneBitPcxTakesItsColoursFromTheContextAndIconMasksLeaveTheSurface) {
    DrawingState state = DrawingState::cardCanvas();
    state.brushColour = 0x0000FF;  // red for 0 bits
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        card::Colour textBack;
        std::vector<std::pair<QPoint, QRgb>> probes;
    };
    const Case cases[] = {
        {"pcx, transparent text background", pcx1EightByOne(), card::kSystemColourMarker,
         {{{0, 0}, 0xFF0000}, {{3, 0}, 0xFF0000}, {{4, 0}, kWhite}, {{7, 0}, kWhite}}},
        {"pcx, green text background", pcx1EightByOne(), 0x00FF00,
         {{{3, 0}, 0xFF0000}, {{4, 0}, 0x00FF00}, {{7, 0}, 0x00FF00}}},
        {"icon", iconTwoByTwo(), card::kSystemColourMarker,
         {{{0, 0}, 0x123456}, {{1, 0}, 0x0000FF}, {{0, 1}, 0x0000FF}, {{1, 1}, 0x0000FF}}},
    };
    for (const Case& c : cases) {
        const LoadedPicture picture(c.bytes);
        ASSERT_NE(picture.handle, 0) << c.name;
        DrawingState drawn = state;
        drawn.textBackColour = c.textBack;
        Surface surface(8, 2, drawn);
        // What was there before, to see the icon's mask leave it.
        const Surface under(8, 2, withBackground(0x563412));
        under.copyTo(surface);
        surface.drawPicture(picture.handle, 0, 0);
        for (const auto& [at, want] : c.probes)
            EXPECT_EQ(pixel(surface, at.x(), at.y()), want) << c.name << " at " << at.x() << "," << at.y();
    }
}

TEST_F(SurfaceTest, HugeOrEmptyStretchTargetsAreSafe) {
    const LoadedPicture dot(cardtest::bmp24(2, 2, [](int, int) { return 0u; }));
    ASSERT_NE(dot.handle, 0);
    Surface surface(10, 10, DrawingState::cardCanvas());
    const QImage before = surface.memoryPicture();
    surface.drawPicture(dot.handle, 0, 0, 0, 5);
    surface.drawPicture(dot.handle, 0, 0, 5, -5);
    EXPECT_TRUE(differences(before, surface.memoryPicture()).empty());
    surface.drawPicture(dot.handle, -1000000, -1000000, 2000000000, 2000000000);
    EXPECT_EQ(pixel(surface, 5, 5), kBlack);
}

// ---------------------------------------------------------------- fonts

TEST_F(SurfaceTest, FontFieldWritesFollowTheRecordRules) {
    using Value = std::variant<int, QString>;
    struct Case {
        const char* name;
        FontField field;
        Value value;
        std::function<bool(const card::FontRecord&)> holds;
    };
    const QString thirtyOneBytes(31, u'a');
    const QString fifteenHanziAndOne = QString(15, u'宋') + u'a';  // 31 bytes
    const Case cases[] = {
        {"32 ASCII bytes", FontField::FaceName, QString(32, u'a'), [](auto& r) { return r.faceName == "宋体"; }},
        {"31 ASCII bytes kept", FontField::FaceName, thirtyOneBytes,
         [&](auto& r) { return r.faceName == thirtyOneBytes; }},
        {"16 hanzi are 32 bytes", FontField::FaceName, QString(16, u'宋'), [](auto& r) { return r.faceName == "宋体"; }},
        {"31 mixed bytes kept", FontField::FaceName, fifteenHanziAndOne,
         [&](auto& r) { return r.faceName == fifteenHanziAndOne; }},
        {"empty face", FontField::FaceName, QString(), [](auto& r) { return r.faceName == "宋体"; }},
        {"negative size", FontField::Size, -4, [](auto& r) { return r.size == 0; }},
        {"bold any non-zero", FontField::Bold, 2, [](auto& r) { return r.bold; }},
        {"italic off", FontField::Italic, 0, [](auto& r) { return !r.italic; }},
        {"angle 3600", FontField::Angle, 3600, [](auto& r) { return r.angle == 0; }},
        {"angle 3725", FontField::Angle, 3725, [](auto& r) { return r.angle == 125; }},
        {"angle -1", FontField::Angle, -1, [](auto& r) { return r.angle == 3599; }},
        {"angle -7200", FontField::Angle, -7200, [](auto& r) { return r.angle == 0; }},
    };
    for (const Case& c : cases) {
        Surface surface(1, 1, DrawingState::cardCanvas());
        surface.setFontField(c.field, c.value);
        ASSERT_TRUE(surface.state().canvasFont) << c.name;
        EXPECT_TRUE(c.holds(*surface.state().canvasFont)) << c.name;
    }
}

TEST_F(SurfaceTest, FaceSizeAndBoldWrittenInTurnGiveBoldSongThirteenPixels) {
    Surface surface(1, 1, DrawingState::cardCanvas());
    surface.setFontField(FontField::Angle, 0);  // starts from the default font's description
    EXPECT_EQ(surface.state().canvasFont->faceName, QGuiApplication::font().family());
    useCardFont(surface);
    const card::FontRecord record = *surface.state().canvasFont;
    EXPECT_EQ(record.faceName, "宋体");
    EXPECT_EQ(record.size, 10);
    EXPECT_TRUE(record.bold);
    const QFont font = card::buildFont(record, 96.0);
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_EQ(font.families(), QStringList{card::resolveFaceName("宋体")});
    EXPECT_EQ(card::emHeightPixels(10, 120.0), 17);  // 16.67 rounds up
    EXPECT_EQ(card::emHeightPixels(9, 96.0), 12);
}

TEST_F(SurfaceTest, SongFaceResolvesToAFaceWithGlyphsForTheCardText) {
    const QString family = card::resolveFaceName(QStringLiteral("宋体"));
    EXPECT_TRUE(QFontDatabase::families().contains(family)) << family.toStdString();
    QFont font(family);
    font.setPixelSize(13);
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    EXPECT_EQ(raw.familyName(), family);
    for (const QChar c : QStringLiteral("姓名性别年龄0123456789"))
        EXPECT_TRUE(raw.supportsCharacter(c)) << "no glyph for U+" << std::hex << static_cast<int>(c.unicode());
    // Other names are the platform's business.
    EXPECT_EQ(card::resolveFaceName(QStringLiteral("DejaVu Sans")), "DejaVu Sans");
}

}  // namespace

// The card composition on a headless surface with only a QGuiApplication:
// template choice, photo area and frame, texts and the date.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QTemporaryDir>

#include "card/canvas_font.h"
#include "card/card_composer.h"
#include "card_test_support.h"
#include "pictures/assets.h"

namespace {

using card::CardDate;
using card::CardInputs;
using card::ComposeResult;
using card::DrawingState;
using card::Surface;
using cardtest::differences;
using cardtest::pixel;

constexpr QRect kPhotoBox(324, 15, 60, 65);
constexpr QRgb kRed = 0xFF0000;
const CardDate kDate{2025, 1, 9};

QImage decodedAsset(std::span<const std::uint8_t> bytes) {
    return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP").convertToFormat(QImage::Format_RGB32);
}

class ComposeCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cardtest::ensureGuiApplication(); }

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        // A red photo of its own shape, so any size can be seen filling the box.
        const auto red = cardtest::bmp24(30, 41, [](int, int) { return qRgb(255, 0, 0); });
        ASSERT_TRUE(cardtest::writeFile("photo.bmp", red));
        ASSERT_TRUE(cardtest::writeFile("a[1].bmp", red));
        ASSERT_TRUE(cardtest::writeFile("b1.bmp", red));
        ASSERT_TRUE(cardtest::writeFile("notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'}));
        ASSERT_TRUE(QDir().mkdir("folder"));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    static QImage compose(const CardInputs& inputs, const CardDate& date = kDate) {
        Surface surface(400, 280, DrawingState::cardCanvas());
        EXPECT_EQ(card::composeCard(surface, inputs, date), ComposeResult::Done);
        return surface.memoryPicture();
    }

    static CardInputs withPhoto(const QString& path) {
        CardInputs inputs;
        inputs.photoPath = path;
        return inputs;
    }

    QTemporaryDir dir_;
    QString previous_;
};

// Inside the frame: the photo's pixels, one ring in from the box edge.
QRect insideFrame() { return kPhotoBox.adjusted(1, 1, -1, -1); }

void expectFrame(const QImage& card, const char* name) {
    for (int x = kPhotoBox.left(); x <= kPhotoBox.right(); ++x)
        for (const int y : {kPhotoBox.top(), kPhotoBox.bottom()})
            ASSERT_EQ(card.pixel(x, y) & 0xFFFFFFu, 0u) << name << ": frame at " << x << "," << y;
    for (int y = kPhotoBox.top(); y <= kPhotoBox.bottom(); ++y)
        for (const int x : {kPhotoBox.left(), kPhotoBox.right()})
            ASSERT_EQ(card.pixel(x, y) & 0xFFFFFFu, 0u) << name << ": frame at " << x << "," << y;
}

TEST_F(ComposeCard, APhotoOfAnyShapeFillsTheBoxUnderItsOnePixelFrame) {
    const QImage card = compose(withPhoto("photo.bmp"));
    const QImage templ = decodedAsset(pictures::templatePicture(1));
    expectFrame(card, "photo");
    for (int y = insideFrame().top(); y <= insideFrame().bottom(); ++y)
        for (int x = insideFrame().left(); x <= insideFrame().right(); ++x)
            ASSERT_EQ(card.pixel(x, y) & 0xFFFFFFu, kRed) << x << "," << y;
    // Just outside the box the template is untouched.
    for (const QPoint& p : {QPoint(323, 40), QPoint(384, 40), QPoint(350, 14), QPoint(350, 80)})
        EXPECT_EQ(card.pixel(p), templ.pixel(p)) << p.x() << "," << p.y();
}

TEST_F(ComposeCard, TheDefaultPhotoIsSqueezedToSixtyBySixtyFive) {
    const QImage card = compose(withPhoto(""));
    const QImage want = decodedAsset(pictures::defaultPhoto())
                            .scaled(kPhotoBox.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(want.size(), QSize(60, 65));
    int worst = 0;
    for (int y = 1; y < 64; ++y)
        for (int x = 1; x < 59; ++x) {
            const QRgb have = card.pixel(kPhotoBox.left() + x, kPhotoBox.top() + y);
            const QRgb w = want.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(have) - qRed(w)), std::abs(qGreen(have) - qGreen(w)),
                              std::abs(qBlue(have) - qBlue(w))});
        }
    EXPECT_LE(worst, 8) << "have the photo area, want the default photo at 60 x 65";
    expectFrame(card, "default photo");
}

TEST_F(ComposeCard, PathsThatExistButDoNotLoadLeaveTheTemplateInTheFrame) {
    const QImage templ = decodedAsset(pictures::templatePicture(1));
    for (const char* path : {"folder", "pho*.bmp", "p?oto.bmp", "notes.txt"}) {
        const QImage card = compose(withPhoto(path));
        for (int y = insideFrame().top(); y <= insideFrame().bottom(); ++y)
            for (int x = insideFrame().left(); x <= insideFrame().right(); ++x)
                ASSERT_EQ(card.pixel(x, y), templ.pixel(x, y)) << path << " at " << x << "," << y;
        expectFrame(card, path);
    }
}

TEST_F(ComposeCard, TrimmedPathsChooseBetweenTheFileAndTheDefaultPhoto) {
    const QRgb defaultPhotoCentre = compose(withPhoto("")).pixel(kPhotoBox.center()) & 0xFFFFFFu;
    ASSERT_NE(defaultPhotoCentre, kRed);
    struct Case {
        const char* name;
        QString path;
        bool loadsPhoto;
    };
    const Case cases[] = {
        {"leading space, trailing full-width space", " photo.bmp\u3000", true},
        {"full-width spaces both ends", "\u3000\u3000photo.bmp \u3000", true},
        {"trailing tab", "photo.bmp\t", false},
        {"bracket matches itself", "a[1].bmp", true},
        {"bracket is no character class", "b[1].bmp", false},
        {"absolute path", dir_.filePath("photo.bmp"), true},
        {"only spaces", " \u3000 ", false},
        {"missing file", "nothing.bmp", false},
    };
    for (const Case& c : cases) {
        const QRgb centre = compose(withPhoto(c.path)).pixel(kPhotoBox.center()) & 0xFFFFFFu;
        EXPECT_EQ(centre, c.loadsPhoto ? kRed : defaultPhotoCentre) << c.name;
    }
}

TEST_F(ComposeCard, TemplateIndexPicksTemplateIndexPlusOne) {
    const QRect leftArt(0, 0, 198, 280);
    const QRect sealRingTop(292, 169, 92, 50);  // where the two brown cards differ
    for (int index = 0; index < pictures::kTemplateCount; ++index) {
        CardInputs inputs;
        inputs.templateIndex = index;
        const QImage card = compose(inputs);
        const QImage templ = decodedAsset(pictures::templatePicture(index + 1));
        EXPECT_FALSE(cardtest::anyDifferenceIn(card, templ, leftArt)) << "index " << index;
        EXPECT_FALSE(cardtest::anyDifferenceIn(card, templ, sealRingTop)) << "index " << index;
    }
}

TEST_F(ComposeCard, TemplateOutOfRangeStopsAfterTheWhiteFill) {
    for (const int index : {-1, 4, 2147483647, -2147483647 - 1}) {
        Surface surface(400, 280, DrawingState::cardCanvas());
        card::composeCard(surface, CardInputs{}, kDate);  // a whole card first
        CardInputs inputs;
        inputs.templateIndex = index;
        EXPECT_EQ(card::composeCard(surface, inputs, kDate), ComposeResult::TemplateOutOfRange) << index;
        for (int y = 0; y < 280; ++y)
            for (int x = 0; x < 400; ++x)
                ASSERT_EQ(pixel(surface, x, y), 0xFFFFFFu) << "index " << index << " at " << x << "," << y;
    }
}

TEST_F(ComposeCard, TwoCallsGiveByteIdenticalCards) {
    CardInputs inputs = withPhoto("photo.bmp");
    inputs.name = "张三";
    inputs.sex = "男";
    inputs.age = "25";
    inputs.templateIndex = 2;
    Surface surface(400, 280, DrawingState::cardCanvas());
    card::composeCard(surface, inputs, kDate);
    const std::vector<std::uint8_t> first = surface.getPicture();
    card::composeCard(surface, inputs, kDate);
    Surface fresh(400, 280, DrawingState::cardCanvas());
    card::composeCard(fresh, inputs, kDate);
    ASSERT_EQ(first.size(), 336054u);
    EXPECT_EQ(first, surface.getPicture());
    EXPECT_EQ(first, fresh.getPicture());
}

// The first and last columns that differ from the card without that text,
// in the band of rows from the point down to the next printed line and the
// columns from the point up to the next item on the line.
std::pair<int, int> changedColumns(const QImage& card, const QImage& without, QPoint at, int untilX) {
    constexpr int kBand = 17;  // printed lines are 16 to 17 pixels apart
    int first = -1, last = -1;
    for (const QPoint& p : differences(card, without)) {
        if (p.y() < at.y() || p.y() >= at.y() + kBand || p.x() < at.x() - 2 || p.x() >= untilX) continue;
        if (first < 0 || p.x() < first) first = p.x();
        last = std::max(last, p.x());
    }
    return {first, last};
}

TEST_F(ComposeCard, TextsGoToTheirPointsInPlainDecimalAndEmptyTextsDrawNothing) {
    Surface probe(1, 1, DrawingState::cardCanvas());
    probe.setFontField(card::FontField::FaceName, QStringLiteral("宋体"));
    probe.setFontField(card::FontField::Size, 10);
    probe.setFontField(card::FontField::Bold, 1);
    const QFontMetrics metrics(card::buildFont(*probe.state().canvasFont, card::screenVerticalDpi()));

    CardInputs inputs;
    inputs.name = "王五";
    inputs.sex = "女";
    inputs.age = "30";
    const QImage card = compose(inputs, kDate);
    CardInputs blank;  // no name, sex or age
    const QImage without = compose(blank, kDate);

    struct Item {
        const char* name;
        QPoint at;
        QString text;  // what must be written there, in full and no wider
        int untilX;    // where the next item on the line begins
    };
    const Item items[] = {
        {"name", {245, 17}, "王五", 400},   {"name in the sentence", {292, 107}, "王五", 400},
        {"sex", {245, 34}, "女", 400},       {"age", {245, 51}, "30", 400},
    };
    for (const Item& item : items) {
        const auto [first, last] = changedColumns(card, without, item.at, item.untilX);
        EXPECT_GE(first, item.at.x()) << item.name;
        EXPECT_LT(first, item.at.x() + 4) << item.name;
        EXPECT_LE(last, item.at.x() + metrics.horizontalAdvance(item.text)) << item.name;
        EXPECT_GT(last, item.at.x() + metrics.horizontalAdvance(item.text) - 6) << item.name;
    }
    // Nothing but those four texts differs from the card without them.
    for (const QPoint& p : differences(card, without)) {
        bool near = false;
        for (const Item& item : items)
            near = near || QRect(item.at - QPoint(0, 1), QSize(metrics.horizontalAdvance(item.text) + 2, metrics.height()))
                                   .contains(p);
        ASSERT_TRUE(near) << "stray change at " << p.x() << "," << p.y();
    }

    // The fixed texts: "10" and the date, 2025-01-09 written as 2025, 1 and 9.
    const QImage templ = decodedAsset(pictures::templatePicture(1));
    const Item fixed[] = {
        {"validity", {358, 222}, "10", 400}, {"year", {282, 240}, "2025", 323},
        {"month", {325, 240}, "1", 353},     {"day", {355, 240}, "9", 400},
    };
    for (const Item& item : fixed) {
        const auto [first, last] = changedColumns(without, templ, item.at, item.untilX);
        ASSERT_GE(first, 0) << item.name << ": nothing written";
        EXPECT_LT(first, item.at.x() + 4) << item.name;
        EXPECT_LE(last, item.at.x() + metrics.horizontalAdvance(item.text)) << item.name << ": wider than "
                                                                            << item.text.toStdString();
    }
}

TEST_F(ComposeCard, TextIsTheCardGrey) {
    CardInputs inputs;
    inputs.name = "王五王五";
    const QImage card = compose(inputs);
    bool grey = false;
    for (int y = 17; y < 35 && !grey; ++y)
        for (int x = 245; x < 320 && !grey; ++x) grey = (card.pixel(x, y) & 0xFFFFFFu) == 0x606060u;
    EXPECT_TRUE(grey) << "no fully covered glyph pixel in 0x606060";
}

}  // namespace

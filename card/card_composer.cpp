#include "card/card_composer.h"

#include <QDate>
#include <QFile>

#include <cstdint>

#include "pictures/assets.h"
#include "pictures/picture.h"

namespace card {

namespace {

// Where each item goes on the 400 × 280 card. The photo area matches the white
// box every template leaves for it.
constexpr QRect kPhotoArea(324, 15, 60, 65);
constexpr QPoint kNameAt(245, 17);
constexpr QPoint kNameInSentenceAt(292, 107);
constexpr QPoint kSexAt(245, 34);
constexpr QPoint kAgeAt(245, 51);
constexpr QPoint kValidityAt(358, 222);
constexpr QPoint kYearAt(282, 240);
constexpr QPoint kMonthAt(325, 240);
constexpr QPoint kDayAt(355, 240);

constexpr int kTextPoints = 10;
constexpr Colour kTextGrey = 0x606060;
const QString kValidityYears = QStringLiteral("10");

pictures::PictureHandle loadBytes(std::span<const std::uint8_t> bytes) {
    return pictures::loadPicture(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void write(Surface& surface, QPoint at, TextValue value) { surface.writeAt(at.x(), at.y(), {std::move(value)}); }

}  // namespace

CardDate CardDate::today() {
    const QDate date = QDate::currentDate();
    return {date.year(), date.month(), date.day()};
}

ComposeResult composeCard(Surface& surface, const CardInputs& inputs, const CardDate& date) {
    surface.clear();

    const std::int64_t templateNumber = std::int64_t{inputs.templateIndex} + 1;
    if (templateNumber < 1 || templateNumber > pictures::kTemplateCount) return ComposeResult::TemplateOutOfRange;
    const pictures::PictureHandle card = loadBytes(pictures::templatePicture(static_cast<int>(templateNumber)));
    surface.drawPicture(card, 0, 0);
    pictures::unloadPicture(card);

    // Only the existence test chooses between the file and the default photo;
    // a file that is no picture loads as 0 and leaves the template showing.
    const QString photoPath = trimPhotoPath(inputs.photoPath);
    // The photo is only ever drawn at the photo area's size, so a JPEG can be
    // decoded at a reduced scale, and an unchanged file is not decoded again.
    const pictures::DrawSizeHint photoSize{kPhotoArea.width(), kPhotoArea.height()};
    const pictures::PictureHandle photo = photoPathExists(photoPath)
                                              ? pictures::loadPicture(QFile::encodeName(photoPath).toStdString(), photoSize)
                                              : loadBytes(pictures::defaultPhoto());
    surface.drawPicture(photo, kPhotoArea.left(), kPhotoArea.top(), kPhotoArea.width(), kPhotoArea.height());
    pictures::unloadPicture(photo);

    surface.setBrushType(0);
    surface.drawRectangle(kPhotoArea.left(), kPhotoArea.top(), kPhotoArea.left() + kPhotoArea.width(),
                          kPhotoArea.top() + kPhotoArea.height());

    // One field at a time, each write keeping the others.
    surface.setFontField(FontField::FaceName, QStringLiteral("宋体"));
    surface.setFontField(FontField::Size, kTextPoints);
    surface.setFontField(FontField::Bold, 1);
    surface.setTextColour(kTextGrey);

    write(surface, kNameAt, inputs.name);
    write(surface, kNameInSentenceAt, inputs.name);
    write(surface, kSexAt, inputs.sex);
    write(surface, kAgeAt, inputs.age);
    write(surface, kValidityAt, kValidityYears);
    // One date for all three parts: three clock readings could straddle
    // midnight and print a day that never was.
    write(surface, kYearAt, std::int64_t{date.year});
    write(surface, kMonthAt, std::int64_t{date.month});
    write(surface, kDayAt, std::int64_t{date.day});
    return ComposeResult::Done;
}

}  // namespace card

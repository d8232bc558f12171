#include "card_job.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSaveFile>

#include <variant>

#include "pictures/assets.h"
#include "pictures/decoders.h"
#include "pictures/picture.h"

namespace render {

namespace {

const QString kSexItems[] = {QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("保密")};

QString failureText(const pictures::Failure& failure) {
    using pictures::FailureKind;
    const char* kind = "malformed";
    switch (failure.kind) {
    case FailureKind::Malformed: kind = "malformed"; break;
    case FailureKind::Unsupported: kind = "unsupported"; break;
    case FailureKind::TooLarge: kind = "too large"; break;
    case FailureKind::Truncated: kind = "truncated"; break;
    case FailureKind::OutOfMemory: kind = "out of memory"; break;
    case FailureKind::Unreadable: kind = "unreadable"; break;
    }
    QString text = QString::fromLatin1(kind);
    if (!failure.reason.empty()) text += QStringLiteral(": ") + QString::fromStdString(failure.reason);
    return text;
}

}  // namespace

std::optional<int> parseTemplateNumber(const QString& text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < 1 || number > pictures::kTemplateCount) return std::nullopt;
    return number;
}

bool isSexItem(const QString& text) {
    for (const QString& item : kSexItems)
        if (text == item) return true;
    return false;
}

QString sexItemsText() {
    return QStringList(std::begin(kSexItems), std::end(kSexItems)).join(QStringLiteral(", "));
}

std::optional<card::CardDate> parseDate(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const int year = match.captured(1).toInt();
    const int month = match.captured(2).toInt();
    const int day = match.captured(3).toInt();
    if (year < 1 || !QDate::isValid(year, month, day)) return std::nullopt;
    return card::CardDate{year, month, day};
}

bool wantsPng(const QString& outputPath) {
    return outputPath.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

QString photoProblem(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    const pictures::PictureHandle handle = pictures::loadPicture(std::string(encoded.constData(), size_t(encoded.size())));
    if (handle != 0) {
        pictures::unloadPicture(handle);
        return {};
    }
    // Find out why, for the message: the file itself, or what the decoder says.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("cannot be opened: ") + file.errorString();
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot be read: ") + file.errorString();
    const auto result = pictures::decodePicture(
        pictures::Bytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())));
    if (const auto* failure = std::get_if<pictures::Failure>(&result))
        return QStringLiteral("is not a picture the tool reads (") + failureText(*failure) + QLatin1Char(')');
    return QStringLiteral("cannot be read");
}

QString writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("cannot write ") + path + QStringLiteral(": ") + reason;
    }
    if (!file.commit()) return QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString();
    return {};
}

CardRenderer::CardRenderer() : surface_(kCardWidth, kCardHeight, card::DrawingState::cardCanvas()) {}

QString CardRenderer::render(const CardJob& job) {
    if (job.templateNumber < 1 || job.templateNumber > pictures::kTemplateCount)
        return QStringLiteral("template must be 1 to %1").arg(pictures::kTemplateCount);

    card::CardInputs inputs;
    inputs.templateIndex = job.templateNumber - 1;
    inputs.name = job.name;
    inputs.sex = job.sex;
    inputs.age = job.age;
    const QString photo = card::trimPhotoPath(job.photoPath);
    if (!photo.isEmpty()) {
        if (const QString problem = photoProblem(photo); !problem.isEmpty())
            return QStringLiteral("photo ") + photo + QLatin1Char(' ') + problem;
        inputs.photoPath = photo;
    }

    if (card::composeCard(surface_, inputs, job.date) != card::ComposeResult::Done)
        return QStringLiteral("template must be 1 to %1").arg(pictures::kTemplateCount);

    QByteArray bytes;
    if (wantsPng(job.outputPath)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(surface_.memoryPicture().convertToFormat(QImage::Format_RGB888)))
            return QStringLiteral("cannot encode PNG: ") + writer.errorString();
    } else {
        const std::vector<std::uint8_t> bmp = surface_.getPicture();
        if (bmp.empty()) return QStringLiteral("the card canvas gave no picture");
        bytes = QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size()));
    }
    return writeFileAtomically(job.outputPath, bytes);
}

}  // namespace render

#include "card_job.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRegularExpression>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <variant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Loaded as composeCard loads it, for the 60 × 65 photo area, so that its
    // own load right after finds the same bytes and reuses this decode.
    const pictures::PictureHandle handle =
        pictures::loadPicture(std::string(encoded.constData(), size_t(encoded.size())), pictures::DrawSizeHint{60, 65});
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

QString writeFileAtomically(const QString& path, std::span<const char> bytes) {
    const QFileInfo target(path);
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray hiddenStem = folder + "/." + QFile::encodeName(target.fileName()) + ".tmp-" +
                                  QByteArray::number(qint64(getpid())) + '-';
    auto failure = [&](const char* what, int error) {
        return QStringLiteral("cannot write %1: %2 (%3)").arg(path, QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(error)));
    };

    // A fresh hidden name; O_EXCL never reuses a file someone else made.
    static unsigned counter = 0;
    QByteArray partial;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        partial = hiddenStem + QByteArray::number(++counter);
        fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return failure("cannot create a file in its folder", errno);
    }
    if (fd < 0) return failure("cannot create a file in its folder", EEXIST);

    // A replaced file keeps its permissions.
    struct stat existing {};
    if (::stat(finalName.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) ::fchmod(fd, existing.st_mode & 07777);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(partial.constData());
            return failure("write failed", error);
        }
        done += std::size_t(n);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(partial.constData());
        return failure("write failed", error);
    }
    if (::rename(partial.constData(), finalName.constData()) != 0) {
        const int error = errno;
        ::unlink(partial.constData());
        return failure("cannot put the file in place", error);
    }
    return {};
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
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

    if (wantsPng(job.outputPath)) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(surface_.memoryPicture().convertToFormat(QImage::Format_RGB888)))
            return QStringLiteral("cannot encode PNG: ") + writer.errorString();
        return writeFileAtomically(job.outputPath, {png.constData(), size_t(png.size())});
    }
    const std::vector<std::uint8_t> bmp = surface_.getPicture();
    if (bmp.empty()) return QStringLiteral("the card canvas gave no picture");
    return writeFileAtomically(job.outputPath, {reinterpret_cast<const char*>(bmp.data()), bmp.size()});
}

}  // namespace render

#include "card_batch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <array>

#include "card_job.h"
#include "csv_table.h"

namespace render {

namespace {

enum Column { Name, Sex, Age, Template, Photo, Date, File, ColumnCount };

const std::array<QString, ColumnCount> kColumnNames = {
    QStringLiteral("name"), QStringLiteral("sex"),  QStringLiteral("age"),  QStringLiteral("template"),
    QStringLiteral("photo"), QStringLiteral("date"), QStringLiteral("file"),
};

QString knownColumnsText() {
    return QStringList(kColumnNames.begin(), kColumnNames.end()).join(QStringLiteral(", "));
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QStringLiteral(".") &&
           name != QStringLiteral("..");
}

}  // namespace

BatchResult renderBatch(const QString& csvPath, const QString& outDir, const BatchReport& report) {
    BatchResult result;
    auto errorAt = [&](int line, const QString& reason) {
        report.error(QStringLiteral("%1:%2: %3").arg(csvPath).arg(line).arg(reason));
    };

    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        report.error(csvPath + QStringLiteral(": cannot be read: ") + file.errorString());
        result.unusable = true;
        return result;
    }
    const std::vector<CsvRecord> records = readCsv(file.readAll());
    file.close();
    if (records.empty()) {
        errorAt(1, QStringLiteral("the list is empty; its first line must name the columns (%1)").arg(knownColumnsText()));
        result.unusable = true;
        return result;
    }

    // The header: which field holds which column.
    const CsvRecord& header = records.front();
    std::array<int, ColumnCount> fieldOf;
    fieldOf.fill(-1);
    if (!header.error.isEmpty()) {
        errorAt(header.line, header.error);
        result.unusable = true;
        return result;
    }
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString key = header.fields[i].trimmed().toLower();
        const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), key);
        if (known == kColumnNames.end()) {
            errorAt(header.line, QStringLiteral("unknown column \"%1\"; the columns are %2")
                                     .arg(header.fields[i], knownColumnsText()));
            result.unusable = true;
        } else if (int& field = fieldOf[size_t(known - kColumnNames.begin())]; field >= 0) {
            errorAt(header.line, QStringLiteral("column \"%1\" is named twice").arg(key));
            result.unusable = true;
        } else {
            field = i;
        }
    }
    if (result.unusable) return result;

    const QDir out(outDir);
    if (!out.mkpath(QStringLiteral("."))) {
        report.error(outDir + QStringLiteral(": cannot create the output folder"));
        result.unusable = true;
        return result;
    }
    const QDir listFolder = QFileInfo(csvPath).absoluteDir();
    const card::CardDate today = card::CardDate::today();  // one date for the whole batch

    CardRenderer renderer;
    QHash<QString, int> claimedBy;  // output name → line of the row that named it first
    const int total = int(records.size()) - 1;
    result.rows = total;
    for (int row = 1; row <= total; ++row) {
        const CsvRecord& record = records[size_t(row)];
        const QString reason = [&]() -> QString {
            if (!record.error.isEmpty()) return record.error;
            if (record.fields.size() > header.fields.size())
                return QStringLiteral("unknown column: the row has %1 fields, the header names %2 columns")
                    .arg(record.fields.size())
                    .arg(header.fields.size());
            auto value = [&](Column column) -> QString {
                const int field = fieldOf[column];
                return field >= 0 && field < record.fields.size() ? record.fields[field] : QString();
            };

            // Claim the output name first, so a repeated name is caught whatever else is wrong.
            QString name = value(File).trimmed();
            if (name.isEmpty()) name = QStringLiteral("card-%1.bmp").arg(row, 4, 10, QLatin1Char('0'));
            if (!isPlainFileName(name)) return QStringLiteral("file \"%1\" is not a plain file name").arg(name);
            if (const auto first = claimedBy.constFind(name); first != claimedBy.constEnd())
                return QStringLiteral("duplicate output name \"%1\" (already used on line %2)").arg(name).arg(*first);
            claimedBy.insert(name, record.line);

            CardJob job;
            if (const QString text = value(Template); !text.trimmed().isEmpty()) {
                const auto number = parseTemplateNumber(text);
                if (!number) return QStringLiteral("template \"%1\" is not 1 to 4").arg(text);
                job.templateNumber = *number;
            }
            job.sex = QStringLiteral("男");
            if (const QString text = value(Sex).trimmed(); !text.isEmpty()) {
                if (!isSexItem(text)) return QStringLiteral("sex \"%1\" is not one of %2").arg(text, sexItemsText());
                job.sex = text;
            }
            job.date = today;
            if (const QString text = value(Date); !text.trimmed().isEmpty()) {
                const auto date = parseDate(text);
                if (!date) return QStringLiteral("date \"%1\" is not a YYYY-MM-DD date").arg(text);
                job.date = *date;
            }
            job.name = value(Name);
            job.age = value(Age);
            if (const QString photo = card::trimPhotoPath(value(Photo)); !photo.isEmpty())
                job.photoPath = listFolder.absoluteFilePath(photo);
            job.outputPath = out.filePath(name);
            return renderer.render(job);
        }();
        if (reason.isEmpty())
            ++result.written;
        else
            errorAt(record.line, reason);
        if (report.progress) report.progress(row, total);
    }
    return result;
}

}  // namespace render

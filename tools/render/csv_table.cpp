#include "csv_table.h"

#include <QStringDecoder>

namespace render {

namespace {

// Reads one record starting at `pos`, advancing `pos` past its line end and
// `line` past every line break consumed (also those inside quotes).
CsvRecord readRecord(const QByteArray& text, qsizetype& pos, int& line) {
    CsvRecord record;
    record.line = line;
    QList<QByteArray> raw;
    QByteArray field;
    bool quoted = false;       // inside a quoted field
    bool afterQuote = false;   // a quoted field has just closed
    const qsizetype size = text.size();

    auto endOfLine = [&](qsizetype at) -> qsizetype {  // length of a line break at `at`, 0 if none
        if (text[at] == '\n') return 1;
        if (text[at] == '\r' && at + 1 < size && text[at + 1] == '\n') return 2;
        if (text[at] == '\r') return 1;
        return 0;
    };

    while (pos < size) {
        const char c = text[pos];
        if (quoted) {
            if (c == '"') {
                if (pos + 1 < size && text[pos + 1] == '"') {
                    field += '"';
                    pos += 2;
                    continue;
                }
                quoted = false;
                afterQuote = true;
                ++pos;
                continue;
            }
            if (const qsizetype n = endOfLine(pos)) {
                field += text.mid(pos, n);
                pos += n;
                ++line;
                continue;
            }
            field += c;
            ++pos;
            continue;
        }
        if (c == ',') {
            raw.append(field);
            field.clear();
            afterQuote = false;
            ++pos;
            continue;
        }
        if (const qsizetype n = endOfLine(pos)) {
            pos += n;
            ++line;
            break;
        }
        if (afterQuote) {
            if (record.error.isEmpty()) record.error = QStringLiteral("text after a closing quote");
            ++pos;
            continue;
        }
        if (c == '"' && field.isEmpty()) {
            quoted = true;
            ++pos;
            continue;
        }
        field += c;
        ++pos;
    }
    raw.append(field);  // the last field, also of a final line without a line break
    if (quoted) record.error = QStringLiteral("a quoted field is not closed");

    QStringDecoder utf8(QStringDecoder::Utf8);
    for (const QByteArray& bytes : raw) {
        record.fields.append(utf8.decode(bytes));
        if (utf8.hasError() && record.error.isEmpty()) record.error = QStringLiteral("the text is not UTF-8");
    }
    return record;
}

// An empty line, or one of empty fields only (",,,", as spreadsheets export
// the rows after the last one used).
bool isBlank(const CsvRecord& record) {
    if (!record.error.isEmpty()) return false;
    for (const QString& field : record.fields)
        if (!field.trimmed().isEmpty()) return false;
    return true;
}

}  // namespace

std::vector<CsvRecord> readCsv(const QByteArray& text) {
    std::vector<CsvRecord> records;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    int line = 1;
    while (pos < text.size()) {
        CsvRecord record = readRecord(text, pos, line);
        if (!isBlank(record)) records.push_back(std::move(record));
    }
    return records;
}

}  // namespace render

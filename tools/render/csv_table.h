// A small reader for the card lists `tessivanev-render --csv` takes: UTF-8
// text, comma-separated, fields optionally in double quotes (a doubled quote
// inside quotes is one quote; quoted fields may hold commas and line breaks).
// Lines may end in LF or CRLF; a leading byte-order mark is skipped; blank
// lines, and lines of empty fields only, are skipped.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace render {

struct CsvRecord {
    int line = 0;         // the line the record starts on, 1-based
    QStringList fields;
    QString error;        // set when the record cannot be read (its fields are then unusable)
};

// Splits the whole text into records. Never fails as a whole: a record that
// cannot be read (an unterminated quote, text after a closing quote, bytes
// that are not UTF-8) carries its reason in `error`.
std::vector<CsvRecord> readCsv(const QByteArray& text);

}  // namespace render

// `tessivanev-render --csv FILE --out-dir DIR`: one card per row of a CSV
// list, all in one process on one card canvas.
//
// The first record names the columns, in any order, among name, sex, age,
// template, photo, date and file (any case); a column may be left out:
//   name, age   the texts as written (default empty)
//   sex         one of the sex list's items (default "男", the window's first)
//   template    1 to 4 (default 1)
//   photo       a picture file, relative to the CSV file's folder (default:
//               the carried default photo); when named it must load
//   date        YYYY-MM-DD (default today)
//   file        the output name inside DIR, a plain name without "/"; ".png"
//               gives PNG, anything else BMP (default card-NNNN.bmp, NNNN the
//               data row's number)
// A header naming an unknown or repeated column stops the batch before any
// card is made: a misspelt column would otherwise be silently ignored.
#pragma once

#include <QString>

#include <cstdio>
#include <functional>

namespace render {

struct BatchResult {
    int rows = 0;     // data rows seen
    int written = 0;  // cards written
    bool unusable = false;  // the list could not be read at all (no card was attempted)
    bool allSucceeded() const { return !unusable && written == rows; }
};

struct BatchReport {
    // One line per problem: "FILE:LINE: reason" (no line break included).
    std::function<void(const QString&)> error;
    // Called after each row with (rows done, rows in total).
    std::function<void(int, int)> progress;
};

BatchResult renderBatch(const QString& csvPath, const QString& outDir, const BatchReport& report);

}  // namespace render

// One card of `tessivanev-render`: the inputs the window would read from its
// controls, the date, and where the card goes. The card is composed by the
// same `card::composeCard` the window's `drawCard` uses, on a surface with the
// card canvas's drawing state, so the file holds exactly what "制作" would save.
#pragma once

#include <QString>

#include <optional>
#include <span>

#include "card/card_composer.h"
#include "card/surface.h"

namespace render {

inline constexpr int kCardWidth = 400;
inline constexpr int kCardHeight = 280;

struct CardJob {
    int templateNumber = 1;  // 1 to 4, as the list shows them
    QString name;
    QString sex;
    QString age;
    QString photoPath;       // empty: the carried default photo
    card::CardDate date;
    QString outputPath;
};

// "1" to "4" (surrounding spaces allowed); nothing for anything else.
std::optional<int> parseTemplateNumber(const QString& text);

// The three items of the sex list: "男", "女", "保密".
bool isSexItem(const QString& text);
QString sexItemsText();  // "男, 女, 保密", for messages

// A real calendar date written YYYY-MM-DD (years 1 to 9999).
std::optional<card::CardDate> parseDate(const QString& text);

// PNG when the name ends in ".png" (any case), else a 24-bit BMP.
bool wantsPng(const QString& outputPath);

// Composes cards one after another on one card canvas, as the window's
// `offscreenCanvas` does, and writes each atomically: the file appears
// complete under its name or not at all.
class CardRenderer {
public:
    CardRenderer();

    // Returns an empty text on success, else the reason (one line). A photo
    // that is named but cannot be read or decoded is an error here, where the
    // window would silently leave the template showing.
    QString render(const CardJob& job);

    // The surface after the last render (for tests and the benchmark).
    const card::Surface& surface() const { return surface_; }

private:
    card::Surface surface_;
};

// Why the photo at `path` does not load, or an empty text when it does.
QString photoProblem(const QString& path);

// Writes `bytes` to `path` atomically: into a new hidden file beside it
// (".NAME.tmp-…"), renamed over `path` only when every byte is written, so
// `path` holds either its old content or the complete new one, never a part;
// the hidden file is removed on failure. There is no flush to disk per file
// (a batch flushes once at its end, see syncFolder). Returns the reason on
// failure.
QString writeFileAtomically(const QString& path, std::span<const char> bytes);

// Asks the file system holding `folder` to put everything written so far on
// disk (one flush for a whole batch instead of one per card).
void syncFolder(const QString& folder);

}  // namespace render

// The card composition: everything `drawCard` puts on the card, as a function
// of a drawing surface, the inputs and the date, so that the window, tests
// and a command-line renderer all compose exactly the same card.
#pragma once

#include <QString>

#include "card/surface.h"

namespace card {

struct CardInputs {
    int templateIndex = 0;  // zero-based list index of the template choice
    QString photoPath;      // as typed, untrimmed
    QString name;
    QString sex;
    QString age;
};

struct CardDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    static CardDate today();  // the local date, read once
};

enum class ComposeResult { Done, TemplateOutOfRange };

// Clears the surface, then (when the template index is 0..3) draws the whole
// card on it. On TemplateOutOfRange only the white fill has been drawn.
ComposeResult composeCard(Surface& surface, const CardInputs& inputs, const CardDate& date);

// Removes ASCII spaces and full-width spaces (U+3000) at both ends, nothing else.
QString trimPhotoPath(const QString& text);

// A directory search for the name: true for an existing file or folder, or a
// pattern whose "*" and "?" match at least one entry. Relative names resolve
// against the working folder.
bool photoPathExists(const QString& trimmed);

}  // namespace card

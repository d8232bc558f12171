// The two buttons that reach the file system: browsing for a photo and
// saving the card.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "files/common_dlg.h"

namespace files {

// Lets the user pick a photo; on confirmation passes the full path to
// setPhotoPath (which writes the photo path box, redrawing the card).
// Returns whether a path was chosen.
bool onBrowseClicked(CommonDlg& dialog, const std::function<void(const QString&)>& setPhotoPath);

// Lets the user choose where to save and writes the card bytes that
// exportCard returns. A failed save shows an error box naming the file and
// the reason and leaves any existing file as it was.
void onMakeClicked(CommonDlg& dialog, const std::function<std::vector<std::uint8_t>()>& exportCard);

}  // namespace files

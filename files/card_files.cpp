#include "files/card_files.h"

#include <QDir>

#include <span>

#include "files/error_box.h"
#include "files/write_file.h"

namespace files {

bool onBrowseClicked(CommonDlg& dialog, const std::function<void(const QString&)>& setPhotoPath) {
    dialog.setFilter(QStringLiteral("图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif"));
    dialog.setDialogKind(static_cast<int>(DialogKind::Open));
    if (!dialog.openDialog())
        return false;
    if (setPhotoPath)
        setPhotoPath(dialog.fileName());
    return true;
}

void onMakeClicked(CommonDlg& dialog, const std::function<std::vector<std::uint8_t>()>& exportCard) {
    dialog.setFilter(QStringLiteral("图片文件(*.bmp)|*.bmp"));
    dialog.setDialogKind(static_cast<int>(DialogKind::Save));
    dialog.setDefaultExtension(QStringLiteral("bmp"));
    if (!dialog.openDialog())
        return;

    // The card as the last redraw left it; saving does not redraw.
    const std::vector<std::uint8_t> card = exportCard ? exportCard() : std::vector<std::uint8_t>{};
    const QString path = dialog.fileName();
    const QString shownPath = QDir::toNativeSeparators(path);
    if (card.empty()) {
        // An empty file would only destroy what the user chose to replace.
        showErrorBox(dialog.ownerWindow(),
                     QStringLiteral("没有可保存的名片图像，文件“%1”没有写入。").arg(shownPath));
        return;
    }
    const WriteResult result = writeFile(path, {std::span<const std::uint8_t>(card)});
    if (!result.ok)
        showErrorBox(dialog.ownerWindow(),
                     QStringLiteral("无法保存名片到文件“%1”：\n%2").arg(shownPath, result.reason));
}

}  // namespace files

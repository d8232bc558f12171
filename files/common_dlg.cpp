#include "files/common_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>
#include <utility>

#include "files/error_box.h"

namespace files {
namespace {

Chooser& currentChooser() {
    static Chooser chooser = showFileDialog;
    return chooser;
}

QString withoutTrailingSpace(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

// Qt decides whether a typed name is a folder (which gets no default
// extension) by looking it up in the process's current folder, although the
// name belongs to the chooser's folder: "card" typed in the save chooser
// stayed "card" whenever the current folder held a folder "card". While Qt
// reads the typed name, the current folder is the chooser's.
class CurrentFolderAs {
public:
    explicit CurrentFolderAs(const QString& folder) : saved_(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentFolderAs() { QDir::setCurrent(saved_); }
    CurrentFolderAs(const CurrentFolderAs&) = delete;
    CurrentFolderAs& operator=(const CurrentFolderAs&) = delete;

private:
    QString saved_;
};

// Qt's own file dialog with the checks it does not make itself: a folder
// that must exist, and a question before accepting a name that does not
// exist yet. Qt already refuses missing files (ExistingFile) and asks before
// replacing (unless DontConfirmOverwrite).
class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* parent, const ChooserRequest& request)
        : QFileDialog(parent, request.title),
          pathMustExist_(request.pathMustExist),
          promptToCreate_(request.promptToCreate) {}

    void accept() override {
        const CurrentFolderAs chooserFolder(directory().absolutePath());
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.isDir()) {
                if (pathMustExist_ && !info.absoluteDir().exists()) {
                    QMessageBox::warning(this, windowTitle(),
                                         QStringLiteral("文件夹“%1”不存在。\n请检查路径是否正确。")
                                             .arg(QDir::toNativeSeparators(info.absolutePath())));
                    return;
                }
                if (promptToCreate_ && !info.exists() &&
                    QMessageBox::question(this, windowTitle(),
                                          QStringLiteral("文件“%1”不存在。\n要创建该文件吗？").arg(info.fileName()),
                                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool pathMustExist_;
    bool promptToCreate_;
};

}  // namespace

int storedLength(const QString& text) {
    int bytes = 0;
    for (const char32_t c : text.toUcs4())
        bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

QString cutToStoredLength(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate();
        const int size = text.at(end).unicode() < 0x80 ? 1 : 2;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

NameFilterList parseFilter(const QString& filter, int filterIndex) {
    QString text = withoutTrailingSpace(filter);
    if (text.isEmpty())
        return {};
    if (!text.endsWith(QStringLiteral("||")))
        text += QStringLiteral("||");

    // Parts alternate description, patterns. Two separators in a row are the
    // list's end mark, so the list ends at the first empty description; a
    // description without patterns would match nothing and is not listed.
    const QStringList parts = text.split(QLatin1Char('|'));
    NameFilterList list;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        if (description.isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'))) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns.append(trimmed);
        }
        if (patterns.isEmpty())
            break;
        list.nameFilters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                                QLatin1Char(')'));
    }
    if (!list.nameFilters.isEmpty())
        list.selected = filterIndex >= 0 && filterIndex < list.nameFilters.size() ? filterIndex : 0;
    return list;
}

std::optional<QString> showFileDialog(const ChooserRequest& request) {
    FileDialog dialog(request.owner, request);
    // Qt's own dialog, so every option below behaves the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.kind == DialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.kind == DialogKind::Open && request.fileMustExist ? QFileDialog::ExistingFile
                                                                                 : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptToOverwrite);
    dialog.setSizeGripEnabled(true);
    // The file types come before the name: in the save kind, choosing a type
    // rewrites the typed name's extension, and the given name must stay as it is.
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size())
            dialog.selectNameFilter(request.nameFilters.at(request.selectedFilter));
    }
    if (!request.initialFolder.isEmpty())
        dialog.setDirectory(request.initialFolder);
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.initialFileName.isEmpty())
        dialog.selectFile(request.initialFileName);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const CurrentFolderAs chooserFolder(dialog.directory().absolutePath());
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first();
}

CommonDlg::CommonDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DontShowOnScreen);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QWidget::setVisible(false);
}

void CommonDlg::setVisible(bool) { QWidget::setVisible(false); }

int CommonDlg::dialogKind() const { return dialogKind_; }
void CommonDlg::setDialogKind(int kind) { dialogKind_ = std::clamp(kind, 0, 3); }
QString CommonDlg::title() const { return title_; }
void CommonDlg::setTitle(const QString& title) { title_ = title; }
QString CommonDlg::fileName() const { return fileName_; }
void CommonDlg::setFileName(const QString& fileName) { fileName_ = fileName; }
QString CommonDlg::filter() const { return filter_; }
void CommonDlg::setFilter(const QString& filter) { filter_ = filter; }
int CommonDlg::filterIndex() const { return filterIndex_; }
void CommonDlg::setFilterIndex(int index) { filterIndex_ = std::max(index, 0); }
QString CommonDlg::initialFolder() const { return initialFolder_; }
void CommonDlg::setInitialFolder(const QString& folder) { initialFolder_ = folder; }
QString CommonDlg::defaultExtension() const { return defaultExtension_; }
void CommonDlg::setDefaultExtension(const QString& extension) { defaultExtension_ = extension; }
bool CommonDlg::promptToCreate() const { return promptToCreate_; }
void CommonDlg::setPromptToCreate(bool on) { promptToCreate_ = on; }
bool CommonDlg::fileMustExist() const { return fileMustExist_; }
void CommonDlg::setFileMustExist(bool on) { fileMustExist_ = on; }
bool CommonDlg::promptToOverwrite() const { return promptToOverwrite_; }
void CommonDlg::setPromptToOverwrite(bool on) { promptToOverwrite_ = on; }
bool CommonDlg::pathMustExist() const { return pathMustExist_; }
void CommonDlg::setPathMustExist(bool on) { pathMustExist_ = on; }
bool CommonDlg::keepCurrentFolder() const { return keepCurrentFolder_; }
void CommonDlg::setKeepCurrentFolder(bool on) { keepCurrentFolder_ = on; }

QWidget* CommonDlg::ownerWindow() const { return parentWidget() != nullptr ? window() : nullptr; }

ChooserRequest CommonDlg::makeRequest() const {
    ChooserRequest request;
    request.kind = static_cast<DialogKind>(dialogKind_);
    request.title = title_;
    request.initialFileName = cutToStoredLength(fileName_, kMaxPathBytes);
    request.initialFolder = initialFolder_;
    request.defaultExtension = defaultExtension_;
    const NameFilterList filters = parseFilter(filter_, filterIndex_);
    request.nameFilters = filters.nameFilters;
    request.selectedFilter = filters.selected;
    request.fileMustExist = fileMustExist_;
    request.promptToOverwrite = promptToOverwrite_;
    request.pathMustExist = pathMustExist_;
    request.promptToCreate = promptToCreate_;
    request.owner = ownerWindow();
    return request;
}

bool CommonDlg::openDialog() {
    if (dialogKind_ != static_cast<int>(DialogKind::Open) && dialogKind_ != static_cast<int>(DialogKind::Save))
        return false;

    const ChooserRequest request = makeRequest();
    const QString folderBefore = QDir::currentPath();
    const std::optional<QString> chosen = currentChooser()(request);
    if (keepCurrentFolder_ && QDir::currentPath() != folderBefore)
        QDir::setCurrent(folderBefore);
    if (!chosen || chosen->isEmpty())
        return false;

    const QFileInfo info(*chosen);
    const QString path = info.absoluteFilePath();
    if (storedLength(path) > kMaxPathBytes) {
        showErrorBox(request.owner, QStringLiteral("所选文件的路径太长（%1 字节），最多只能有 %2 字节：\n%3")
                                        .arg(storedLength(path))
                                        .arg(kMaxPathBytes)
                                        .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    fileName_ = path;
    if (!keepCurrentFolder_)
        QDir::setCurrent(info.absolutePath());
    return true;
}

void CommonDlg::setChooser(Chooser chooser) {
    currentChooser() = chooser ? std::move(chooser) : Chooser(showFileDialog);
}

void CommonDlg::resetChooser() { currentChooser() = showFileDialog; }

}  // namespace files

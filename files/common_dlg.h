// `CommonDlg`: the file-chooser control. It has no on-screen presence of its
// own; it keeps the chooser's settings from one opening to the next and shows
// the platform's file chooser modally over its window when opened.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace files {

enum class DialogKind { Open = 0, Save = 1, Font = 2, Help = 3 };

// Everything one opening of the chooser needs; what a replacement chooser in
// tests receives.
struct ChooserRequest {
    DialogKind kind = DialogKind::Open;
    QString title;
    QString initialFileName;         // already cut to the stored length
    QString initialFolder;
    QString defaultExtension;
    QStringList nameFilters;         // in the chooser's own form, in order
    int selectedFilter = -1;         // index into nameFilters, -1 for none
    bool fileMustExist = true;
    bool promptToOverwrite = true;
    bool pathMustExist = true;
    bool promptToCreate = false;
    QWidget* owner = nullptr;
};

// Shows a chooser and returns the chosen full path, or nothing on cancel.
using Chooser = std::function<std::optional<QString>(const ChooserRequest&)>;

// The real chooser: Qt's own QFileDialog, modal over request.owner.
std::optional<QString> showFileDialog(const ChooserRequest& request);

// Paths and names are limited to what the tool stores: 259 bytes in GBK.
inline constexpr int kMaxPathBytes = 259;

// Bytes `text` takes as the tool stores it (GBK): 1 for ASCII, 2 for any
// other character (a surrogate pair counts as one character).
int storedLength(const QString& text);

// The longest start of `text` that fits in maxBytes stored bytes; never
// ends inside a character.
QString cutToStoredLength(const QString& text, int maxBytes);

// The file-type list of a `filter` text ("description|patterns|..."), in
// the chooser's own form ("description (*.a *.b)"), and which entry
// `filterIndex` selects (-1 when the list is empty).
struct NameFilterList {
    QStringList nameFilters;
    int selected = -1;
    friend bool operator==(const NameFilterList&, const NameFilterList&) = default;
};
NameFilterList parseFilter(const QString& filter, int filterIndex);

class CommonDlg : public QWidget {
    Q_OBJECT
public:
    explicit CommonDlg(QWidget* parent = nullptr);

    int dialogKind() const;
    void setDialogKind(int kind);  // clamped to 0..3
    QString title() const;
    void setTitle(const QString& title);
    QString fileName() const;
    void setFileName(const QString& fileName);
    QString filter() const;
    void setFilter(const QString& filter);
    int filterIndex() const;
    void setFilterIndex(int index);  // below 0 becomes 0
    QString initialFolder() const;
    void setInitialFolder(const QString& folder);
    QString defaultExtension() const;
    void setDefaultExtension(const QString& extension);
    bool promptToCreate() const;
    void setPromptToCreate(bool on);
    bool fileMustExist() const;
    void setFileMustExist(bool on);
    bool promptToOverwrite() const;
    void setPromptToOverwrite(bool on);
    bool pathMustExist() const;
    void setPathMustExist(bool on);
    bool keepCurrentFolder() const;
    void setKeepCurrentFolder(bool on);

    // Shows the chooser for the open and save kinds, modally over this
    // control's window; true when the user confirmed a file, whose full path
    // is then in fileName(). On cancel fileName() keeps its old value.
    bool openDialog();

    // The window the chooser and error boxes are modal over: this control's
    // window, or none while the control has no parent.
    QWidget* ownerWindow() const;

    // The real chooser is Qt's QFileDialog; tests put a scripted one here.
    static void setChooser(Chooser chooser);
    static void resetChooser();

    // The control is never shown, whatever its window does with it.
    void setVisible(bool visible) override;

private:
    ChooserRequest makeRequest() const;

    int dialogKind_ = 0;
    QString title_;
    QString fileName_;
    QString filter_ = QStringLiteral("图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif");
    int filterIndex_ = 0;
    QString initialFolder_;
    QString defaultExtension_;
    bool promptToCreate_ = false;
    bool fileMustExist_ = true;
    bool promptToOverwrite_ = true;
    bool pathMustExist_ = true;
    bool keepCurrentFolder_ = false;
};

}  // namespace files

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

    // The real chooser is Qt's QFileDialog; tests put a scripted one here.
    static void setChooser(Chooser chooser);
    static void resetChooser();
};

}  // namespace files

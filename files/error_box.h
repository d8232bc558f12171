// The tool's few error boxes for file work: a modal message box with a
// critical icon over the main window. Replaceable so tests can read the
// text without anyone clicking OK.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace files {

struct ErrorMessage {
    QWidget* owner = nullptr;  // the main window, or none
    QString title;
    QString text;
};

using ErrorBox = std::function<void(const ErrorMessage&)>;

// Shows `text` in a modal critical box owned by `owner`, titled with the
// owner's window title; returns when the user has closed it.
void showErrorBox(QWidget* owner, const QString& text);

void setErrorBox(ErrorBox box);
void resetErrorBox();

}  // namespace files

#include "files/error_box.h"

#include <QMessageBox>

#include <utility>

namespace files {
namespace {

void showMessageBox(const ErrorMessage& message) {
    QMessageBox box(QMessageBox::Critical, message.title, message.text, QMessageBox::Ok, message.owner);
    box.exec();
}

ErrorBox& currentErrorBox() {
    static ErrorBox box = showMessageBox;
    return box;
}

}  // namespace

void showErrorBox(QWidget* owner, const QString& text) {
    QString title = owner != nullptr ? owner->window()->windowTitle() : QString();
    if (title.isEmpty())
        title = QStringLiteral("Tessivanev1.0");
    currentErrorBox()(ErrorMessage{owner, title, text});
}

void setErrorBox(ErrorBox box) { currentErrorBox() = box ? std::move(box) : ErrorBox(showMessageBox); }

void resetErrorBox() { currentErrorBox() = showMessageBox; }

}  // namespace files

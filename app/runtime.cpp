#include "app/runtime.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

int depth = 0;

ErrorBox& replacementBox() {
    static ErrorBox box;
    return box;
}

void showDefaultBox(const QString& title, const QString& message) {
    if (qApp == nullptr) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    // The toolkit breaks lines at "\n"; the message itself keeps "\r\n".
    QString shown = message;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Critical, title, shown, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

int suppressionDepth() { return depth; }
void raiseSuppression() { ++depth; }
void lowerSuppression() {
    if (depth > 0) {
        --depth;
    }
}

QString runtimeErrorMessage(int code, const QString& text) {
    QString message = QStringLiteral("运行时出错!\r\n\r\n");
    if (code != 0) {
        message += QStringLiteral("错误代码：") + QString::number(code) + QStringLiteral("\r\n\r\n");
    }
    if (!text.isEmpty()) {
        message += QStringLiteral("错误信息：") + text + QStringLiteral("\r\n");
    }
    return message;
}

void setErrorBox(ErrorBox box) { replacementBox() = std::move(box); }

void reportRuntimeError(int code, const QString& text) {
    raiseSuppression();  // for good: no handler runs from here on
    const QString message = runtimeErrorMessage(code, text);
    if (replacementBox()) {
        replacementBox()(QStringLiteral("错误"), message);
    } else {
        showDefaultBox(QStringLiteral("错误"), message);
    }
    if (qApp != nullptr) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            window->hide();
        }
    }
    std::fflush(nullptr);
    // _Exit skips the end routine registered at start, as it must.
    std::_Exit(-1);
}

}  // namespace app

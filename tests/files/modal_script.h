// Helpers for tests that open the tool's real modal dialogs: one
// QApplication per test program, and a script that plays the user in each
// modal dialog as it comes up.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <utility>

namespace files_test {

inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "files_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Each step waits for a modal widget of its kind on top, then acts on it.
// Steps run from the event loop, not from the polling timer, so an action
// that opens a nested modal box does not block the script. Whatever is
// still open after the time limit is rejected, so a broken test fails
// instead of hanging.
class ModalScript {
public:
    void onFileDialog(std::function<void(QFileDialog&)> act) {
        steps_.push_back([act = std::move(act)](QWidget* top) {
            auto* dialog = qobject_cast<QFileDialog*>(top);
            if (dialog == nullptr)
                return false;
            QPointer<QFileDialog> guard(dialog);
            QMetaObject::invokeMethod(
                dialog, [guard, act] { if (guard) act(*guard); }, Qt::QueuedConnection);
            return true;
        });
    }

    void onMessageBox(QMessageBox::StandardButton answer, QString* text = nullptr) {
        steps_.push_back([answer, text](QWidget* top) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (box == nullptr)
                return false;
            if (text != nullptr)
                *text = box->text();
            QPointer<QMessageBox> guard(box);
            QMetaObject::invokeMethod(
                box,
                [guard, answer] {
                    if (guard && guard->button(answer) != nullptr)
                        guard->button(answer)->click();
                },
                Qt::QueuedConnection);
            return true;
        });
    }

    // Starts polling; call just before the code that opens the dialogs.
    void start() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
        deadline_.setSingleShot(true);
        QObject::connect(&deadline_, &QTimer::timeout, [this] {
            timedOut_ = true;
            while (QWidget* top = QApplication::activeModalWidget())
                if (auto* dialog = qobject_cast<QDialog*>(top))
                    dialog->reject();
                else
                    break;
        });
        deadline_.start(15000);
    }

    bool finished() const { return steps_.empty() && !timedOut_; }

private:
    void poll() {
        if (steps_.empty())
            return;
        QWidget* top = QApplication::activeModalWidget();
        if (top == nullptr || !top->isVisible())
            return;
        if (steps_.front()(top))
            steps_.pop_front();
    }

    std::deque<std::function<bool(QWidget*)>> steps_;
    QTimer timer_;
    QTimer deadline_;
    bool timedOut_ = false;
};

// Types `name` into the chooser's file name box and presses its OK button.
inline void typeAndAccept(QFileDialog& dialog, const QString& name) {
    if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(name);
    static_cast<QDialog&>(dialog).accept();  // QFileDialog hides accept()
}

}  // namespace files_test

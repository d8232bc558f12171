// Program-wide run-time state: the event suppression depth and the run-time
// error report, the one failure path of the program that shows a message.
#pragma once

#include <QString>

#include <functional>

namespace app {

// While the depth is above 0 every raised event is dropped (not queued).
int suppressionDepth();
void raiseSuppression();
void lowerSuppression();

// Keeps events suppressed for the life of the guard (a window build).
class SuppressEvents {
public:
    SuppressEvents() { raiseSuppression(); }
    ~SuppressEvents() { lowerSuppression(); }
    SuppressEvents(const SuppressEvents&) = delete;
    SuppressEvents& operator=(const SuppressEvents&) = delete;
};

// The text of run-time error 9: a choice among several values was given an
// index below zero or beyond the values offered.
inline constexpr char16_t kError9Text[] = u"选择项的索引值小于零或超出了所提供的可选值的范围";

// "运行时出错!\r\n\r\n", then "错误代码：<code>\r\n\r\n" for a non-zero code,
// then "错误信息：<text>\r\n" for a non-empty text.
QString runtimeErrorMessage(int code, const QString& text);

// Shows the message and returns once it is dismissed. The default is a modal
// box with no owner, titled "错误", with the critical icon and one OK button.
using ErrorBox = std::function<void(const QString& title, const QString& message)>;
void setErrorBox(ErrorBox box);  // an empty function puts the default back

// Suppresses all events for good, shows the error box, hides the windows and
// ends the process with status -1 without running the end routine.
[[noreturn]] void reportRuntimeError(int code, const QString& text);

}  // namespace app

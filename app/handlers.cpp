#include "app/handlers.h"

#include <map>

#include "app/controls.h"
#include "app/runtime.h"
#include "app/window.h"
#include "card/card_composer.h"
#include "card/draw_panel.h"
#include "files/card_files.h"
#include "files/common_dlg.h"

namespace app {

ControlRef offscreenCanvas;

namespace {

std::function<void()>& drawCardListener() {
    static std::function<void()> listener;
    return listener;
}

card::DrawPanel* canvasAt(ControlRef ref) {
    Window* window = findWindow(ref.window);
    if (window == nullptr) {
        return nullptr;
    }
    const Unit* unit = window->unit(ref.control);
    return unit != nullptr ? qobject_cast<card::DrawPanel*>(unit->widget.data()) : nullptr;
}

// The window fit: the client area becomes as wide as 外形框2 plus its left
// margin on both sides, and as high as 外形框2 plus its top margin above and
// its left margin below. The sums are formed in double precision and
// truncated toward zero, exactly, since every input is an integer.
void fitWindow(Window& window, const QWidget& lowerFrame) {
    const int clientWidth = window.clientWidth();
    const int outerWidth = window.outerWidth();
    const int left = lowerFrame.x();
    const int frameWidth = lowerFrame.width();
    const double newWidth = double(outerWidth - clientWidth) + double(frameWidth) + double(left) * 2.0;
    window.setOuterWidth(static_cast<int>(newWidth));

    const int clientHeight = window.clientHeight();
    const int outerHeight = window.outerHeight();
    const int frameHeight = lowerFrame.height();
    const int top = lowerFrame.y();
    const int leftAgain = lowerFrame.x();
    const double newHeight = double(outerHeight - clientHeight) + double(frameHeight) + double(top) + double(leftAgain);
    window.setOuterHeight(static_cast<int>(newHeight));
}

}  // namespace

void onWindowCreated() {
    Window* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    if (const QWidget* lowerFrame = window->widget(QStringLiteral("外形框2"))) {
        fitWindow(*window, *lowerFrame);
    }
    redirectEvents(window->ref(QStringLiteral("编辑框2")), window->ref(QStringLiteral("编辑框1")));
    redirectEvents(window->ref(QStringLiteral("编辑框3")), window->ref(QStringLiteral("编辑框1")));
    redirectEvents(window->ref(QStringLiteral("组合框2")), window->ref(QStringLiteral("组合框1")));
    offscreenCanvas = copyComponent(window->ref(QStringLiteral("画板1")));
    if (card::DrawPanel* canvas = canvasAt(offscreenCanvas)) {
        canvas->setVisible(false);
    }
    drawCard();
}

void onEditChanged() { drawCard(); }

void onComboSelected() { drawCard(); }

void drawCard() {
    if (drawCardListener()) {
        drawCardListener()();
    }
    Window* window = mainWindow();
    card::DrawPanel* canvas = canvasAt(offscreenCanvas);
    if (window == nullptr || canvas == nullptr) {
        return;
    }
    const auto* templateList = window->control<ComboBox>(QStringLiteral("组合框2"));
    const auto* sexList = window->control<ComboBox>(QStringLiteral("组合框1"));

    card::CardInputs inputs;
    inputs.templateIndex = templateList->currentIndex();
    inputs.photoPath = window->control<EditBox>(QStringLiteral("编辑框1"))->text();
    inputs.name = window->control<EditBox>(QStringLiteral("编辑框2"))->text();
    const int sex = sexList->currentIndex();
    inputs.sex = sex >= 0 && sex < sexList->count() ? sexList->itemText(sex) : QString();
    inputs.age = window->control<EditBox>(QStringLiteral("编辑框3"))->text();
    const card::CardDate today = card::CardDate::today();

    if (card::composeCard(canvas->surface(), inputs, today) == card::ComposeResult::TemplateOutOfRange) {
        reportRuntimeError(9, QString::fromUtf16(kError9Text));
    }
    if (auto* visible = window->control<card::DrawPanel>(QStringLiteral("画板1"))) {
        canvas->surface().copyTo(visible->surface());
    }
}

void onBrowseClicked() {
    Window* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    auto* dialog = window->control<files::CommonDlg>(QStringLiteral("通用对话框1"));
    auto* photoPath = window->control<EditBox>(QStringLiteral("编辑框1"));
    if (dialog == nullptr || photoPath == nullptr) {
        return;
    }
    // The write raises TextChanged, which redraws the card before it returns.
    files::onBrowseClicked(*dialog, [photoPath](const QString& path) { photoPath->writeText(path); });
}

void onMakeClicked() {
    Window* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    auto* dialog = window->control<files::CommonDlg>(QStringLiteral("通用对话框1"));
    if (dialog == nullptr) {
        return;
    }
    // The card exactly as the last drawCard left it; saving does not redraw.
    files::onMakeClicked(*dialog, [] {
        const card::DrawPanel* canvas = canvasAt(offscreenCanvas);
        return canvas != nullptr ? canvas->surface().getPicture() : std::vector<std::uint8_t>{};
    });
}

void setDrawCardListener(std::function<void()> listener) { drawCardListener() = std::move(listener); }

Handler findHandler(const QString& name) {
    static const std::map<QString, void (*)()> handlers = {
        {QStringLiteral("onWindowCreated"), &onWindowCreated},
        {QStringLiteral("onEditChanged"), &onEditChanged},
        {QStringLiteral("onComboSelected"), &onComboSelected},
        {QStringLiteral("onBrowseClicked"), &onBrowseClicked},
        {QStringLiteral("onMakeClicked"), &onMakeClicked},
    };
    const auto found = handlers.find(name);
    return found != handlers.end() ? Handler(found->second) : Handler{};
}

}  // namespace app

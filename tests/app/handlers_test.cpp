// The window's handlers: the start-up fit and first card, one drawCard per
// change of any input, the two buttons' wiring, and run-time error 9.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <vector>

#include "app/controls.h"
#include "app/runtime.h"
#include "app/window_description.h"
#include "app_testing.h"
#include "card/draw_panel.h"
#include "files/common_dlg.h"

namespace {

using apptest::DrawCardCounter;

TEST(StoredBindings, EachNamesAHandlerThatExistsOnAUnitThatRaisesIt) {
    const app::WindowDesc& description = app::mainWindowDescription();
    ASSERT_EQ(description.bindings.size(), 5u);
    for (const app::BindingDesc& binding : description.bindings) {
        const std::string what = binding.handler.toStdString();
        EXPECT_TRUE(app::findHandler(binding.handler)) << what;
        app::UnitKind kind = app::UnitKind::Window;
        for (const app::UnitDesc& unit : description.units) {
            if (unit.name == binding.unit) {
                kind = unit.kind;
            }
        }
        if (binding.unit.isEmpty()) {
            EXPECT_EQ(binding.event, app::Event::Created) << what;
            continue;
        }
        const app::Event raised = kind == app::UnitKind::Button     ? app::Event::Clicked
                                  : kind == app::UnitKind::EditBox  ? app::Event::TextChanged
                                  : kind == app::UnitKind::ComboBox ? app::Event::ListItemSelected
                                                                    : app::Event::Created;
        EXPECT_EQ(binding.event, raised) << what << " on " << binding.unit.toStdString();
    }
    EXPECT_FALSE(app::findHandler(QStringLiteral("onNothing")));
}

TEST(StartUp, DrawsTheFirstCardOnceWhileHiddenAndFitsTheClientArea) {
    std::vector<bool> shownAtDraw;
    app::setDrawCardListener([&] { shownAtDraw.push_back(app::mainWindow()->isVisible()); });
    auto built = apptest::buildOnly();
    EXPECT_TRUE(shownAtDraw.empty()) << "building ran a handler";
    const QPoint corner = built->frameGeometry().topLeft();
    built.reset();

    auto window = apptest::launch();
    app::setDrawCardListener({});
    ASSERT_TRUE(window);
    EXPECT_EQ(shownAtDraw, std::vector<bool>{false});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->clientWidth(), 426);
    EXPECT_EQ(window->clientHeight(), 401);
    EXPECT_EQ(window->frameGeometry().topLeft(), corner);

    // The first card is on 画板1 when the window appears, drawn on the twin.
    ASSERT_FALSE(app::offscreenCanvas.empty());
    const auto* twin = qobject_cast<card::DrawPanel*>(window->unit(app::offscreenCanvas.control)->widget);
    ASSERT_NE(twin, nullptr);
    EXPECT_TRUE(twin->isHidden());
    const auto* canvas = window->control<card::DrawPanel>(QStringLiteral("画板1"));
    EXPECT_EQ(canvas->surface().memoryPicture(), twin->surface().memoryPicture());
    EXPECT_NE(canvas->surface().memoryPicture().pixelColor(2, 2), QColor(Qt::white));  // the template

    // The redirections of the three inputs that have no handlers.
    const auto redirectOf = [&](const char16_t* name) {
        return window->unit(window->ref(QString::fromUtf16(name)).control)->redirect;
    };
    EXPECT_EQ(redirectOf(u"编辑框2"), window->ref(QStringLiteral("编辑框1")).control);
    EXPECT_EQ(redirectOf(u"编辑框3"), window->ref(QStringLiteral("编辑框1")).control);
    EXPECT_EQ(redirectOf(u"组合框2"), window->ref(QStringLiteral("组合框1")).control);
}

class HandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = apptest::launch();
        ASSERT_TRUE(window);
    }
    app::EditBox* edit(const char16_t* name) const { return window->control<app::EditBox>(QString::fromUtf16(name)); }
    app::ComboBox* combo(const char16_t* name) const {
        return window->control<app::ComboBox>(QString::fromUtf16(name));
    }
    QImage card() const { return window->control<card::DrawPanel>(QStringLiteral("画板1"))->surface().memoryPicture(); }

    // Opens the list and accepts the item `steps` rows below the current one.
    void choose(app::ComboBox* list, int steps) {
        list->setFocus(Qt::OtherFocusReason);
        list->showPopup();
        QWidget* view = list->view();
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(view, Qt::Key_Down);
        }
        QTest::keyClick(view, Qt::Key_Return);
    }

    std::unique_ptr<app::Window> window;
};

TEST_F(HandlersTest, EachUserChangeOfAnEditBoxDrawsOnce) {
    struct Row {
        const char16_t* box;
        const char* action;
    };
    for (const Row row : {Row{u"编辑框1", "type"}, Row{u"编辑框2", "type"}, Row{u"编辑框3", "type"},
                          Row{u"编辑框3", "backspace"}, Row{u"编辑框3", "paste five"}, Row{u"编辑框3", "undo"}}) {
        app::EditBox* box = edit(row.box);
        box->setFocus(Qt::OtherFocusReason);
        box->end(false);
        const QString before = box->text();
        DrawCardCounter draws;
        const std::string action = row.action;
        if (action == "type") {
            QTest::keyClick(box, Qt::Key_A);
        } else if (action == "backspace") {
            QTest::keyClick(box, Qt::Key_Backspace);
        } else if (action == "paste five") {
            QApplication::clipboard()->setText(QStringLiteral("12345"));
            box->paste();
        } else {
            box->undo();
        }
        EXPECT_NE(box->text(), before) << action;
        EXPECT_EQ(draws.count(), 1) << action << " in " << QString::fromUtf16(row.box).toStdString();
    }
    // A key that changes no text draws nothing.
    DrawCardCounter draws;
    QTest::keyClick(edit(u"编辑框3"), Qt::Key_Left);
    EXPECT_EQ(draws.count(), 0);
}

TEST_F(HandlersTest, TheAgeBoxTakesAnyText) {
    // Typed one character at a time, as a keyboard or input method gives them.
    for (const QChar c : QStringLiteral("abc 三十")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit(u"编辑框3"), &press);
    }
    EXPECT_EQ(edit(u"编辑框3")->text(), QStringLiteral("abc 三十"));
}

TEST_F(HandlersTest, AProgramWriteDrawsOnceBeforeItReturnsEvenWhenUnchanged) {
    app::EditBox* path = edit(u"编辑框1");
    for (const QString& text : {QStringLiteral("nothing-here.bmp"), QStringLiteral("nothing-here.bmp")}) {
        DrawCardCounter draws;
        path->writeText(text);
        EXPECT_EQ(draws.count(), 1);
    }
}

TEST_F(HandlersTest, EachAcceptedChoiceDrawsOnceAfterTheSelectionIsUpdated) {
    for (const char16_t* name : {u"组合框1", u"组合框2"}) {
        app::ComboBox* list = combo(name);
        int selectedAtDraw = -1;
        DrawCardCounter draws;
        app::setDrawCardListener([&] { selectedAtDraw = list->currentIndex(); });
        choose(list, 2);
        EXPECT_EQ(selectedAtDraw, -1) << "delivered before the posted event was handled";
        QCoreApplication::processEvents();
        EXPECT_EQ(selectedAtDraw, 2) << QString::fromUtf16(name).toStdString();
        app::setDrawCardListener({});
    }
}

TEST_F(HandlersTest, ChoosingTheSelectedTemplateAgainDrawsOnceAndTheCardStays) {
    const QImage before = card();
    DrawCardCounter draws;
    choose(combo(u"组合框2"), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(draws.count(), 1);
    EXPECT_EQ(card(), before);
}

TEST_F(HandlersTest, TheTemplateChoiceChangesTheCard) {
    const QImage before = card();
    choose(combo(u"组合框2"), 3);
    QCoreApplication::processEvents();
    EXPECT_NE(card(), before);
}

TEST_F(HandlersTest, BrowseWritesThePathAndRedrawsWithinTheClick) {
    QString chosen;
    int draws = 0;
    app::setDrawCardListener([&] { ++draws; });
    files::CommonDlg::setChooser([&](const files::ChooserRequest& request) -> std::optional<QString> {
        EXPECT_EQ(request.kind, files::DialogKind::Open);
        if (chosen.isEmpty()) {
            return std::nullopt;
        }
        return chosen;
    });
    auto* browse = window->control<app::Button>(QStringLiteral("按钮1"));

    QTest::mouseClick(browse, Qt::LeftButton);  // cancelled
    EXPECT_EQ(edit(u"编辑框1")->text(), QString());
    EXPECT_EQ(draws, 0);

    chosen = QStringLiteral("/nonexistent/photo.bmp");
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(edit(u"编辑框1")->text(), chosen);
    EXPECT_EQ(draws, 1);

    files::CommonDlg::resetChooser();
    app::setDrawCardListener({});
}

TEST_F(HandlersTest, MakeSavesTheCardAsTheLastDrawLeftIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString target = folder.filePath(QStringLiteral("card.bmp"));
    files::CommonDlg::setChooser([&](const files::ChooserRequest& request) -> std::optional<QString> {
        EXPECT_EQ(request.kind, files::DialogKind::Save);
        return target;
    });
    DrawCardCounter draws;
    QTest::mouseClick(window->control<app::Button>(QStringLiteral("按钮2")), Qt::LeftButton);
    files::CommonDlg::resetChooser();
    EXPECT_EQ(draws.count(), 0);  // saving does not redraw

    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    const auto* twin = qobject_cast<card::DrawPanel*>(window->unit(app::offscreenCanvas.control)->widget);
    const std::vector<std::uint8_t> expected = twin->surface().getPicture();
    ASSERT_EQ(bytes.size(), 336054);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reinterpret_cast<const std::uint8_t*>(bytes.data())));
}

TEST(RuntimeErrorMessage, CodeAndTextLines) {
    struct Row {
        int code;
        QString text;
        QString message;
    };
    const Row rows[] = {
        {9, QStringLiteral("索引越界"), QStringLiteral("运行时出错!\r\n\r\n错误代码：9\r\n\r\n错误信息：索引越界\r\n")},
        {0, QStringLiteral("载入启动窗口失败"), QStringLiteral("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n")},
        {-7, QString(), QStringLiteral("运行时出错!\r\n\r\n错误代码：-7\r\n\r\n")},
        {0, QString(), QStringLiteral("运行时出错!\r\n\r\n")},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(app::runtimeErrorMessage(row.code, row.text), row.message) << row.code;
    }
}

void printErrorBox(const QString& title, const QString& message) {
    const bool shown = app::mainWindow() != nullptr && app::mainWindow()->isVisible();
    std::fprintf(stderr, "[%s|%s] %s", qPrintable(title), shown ? "window shown" : "window hidden",
                 qPrintable(message));
}

TEST(DrawCardDeathTest, ATemplateChoiceOutsideTheListIsError9) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    const QString expected = QStringLiteral("\\[错误\\|window shown\\] 运行时出错!\r\n\r\n错误代码：9\r\n\r\n错误信息：") +
                             QString::fromUtf16(app::kError9Text) + QStringLiteral("\r\n$");
    app::setErrorBox(printErrorBox);
    window->control<app::ComboBox>(QStringLiteral("组合框2"))->setCurrentIndex(-1);
    EXPECT_EXIT(app::drawCard(), ::testing::ExitedWithCode(255), expected.toStdString());
    app::setErrorBox({});
}

TEST(DrawCardDeathTest, AnErrorDuringCreatedShowsOnlyTheBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto window = apptest::buildOnly();
    ASSERT_TRUE(window);
    window->control<app::ComboBox>(QStringLiteral("组合框2"))->setCurrentIndex(-1);
    app::setErrorBox(printErrorBox);
    EXPECT_EXIT(app::raiseEvent(window->ref(), app::Event::Created), ::testing::ExitedWithCode(255),
                "\\[错误\\|window hidden\\] 运行时出错!\r\n\r\n错误代码：9\r\n");
    app::setErrorBox({});
}

}  // namespace

// The main window as the user meets it: places, texts, items, flags, stacking,
// tab order, Enter and Esc.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

#include "app/controls.h"
#include "app_testing.h"

namespace {

QWidget* named(const app::Window& window, const char16_t* name) {
    return window.widget(QString::fromUtf16(name));
}

TEST(MainWindow, UnitsLieAtTheirPlacesInTheClientArea) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    struct Row {
        const char16_t* name;
        QRect inClientArea;
    };
    const Row rows[] = {
        {u"外形框1", {8, 8, 410, 88}},     {u"外形框2", {8, 102, 410, 291}}, {u"标签1", {16, 20, 40, 60}},
        {u"编辑框1", {52, 16, 284, 20}},   {u"按钮1", {344, 14, 64, 22}},    {u"编辑框2", {52, 39, 92, 20}},
        {u"标签2", {147, 39, 40, 20}},     {u"组合框1", {182, 39, 56, 20}},  {u"标签3", {245, 39, 48, 20}},
        {u"编辑框3", {280, 39, 56, 20}},   {u"按钮2", {344, 39, 64, 22}},    {u"组合框2", {52, 64, 186, 20}},
        {u"通用对话框1", {248, 16, 24, 24}}, {u"画板1", {13, 107, 400, 280}},
    };
    for (const Row& row : rows) {
        const QWidget* unit = named(*window, row.name);
        ASSERT_NE(unit, nullptr) << QString::fromUtf16(row.name).toStdString();
        const QRect have(unit->mapTo(window.get(), QPoint(0, 0)), unit->size());
        EXPECT_EQ(have, row.inClientArea) << QString::fromUtf16(row.name).toStdString();
    }
    // Every control is shown except the chooser, which has no presence.
    for (const auto& unit : window->units()) {
        const bool chooser = unit->desc.kind == app::UnitKind::CommonDlg;
        const bool twin = unit->desc.name.isEmpty();  // offscreenCanvas
        EXPECT_EQ(unit->widget->isVisible(), !chooser && !twin) << unit->desc.name.toStdString();
    }
}

TEST(MainWindow, WindowSettings) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessivanev1.0"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed border
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->windowIcon().availableSizes().value(0), QSize(32, 32));

    // Centred for the stored outer size 439 x 464, the fraction dropped, and
    // the fit keeps that corner.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->frameGeometry().topLeft(),
              QPoint((screen.width() - 439) / 2, (screen.height() - 464) / 2));
}

TEST(MainWindow, InitialTextsItemsAndSelections) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->control<app::EditBox>(QStringLiteral("编辑框1"))->text(), QString());
    EXPECT_EQ(window->control<app::EditBox>(QStringLiteral("编辑框2"))->text(), QStringLiteral("tessivanev.cn"));
    EXPECT_EQ(window->control<app::EditBox>(QStringLiteral("编辑框3"))->text(), QString());
    EXPECT_EQ(window->control<app::Button>(QStringLiteral("按钮1"))->text(), QStringLiteral("浏览…"));
    EXPECT_EQ(window->control<app::Button>(QStringLiteral("按钮2"))->text(), QStringLiteral("制作"));
    EXPECT_EQ(window->control<app::Label>(QStringLiteral("标签1"))->text(),
              QStringLiteral("照片：\r\n\r\n姓名：\r\n\r\n模板："));
    EXPECT_EQ(window->control<app::Label>(QStringLiteral("标签2"))->text(), QStringLiteral("性别："));
    EXPECT_EQ(window->control<app::Label>(QStringLiteral("标签3"))->text(), QStringLiteral("年龄："));

    struct Row {
        const char16_t* name;
        QStringList items;
    };
    const Row lists[] = {
        {u"组合框1", {QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("保密")}},
        {u"组合框2",
         {QStringLiteral("灌水证(蓝色)"), QStringLiteral("灌水证(紫色)"), QStringLiteral("灌水证(绿色)"),
          QStringLiteral("忽悠证")}},
    };
    for (const Row& row : lists) {
        auto* combo = qobject_cast<app::ComboBox*>(named(*window, row.name));
        ASSERT_NE(combo, nullptr);
        QStringList have;
        for (int i = 0; i < combo->count(); ++i) {
            have << combo->itemText(i);
        }
        EXPECT_EQ(have, row.items);
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_FALSE(combo->isEditable());  // nothing can be typed into it
        EXPECT_GE(combo->maxVisibleItems(), combo->count());
    }
}

TEST(MainWindow, LaterSiblingsLieAbove) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    // Top to bottom in 外形框1, as stored.
    const char16_t* topDown[] = {u"组合框2", u"按钮2", u"编辑框3", u"标签3", u"组合框1",
                                 u"标签2",  u"编辑框2", u"按钮1", u"编辑框1", u"标签1"};
    const QObjectList& stack = named(*window, u"外形框1")->children();  // bottom first
    for (std::size_t i = 0; i + 1 < std::size(topDown); ++i) {
        EXPECT_GT(stack.indexOf(named(*window, topDown[i])), stack.indexOf(named(*window, topDown[i + 1])))
            << i;
    }
    // Where a caption runs under a box, the box is what the user hits.
    EXPECT_EQ(window->childAt(QPoint(54, 22)), named(*window, u"编辑框1"));
    EXPECT_EQ(window->childAt(QPoint(183, 45)), named(*window, u"组合框1"));
    EXPECT_EQ(window->childAt(QPoint(281, 45)), named(*window, u"编辑框3"));
}

// Both frames look alike although one is white by its background colour and
// the other by its fill colour; the window around them is the face colour.
TEST(MainWindow, FramesShowWhiteInsideABlackOutline) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    const QImage shot = window->grab().toImage();
    struct Row {
        const char* where;
        QPoint at;
        QColor colour;
    };
    const Row rows[] = {
        {"外形框1 top-left corner", {8, 8}, Qt::black},
        {"外形框1 bottom-right corner", {417, 95}, Qt::black},
        {"inside 外形框1", {12, 90}, Qt::white},
        {"外形框2 top-left corner", {8, 102}, Qt::black},
        {"外形框2 bottom-right corner", {417, 392}, Qt::black},
        {"inside 外形框2, between outline and canvas", {10, 390}, Qt::white},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(shot.pixelColor(row.at), row.colour) << row.where;
    }
    const QColor face = shot.pixelColor(4, 4);
    EXPECT_NE(face, QColor(Qt::white));
    EXPECT_EQ(face, QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(shot.pixelColor(421, 397), face);  // the margin below 外形框2 after the fit
}

// Tab and Shift+Tab in the stored order, both wrapping; Enter moves nothing.
TEST(MainWindow, TabOrderBothWaysAndEnter) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    const char16_t* order[] = {u"编辑框1", u"按钮1", u"编辑框2", u"组合框1", u"编辑框3", u"按钮2", u"组合框2"};
    const int n = static_cast<int>(std::size(order));

    auto* first = window->control<app::EditBox>(QStringLiteral("编辑框1"));
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(first->cursorPosition(), 0);

    for (int i = 1; i <= n; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), named(*window, order[i % n])) << "Tab " << i;
    }
    for (int i = n - 1; i >= -1; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), named(*window, order[(i + n) % n])) << "Shift+Tab " << i;
    }

    // Tabbing into the name box leaves its caret at the start, nothing selected.
    auto* name = window->control<app::EditBox>(QStringLiteral("编辑框2"));
    EXPECT_EQ(name->cursorPosition(), 0);
    first->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), name);
    EXPECT_FALSE(name->hasSelectedText());
    EXPECT_EQ(name->cursorPosition(), 0);

    // Enter in every control: no button clicked, the focus stays.
    QSignalSpy browse(window->control<app::Button>(QStringLiteral("按钮1")), &QPushButton::clicked);
    QSignalSpy make(window->control<app::Button>(QStringLiteral("按钮2")), &QPushButton::clicked);
    for (const char16_t* unit : order) {
        QWidget* control = named(*window, unit);
        control->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(QApplication::focusWidget(), control) << QString::fromUtf16(unit).toStdString();
    }
    EXPECT_EQ(browse.count(), 0);
    EXPECT_EQ(make.count(), 0);
    EXPECT_TRUE(window->isVisible());
}

TEST(MainWindow, EscClosesFromEveryFocusableControl) {
    const char16_t* focusable[] = {u"编辑框1", u"按钮1", u"编辑框2", u"组合框1", u"编辑框3", u"按钮2", u"组合框2"};
    for (const char16_t* unit : focusable) {
        auto window = apptest::launch();
        ASSERT_TRUE(window);
        QWidget* control = named(*window, unit);
        control->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << QString::fromUtf16(unit).toStdString();
    }
}

TEST(MainWindow, EscClosesFromAnOpenList) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    auto* combo = window->control<app::ComboBox>(QStringLiteral("组合框2"));
    combo->setFocus(Qt::OtherFocusReason);
    combo->showPopup();
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QWidget* target = popup->focusWidget() != nullptr ? popup->focusWidget() : combo->view();
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST(MainWindow, EscWithAModifierDoesNothing) {
    auto window = apptest::launch();
    ASSERT_TRUE(window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(window->isVisible());
}

}  // namespace

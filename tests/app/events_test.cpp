// Event delivery, redirection, copyComponent and the window geometry
// operations, on the main window as built from its description.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <map>
#include <string>

#include "app/controls.h"
#include "app/events.h"
#include "app/runtime.h"
#include "app_testing.h"
#include "card/draw_panel.h"

namespace {

using app::ControlRef;
using app::Event;

// Binds a counting handler under a tag to a unit's event.
struct Calls {
    std::map<std::string, int> count;
    app::Handler counter(const std::string& tag) {
        return [this, tag] { ++count[tag]; };
    }
};

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = apptest::buildOnly();
        ASSERT_TRUE(window);
    }
    ControlRef ref(const char16_t* name) const { return window->ref(QString::fromUtf16(name)); }
    const app::Unit& unit(const char16_t* name) const { return *window->unit(ref(name).control); }

    std::unique_ptr<app::Window> window;
};

TEST_F(EventsTest, RedirectEventsRules) {
    const ControlRef edit1 = ref(u"编辑框1");
    const ControlRef edit2 = ref(u"编辑框2");
    const ControlRef edit3 = ref(u"编辑框3");
    const ControlRef combo1 = ref(u"组合框1");
    const ControlRef combo2 = ref(u"组合框2");
    const ControlRef other = apptest::buildOnly()->ref(QStringLiteral("编辑框1"));  // a window now gone

    struct Row {
        const char* why;
        ControlRef source;
        ControlRef target;
        bool accepted;
    };
    const Row rows[] = {
        {"edit box to combo box: kinds differ", edit2, combo1, false},
        {"combo box to edit box", combo2, edit1, false},
        {"target on a window that is not loaded", edit2, other, false},
        {"target that does not exist", edit2, ControlRef{edit1.window, 999}, false},
        {"the window itself as target", edit2, window->ref(), false},
        {"source that does not exist", ControlRef{edit1.window, 999}, edit1, false},
        {"source on a window that is not loaded", other, edit1, false},
        {"to itself: a cycle", edit1, edit1, false},
        {"edit box to edit box", edit2, edit1, true},
        {"combo box to combo box", combo2, combo1, true},
    };
    for (const Row& row : rows) {
        window->clearRedirections();
        EXPECT_EQ(app::redirectEvents(row.source, row.target), row.accepted) << row.why;
        if (const app::Unit* source = window->unit(row.source.control); source && row.source.window == edit1.window) {
            EXPECT_EQ(source->redirect, row.accepted ? row.target.control : 0) << row.why;
        }
    }

    // A chain that would come back to its start is refused; the chain stays.
    window->clearRedirections();
    ASSERT_TRUE(app::redirectEvents(edit2, edit3));
    ASSERT_TRUE(app::redirectEvents(edit3, edit1));
    EXPECT_FALSE(app::redirectEvents(edit1, edit2));
    EXPECT_EQ(unit(u"编辑框1").redirect, 0);

    // An empty target removes the source's own redirection only.
    EXPECT_TRUE(app::redirectEvents(edit2, ControlRef{}));
    EXPECT_EQ(unit(u"编辑框2").redirect, 0);
    EXPECT_EQ(unit(u"编辑框3").redirect, edit1.control);

    // The window as source removes every redirection of the window.
    ASSERT_TRUE(app::redirectEvents(combo2, combo1));
    EXPECT_TRUE(app::redirectEvents(window->ref(), edit1));
    for (const auto& u : window->units()) {
        EXPECT_EQ(u->redirect, 0) << u->desc.name.toStdString();
    }
}

TEST_F(EventsTest, DeliveryFollowsTheChainToItsEnd) {
    Calls calls;
    const ControlRef edit1 = ref(u"编辑框1");
    const ControlRef edit2 = ref(u"编辑框2");
    const ControlRef edit3 = ref(u"编辑框3");
    window->setBinding(edit1.control, Event::TextChanged, calls.counter("edit1"));
    window->setBinding(edit2.control, Event::TextChanged, calls.counter("edit2"));
    window->setBinding(edit2.control, Event::Clicked, calls.counter("edit2 clicked"));
    window->setBinding(edit3.control, Event::TextChanged, calls.counter("edit3"));

    // First → second → third: the third's bindings serve the first.
    ASSERT_TRUE(app::redirectEvents(edit3, edit2));
    ASSERT_TRUE(app::redirectEvents(edit2, edit1));
    app::raiseEvent(edit3, Event::TextChanged);
    EXPECT_EQ(calls.count["edit1"], 1);
    EXPECT_EQ(calls.count["edit2"], 0);
    EXPECT_EQ(calls.count["edit3"], 0);

    // The end of the chain has no Clicked binding: nothing runs, although the
    // second control has one and the raising control has none.
    app::raiseEvent(edit3, Event::Clicked);
    EXPECT_EQ(calls.count["edit2 clicked"], 0);

    // Without redirection a control's own bindings serve it.
    window->clearRedirections();
    app::raiseEvent(edit3, Event::TextChanged);
    EXPECT_EQ(calls.count["edit3"], 1);
}

TEST_F(EventsTest, EventsRaisedWhileSuppressedAreDroppedNotQueued) {
    Calls calls;
    const ControlRef edit1 = ref(u"编辑框1");
    const ControlRef combo1 = ref(u"组合框1");
    window->setBinding(edit1.control, Event::TextChanged, calls.counter("text"));
    window->setBinding(combo1.control, Event::ListItemSelected, calls.counter("list"));
    {
        app::SuppressEvents building;
        window->control<app::EditBox>(QStringLiteral("编辑框1"))->writeText(QStringLiteral("x"));
        auto* combo = window->control<app::ComboBox>(QStringLiteral("组合框1"));
        emit combo->activated(1);
    }
    EXPECT_EQ(app::suppressionDepth(), 0);
    // The list event is posted; raised while suppressed, it must not arrive
    // once the depth is back to 0.
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.count["text"], 0);
    EXPECT_EQ(calls.count["list"], 0);

    // Outside suppression the same actions are delivered, the list's later.
    window->control<app::EditBox>(QStringLiteral("编辑框1"))->writeText(QStringLiteral("x"));
    emit window->control<app::ComboBox>(QStringLiteral("组合框1"))->activated(1);
    EXPECT_EQ(calls.count["text"], 1);
    EXPECT_EQ(calls.count["list"], 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.count["list"], 1);
}

TEST_F(EventsTest, CopyComponentMakesAHiddenTwinBehindTheSource) {
    const ControlRef canvasRef = ref(u"画板1");
    auto* canvas = window->control<card::DrawPanel>(QStringLiteral("画板1"));
    // Something drawn on the source before the copy must not come along.
    canvas->surface().drawRectangle(10, 10, 50, 50);

    const ControlRef copyRef = app::copyComponent(canvasRef);
    ASSERT_FALSE(copyRef.empty());
    const app::Unit* copy = window->unit(copyRef.control);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copyRef.control, canvasRef.control);
    EXPECT_EQ(copy->desc.kind, app::UnitKind::DrawPanel);
    EXPECT_EQ(copy->widget->geometry(), canvas->geometry());
    EXPECT_EQ(copy->widget->parentWidget(), canvas->parentWidget());
    EXPECT_TRUE(copy->widget->isHidden());
    EXPECT_TRUE(copy->bindings.empty());
    EXPECT_EQ(copy->redirect, canvasRef.control);

    // Right after the source among the window's units…
    const auto& units = window->units();
    for (std::size_t i = 0; i + 1 < units.size(); ++i) {
        if (units[i]->id == canvasRef.control) {
            EXPECT_EQ(units[i + 1]->id, copyRef.control);
        }
    }
    // …and directly behind it in the container's stacking order.
    const QObjectList& siblings = canvas->parentWidget()->children();
    EXPECT_EQ(siblings.indexOf(copy->widget) + 1, siblings.indexOf(canvas));

    const auto* twin = qobject_cast<card::DrawPanel*>(copy->widget.data());
    ASSERT_NE(twin, nullptr);
    const QImage& picture = twin->surface().memoryPicture();
    ASSERT_EQ(picture.size(), QSize(400, 280));
    EXPECT_EQ(picture.pixelColor(10, 10), QColor(Qt::white));
    EXPECT_EQ(twin->storedState().backgroundColour, canvas->storedState().backgroundColour);

    // Not a control of a loaded window: nothing made.
    EXPECT_TRUE(app::copyComponent(window->ref()).empty());
    EXPECT_TRUE(app::copyComponent(ControlRef{canvasRef.window, 999}).empty());
    EXPECT_TRUE(app::copyComponent(ControlRef{}).empty());
}

TEST_F(EventsTest, OuterSizeWritesClampKeepTheCornerAndWorkHidden) {
    ASSERT_FALSE(window->isVisible());
    const QPoint corner = window->frameGeometry().topLeft();
    const int height = window->outerHeight();

    struct Row {
        int written;
        int expected;
    };
    for (const Row row : {Row{500, 500}, Row{-5, 0}, Row{40000, 32627}, Row{32627, 32627}, Row{300, 300}}) {
        window->setOuterWidth(row.written);
        EXPECT_EQ(window->outerWidth(), row.expected) << "written " << row.written;
        EXPECT_EQ(window->outerHeight(), height);
        EXPECT_EQ(window->frameGeometry().topLeft(), corner);
    }
    window->setOuterHeight(250);
    EXPECT_EQ(window->outerHeight(), 250);
    EXPECT_EQ(window->outerWidth(), 300);
    EXPECT_EQ(window->frameGeometry().topLeft(), corner);
}

// The guards of the delivery rule end the program through the error report.
class DeliveryGuardDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

void printErrorBox(const QString& title, const QString& message) {
    std::fprintf(stderr, "[%s] %s", qPrintable(title), qPrintable(message));
}

TEST_F(DeliveryGuardDeathTest, UnknownWindowControlOrKindEndWithStatusMinusOne) {
    auto window = apptest::buildOnly();
    ASSERT_TRUE(window);
    const int id = window->id();
    const ControlRef chooser = window->ref(QStringLiteral("通用对话框1"));
    app::setErrorBox(printErrorBox);
    EXPECT_EXIT(app::raiseEvent(ControlRef{id + 100, 0}, Event::Clicked), ::testing::ExitedWithCode(255),
                "\\[错误\\] 运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口\r\n$");
    EXPECT_EXIT(app::raiseEvent(ControlRef{id, 999}, Event::Clicked), ::testing::ExitedWithCode(255),
                "错误信息：未找到引发事件的窗口组件\r\n$");
    EXPECT_EXIT(app::raiseEvent(chooser, Event::Clicked), ::testing::ExitedWithCode(255),
                "错误信息：引发事件的窗口组件无效\r\n$");
    app::setErrorBox({});
}

}  // namespace

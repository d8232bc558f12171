// The canvas control: it paints what its surface keeps, and repaints the part
// of itself that a drawing operation changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPalette>

#include "card/draw_panel.h"

namespace {

using card::DrawingState;
using card::DrawPanel;
using card::Surface;

QApplication& application() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "draw_panel_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals are gone by the time statics are, and
    // tearing the application down then crashes.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

class DrawPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { application(); }
};

// Collects the areas Qt asks the panel to paint.
class PaintSpy : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST_F(DrawPanelTest, IsItsCanvasSizeAndKeepsTheStoredStateForCopies) {
    DrawingState state = DrawingState::cardCanvas();
    state.textColour = 0x123456;
    DrawPanel panel(state, 400, 280);
    EXPECT_EQ(panel.size(), QSize(400, 280));
    EXPECT_EQ(panel.surface().width(), 400);
    panel.surface().setTextColour(0x606060);
    // A copy starts from what was stored, not from later changes.
    EXPECT_EQ(panel.storedState().textColour, 0x123456u);
    EXPECT_EQ(panel.surface().state().textColour, 0x606060u);
}

TEST_F(DrawPanelTest, RepaintsShowWhatWasCopiedOntoIt) {
    DrawPanel panel(DrawingState::cardCanvas(), 40, 30);
    DrawingState blackState = DrawingState::cardCanvas();
    blackState.backgroundColour = 0x000000;
    const Surface black(10, 10, blackState);
    black.copyTo(panel.surface(), {}, {}, {}, {}, 5, 5);

    // grab() repaints the whole control, as uncovering it would.
    const QImage shown = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(40, 30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb want = QRect(5, 5, 10, 10).contains(x, y) ? 0x000000u : 0xFFFFFFu;
            ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFFu, want) << x << "," << y;
        }
}

TEST_F(DrawPanelTest, WithoutAKeptPictureItShowsItsBackground) {
    DrawPanel panel(DrawingState{}, 8, 8);
    const QImage shown = panel.grab().toImage();
    EXPECT_EQ(shown.pixel(4, 4) & 0xFFFFFFu, QPalette().color(QPalette::Button).rgb() & 0xFFFFFFu);
}

TEST_F(DrawPanelTest, ADrawingOperationRepaintsOnlyTheChangedPart) {
    DrawPanel panel(DrawingState::cardCanvas(), 400, 280);
    panel.show();
    QApplication::processEvents();
    PaintSpy spy;
    panel.installEventFilter(&spy);
    panel.surface().drawRectangle(324, 15, 384, 80);
    QApplication::processEvents();
    EXPECT_EQ(spy.painted, QRegion(324, 15, 60, 65));

    // A hidden canvas keeps drawing into its picture but paints nothing.
    panel.hide();
    spy.painted = QRegion();
    panel.surface().clear();
    QApplication::processEvents();
    EXPECT_TRUE(spy.painted.isEmpty());
    EXPECT_EQ(panel.surface().memoryPicture().pixel(324, 15) & 0xFFFFFFu, 0xFFFFFFu);
}

}  // namespace

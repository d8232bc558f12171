#include "card/draw_panel.h"

#include <QPaintEvent>
#include <QPainter>

namespace card {

DrawPanel::DrawPanel(const DrawingState& state, int width, int height, QWidget* parent)
    : QWidget(parent), storedState_(state), surface_(width, height, state) {
    // The client area is the whole control: the tool's canvases have no border.
    setFixedSize(surface_.width(), surface_.height());
    // Every pixel comes from the kept picture, so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_.setChangeListener([this](const QRect& area) { update(area); });
}

Surface& DrawPanel::surface() { return surface_; }
const Surface& DrawPanel::surface() const { return surface_; }
const DrawingState& DrawPanel::storedState() const { return storedState_; }

void DrawPanel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    const QImage& picture = surface_.memoryPicture();
    if (picture.isNull()) {
        painter.fillRect(area, surface_.resolvedBackgroundColour());
        return;
    }
    const QRect shown = area.intersected(picture.rect());
    painter.drawImage(shown.topLeft(), picture, shown);
    // Beyond the picture (never for the tool's canvases) the background shows.
    const QRegion rest = QRegion(area) - QRegion(shown);
    for (const QRect& part : rest) painter.fillRect(part, surface_.resolvedBackgroundColour());
}

}  // namespace card

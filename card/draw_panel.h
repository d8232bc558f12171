// `DrawPanel`: the canvas control. It owns a Surface, forwards the drawing
// operations to it and repaints its screen area from the `memoryPicture`.
#pragma once

#include <QWidget>

#include "card/surface.h"

namespace card {

class DrawPanel : public QWidget {
    Q_OBJECT
public:
    DrawPanel(const DrawingState& state, int width, int height, QWidget* parent = nullptr);

    Surface& surface();
    const Surface& surface() const;
    const DrawingState& storedState() const;  // what a copy of this control starts with

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawingState storedState_;
    Surface surface_;
};

}  // namespace card

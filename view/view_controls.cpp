#include "view/view_controls.h"

#include <cstdlib>

#include "interaction/mouse.h"

namespace {

constexpr int kWheelAway = 3;
constexpr int kWheelToward = 4;

}  // namespace

bool ViewControls::mouse(int button, int state, int x, int y) {
    if (button == kWheelAway || button == kWheelToward) {
        // A notch comes as a press and a release; the press zooms.
        if (state == kButtonDown) orbit_.zoom(button == kWheelAway ? kNotchNearer : 1.0 / kNotchNearer);
        return true;
    }
    if (button != kMiddleButton) return false;
    if (state == kButtonDown) {
        turning_ = true;
        dragged_ = false;
        pressX_ = lastX_ = x;
        pressY_ = lastY_ = y;
    } else if (state == kButtonUp && turning_) {
        motion(x, y);
        turning_ = false;
        if (!dragged_) orbit_.reset();
    }
    return true;
}

void ViewControls::motion(int x, int y) {
    if (!turning_) return;
    if (std::abs(x - pressX_) > kClickSlop || std::abs(y - pressY_) > kClickSlop) dragged_ = true;
    if (!dragged_) return;
    turnByDrag(x - lastX_, y - lastY_);
    lastX_ = x;
    lastY_ = y;
}

void ViewControls::turnByDrag(double dx, double dy) { orbit_.turn(-kTurnPerPixel * dx, kTurnPerPixel * dy); }

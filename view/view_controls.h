#pragma once

#include "view/view_orbit.h"

// The view's mouse controls, the same in the window and the page: a middle-button drag turns
// the view around its target, a middle click (press and release with no drag) brings back the
// fixed view, the wheel zooms. Events in the toolkit's codes: button 1 is the middle button,
// and the wheel's notches come as presses of buttons 3 (away from the user: nearer) and 4.
// Pointer positions in window pixels.
class ViewControls {
public:
    explicit ViewControls(ViewOrbit& orbit) : orbit_(orbit) {}

    // True when the event is the view's (middle button, wheel); every other event is the
    // simulation's and is left to onMouse.
    bool mouse(int button, int state, int x, int y);

    // The pointer moved with a button held; turns the view while the middle button is.
    void motion(int x, int y);

    // Turns the view as a drag of (dx, dy) pixels does, as if grabbing the scene: a drag to
    // the right turns it to the right (the eye goes left), a drag down tips its top toward the
    // viewer (the eye rises). Touch gestures on the page turn it this way too.
    void turnByDrag(double dx, double dy);

    // Radians of turn per pixel of drag: across the 800-pixel window, a little over half a turn.
    static constexpr double kTurnPerPixel = 0.005;
    // Distance factor of one wheel notch toward the user's screen.
    static constexpr double kNotchNearer = 0.9;
    // A middle press and release further apart than this (pixels, either axis) are a drag.
    static constexpr int kClickSlop = 3;

private:
    ViewOrbit& orbit_;
    bool turning_ = false;
    bool dragged_ = false;
    int pressX_ = 0, pressY_ = 0, lastX_ = 0, lastY_ = 0;
};

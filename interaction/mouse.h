#pragma once

// Button and state codes of the toolkit's mouse callback.
constexpr int kLeftButton = 0;
constexpr int kMiddleButton = 1;
constexpr int kRightButton = 2;
constexpr int kButtonDown = 0;
constexpr int kButtonUp = 1;

// The mouse callback. A left drag pushes every moving point for 100 steps, harder the faster
// it was made in simulated time; a right drag pushes for 200 steps in proportion to its
// length. Dragging right pushes toward +y, up toward +z (or, left button with pushPlaneYZ
// clear, down toward +x). A release replaces any push in progress. x, y: window pixels, y down.
void onMouse(int button, int state, int x, int y);

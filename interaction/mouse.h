#pragma once

// Button and state codes of the toolkit's mouse callback.
constexpr int kLeftButton = 0;
constexpr int kMiddleButton = 1;
constexpr int kRightButton = 2;
constexpr int kButtonDown = 0;
constexpr int kButtonUp = 1;

// The longest push, in force per point, that a release arms; a longer one is shortened to
// this length in its own direction. A push of about 500 per point for a few hundred steps
// already blows the lighter scenes up into NaN, and a quick flick of the mouse asks for far
// more; 200 keeps every scene finite and leaves every ordinary drag as it was.
constexpr double kMaxPushPerPoint = 200.0;

// The shortest left drag the window can time: one frame's worth of steps (80 steps of
// 0.0005 s). A left release with no elapsed simulated time counts as this long.
constexpr float kShortestTimedDrag = 0.04f;

// The mouse callback. A left drag pushes every moving point for 100 steps, harder the faster
// it was made in simulated time; a right drag pushes for 200 steps in proportion to its
// length. Dragging right pushes toward +y, up toward +z (or, left button with pushPlaneYZ
// clear, down toward +x). A release replaces any push in progress; pushes longer than
// kMaxPushPerPoint are shortened to it. x, y: window pixels, y down.
void onMouse(int button, int state, int x, int y);

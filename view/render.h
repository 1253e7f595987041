#pragma once

struct MassPoint;
struct Spring;

// The display callback: draws the room, every active spring and every moving point, at most
// once per 40 ms of real time (see frame_pacing.h); calls in between draw nothing.
void onDisplay();

// The reshape callback: the viewport fills the window, and the fixed frustum stretches the
// picture to the window's shape. Ends with a (paced) display call.
void onReshape(int width, int height);

// One spring as a red line between its two ends.
void drawSpring(const Spring& spring);

// One point as a small yellow cube (edge 0.1) around its position.
void drawPoint(const MassPoint& point);

#pragma once

#include "model/vec3.h"
#include "view/view_orbit.h"

// The display callback: draws the room, every active spring and every moving point, as
// describeFrame gives them (frame_view.h), at most once per 40 ms of real time (see
// frame_pacing.h); calls in between draw nothing.
void onDisplay();

// The reshape callback: the viewport fills the window, and the fixed frustum stretches the
// picture to the window's shape. Ends with a (paced) display call.
void onReshape(int width, int height);

// One spring as a red line between the positions of its two ends.
void drawSpring(const Vec3& a, const Vec3& b);

// One moving point as a small yellow cube (edge 0.1) around its position.
void drawPoint(const Vec3& position);

// The window's view, turned and zoomed by its mouse controls (view_controls.h).
ViewOrbit& windowView();

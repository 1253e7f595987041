#pragma once

#include "model/vec3.h"
#include "view/frame_view.h"
#include "view/view_orbit.h"

// The display callback: draws the room, every active spring, every moving point and the grab,
// as describeFrame gives them (frame_view.h), at most once per 40 ms of real time (see
// frame_pacing.h); calls in between draw nothing.
void onDisplay();

// The reshape callback: the viewport fills the window, and the fixed frustum stretches the
// picture to the window's shape. Ends with a (paced) display call.
void onReshape(int width, int height);

// One spring as a red line between the positions of its two ends.
void drawSpring(const Vec3& a, const Vec3& b);

// One moving point as a small yellow cube (edge 0.1) around its position.
void drawPoint(const Vec3& position);

// The point held by the grab and its target: a white line between them, the white edges of a
// cube (edge 0.16) around the target.
void drawGrab(const Vec3& point, const Vec3& target);

// The window's view, turned and zoomed by its mouse controls (view_controls.h).
ViewOrbit& windowView();
// The camera of the frame drawn last (what the pointer points at).
const ViewCamera& windowCamera();

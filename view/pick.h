#pragma once

// The grab's pointer work, without GL: which moving point lies under the pointer, and where the
// pointer's ray meets the plane the held point is dragged in. Pixels are those of a viewport of
// width x height showing `camera` (the projection stretches to it), y downward, as the window's
// mouse and the page's pointer give them.

#include "model/vec3.h"
#include "view/frame_view.h"

struct PointPick {
    int number = -1;  // the point's place in the moving chain, from 0; -1: none near the pointer
    Vec3 at{};        // where it was when picked
};

// The moving point drawn nearest to the pointer at (x, y), if it is drawn within `radius`
// pixels of it; of points equally near, the one nearer the eye, then the lower number. Points
// behind the near plane are not drawn and are not picked.
PointPick pickMovingPoint(const ViewCamera& camera, int width, int height, double x, double y, double radius);

// Where the ray from the eye through pixel (x, y) meets the plane through `through` that faces
// the eye (perpendicular to the view's direction). False when the ray runs along the plane or
// meets it behind the eye.
bool pointerOnPlane(const ViewCamera& camera, int width, int height, double x, double y, const Vec3& through,
                    Vec3& target);

// Where p is drawn, in pixels, and how far in front of the eye it lies along the view's
// direction (scene units); false for a point not in front of the near plane.
bool drawnAt(const ViewCamera& camera, int width, int height, const Vec3& p, double& x, double& y, double& depth);

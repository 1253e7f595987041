#include "view/pick.h"

#include <cmath>

#include "model/mass_point.h"
#include "sim/world.h"

namespace {

struct D3 {
    double x, y, z;
};
D3 sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot3(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 cross3(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
D3 unit(const D3& a) {
    const double n = std::sqrt(dot3(a, a));
    return n > 0.0 ? D3{a.x / n, a.y / n, a.z / n} : D3{0.0, 0.0, 0.0};
}
D3 widen(const Vec3& v) { return {v.x, v.y, v.z}; }

// The camera's frame as gluLookAt builds it: forward, side and up.
struct Frame {
    D3 eye, forward, side, up;
};
Frame frameOf(const ViewCamera& c) {
    Frame f;
    f.eye = {c.eyeX, c.eyeY, c.eyeZ};
    f.forward = unit(sub({c.targetX, c.targetY, c.targetZ}, f.eye));
    f.side = unit(cross3(f.forward, {c.upX, c.upY, c.upZ}));
    f.up = cross3(f.side, f.forward);
    return f;
}

}  // namespace

bool drawnAt(const ViewCamera& camera, int width, int height, const Vec3& p, double& x, double& y, double& depth) {
    const Frame f = frameOf(camera);
    const Frustum& fr = camera.frustum;
    const D3 d = sub(widen(p), f.eye);
    depth = dot3(d, f.forward);
    if (!(depth > fr.near)) return false;
    // glFrustum's projection, divided by the depth.
    const double ndcX = (2.0 * fr.near * dot3(d, f.side) / depth - (fr.right + fr.left)) / (fr.right - fr.left);
    const double ndcY = (2.0 * fr.near * dot3(d, f.up) / depth - (fr.top + fr.bottom)) / (fr.top - fr.bottom);
    x = (ndcX + 1.0) * 0.5 * width;
    y = (1.0 - ndcY) * 0.5 * height;
    return std::isfinite(x) && std::isfinite(y);
}

PointPick pickMovingPoint(const ViewCamera& camera, int width, int height, double x, double y, double radius) {
    PointPick best;
    double bestDistance = 0.0, bestDepth = 0.0;
    int number = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next, ++number) {
        double px = 0.0, py = 0.0, depth = 0.0;
        if (!drawnAt(camera, width, height, p->position, px, py, depth)) continue;
        const double distance = std::hypot(px - x, py - y);
        if (!(distance <= radius)) continue;
        if (best.number < 0 || distance < bestDistance || (distance == bestDistance && depth < bestDepth)) {
            best = PointPick{number, p->position};
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

bool pointerOnPlane(const ViewCamera& camera, int width, int height, double x, double y, const Vec3& through,
                    Vec3& target) {
    const Frame f = frameOf(camera);
    const Frustum& fr = camera.frustum;
    // The pixel on the near plane, in the camera's frame.
    const double ndcX = 2.0 * x / width - 1.0, ndcY = 1.0 - 2.0 * y / height;
    const double sideAt = (ndcX * (fr.right - fr.left) + (fr.right + fr.left)) * 0.5;
    const double upAt = (ndcY * (fr.top - fr.bottom) + (fr.top + fr.bottom)) * 0.5;
    const D3 ray{f.forward.x * fr.near + f.side.x * sideAt + f.up.x * upAt,
                 f.forward.y * fr.near + f.side.y * sideAt + f.up.y * upAt,
                 f.forward.z * fr.near + f.side.z * sideAt + f.up.z * upAt};
    const double along = dot3(ray, f.forward);
    const double reach = dot3(sub(widen(through), f.eye), f.forward);
    if (!(along > 0.0) || !(reach > 0.0)) return false;
    const double t = reach / along;
    target = Vec3{static_cast<float>(f.eye.x + t * ray.x), static_cast<float>(f.eye.y + t * ray.y),
                  static_cast<float>(f.eye.z + t * ray.z)};
    return std::isfinite(target.x) && std::isfinite(target.y) && std::isfinite(target.z);
}

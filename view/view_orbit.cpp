#include "view/view_orbit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "view/frame_view.h"

void ViewOrbit::turn(double yaw, double pitch) {
    if (!std::isfinite(yaw) || !std::isfinite(pitch)) return;
    // Whole turns change nothing; kept small so that a long drag cannot wear away precision.
    yaw_ = std::remainder(yaw_ + yaw, 2.0 * std::numbers::pi);
    // Beyond twice the limit a pitch would only be clamped away in apply().
    pitch_ = std::clamp(pitch_ + pitch, -2.0 * kMaxElevation, 2.0 * kMaxElevation);
}

void ViewOrbit::zoom(double factor) {
    if (!std::isfinite(factor) || factor <= 0.0) return;
    distance_ = std::clamp(distance_ * factor, kNearest, kFarthest);
}

void ViewOrbit::reset() { *this = ViewOrbit{}; }

bool ViewOrbit::isFixedView() const { return yaw_ == 0.0 && pitch_ == 0.0 && distance_ == 1.0; }

void ViewOrbit::apply(ViewCamera& c) const {
    // The fixed camera is left exactly as it is, bit for bit.
    if (isFixedView()) return;
    const double dx = c.eyeX - c.targetX, dy = c.eyeY - c.targetY, dz = c.eyeZ - c.targetZ;
    const double radius = std::sqrt(dx * dx + dy * dy + dz * dz) * distance_;
    const double azimuth = std::atan2(dy, dx) + yaw_;
    const double elevation = std::clamp(std::atan2(dz, std::hypot(dx, dy)) + pitch_, -kMaxElevation, kMaxElevation);
    c.eyeX = c.targetX + radius * std::cos(elevation) * std::cos(azimuth);
    c.eyeY = c.targetY + radius * std::cos(elevation) * std::sin(azimuth);
    c.eyeZ = c.targetZ + radius * std::sin(elevation);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "interaction/mouse.h"
#include "view/frame_view.h"
#include "view/view_controls.h"

namespace {

// The fixed eye looking at the one-cube scene's first target.
const ViewCamera kFixed{5.0, 4.5, 3.0, -0.25, 0.25, 1.5, 0.0, 0.0, 1.0, kFrustum};

ViewCamera seenThrough(const ViewOrbit& orbit) {
    ViewCamera c = kFixed;
    orbit.apply(c);
    return c;
}
bool sameBits(const ViewCamera& a, const ViewCamera& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
double distance(const ViewCamera& c) { return std::hypot(c.eyeX - c.targetX, c.eyeY - c.targetY, c.eyeZ - c.targetZ); }
double elevation(const ViewCamera& c) {
    return std::atan2(c.eyeZ - c.targetZ, std::hypot(c.eyeX - c.targetX, c.eyeY - c.targetY));
}

// Only the eye moves: turns keep its distance, zooms scale it within bounds, the elevation stays
// within its limit; a reset gives the fixed camera back bit for bit; non-numbers change nothing.
TEST(ViewOrbitTest, TurnsAndZoomsMoveOnlyTheEye) {
    const double cases[][4] = {// yaw, pitch, zoom, expected distance factor
                               {0.7, 0.0, 1.0, 1.0},  {-2.0, 0.3, 0.5, 0.5}, {0.0, 0.0, 0.01, 0.25},
                               {0.0, 0.0, 100.0, 4.0}, {0.0, 10.0, 1.0, 1.0}, {0.0, -10.0, 1.0, 1.0}};
    for (const auto& [yaw, pitch, zoom, factor] : cases) {
        ViewOrbit orbit;
        orbit.turn(yaw, pitch);
        orbit.zoom(zoom);
        ViewCamera c = seenThrough(orbit);
        EXPECT_NEAR(distance(c), factor * distance(kFixed), 1e-9) << yaw << " " << pitch << " " << zoom;
        const double limit = ViewOrbit::kMaxElevation;
        EXPECT_NEAR(elevation(c), std::clamp(elevation(kFixed) + pitch, -limit, limit), 1e-9) << pitch;
        c.eyeX = kFixed.eyeX, c.eyeY = kFixed.eyeY, c.eyeZ = kFixed.eyeZ;
        EXPECT_TRUE(sameBits(c, kFixed)) << "only the eye moves";
        orbit.reset();
        EXPECT_TRUE(sameBits(seenThrough(orbit), kFixed)) << "reset gives the fixed camera bit for bit";
    }
    ViewOrbit orbit;
    for (double bad : {0.0, -2.0, std::nan("")}) orbit.zoom(bad);
    orbit.turn(INFINITY, 0.0);
    EXPECT_TRUE(orbit.isFixedView());
}

// The middle button and the wheel are the view's, left and right the simulation's. A middle
// click, or a wiggle within the slop, resets; a drag turns; wheel notches zoom.
TEST(ViewControlsTest, MiddleDragTurnsClickResetsWheelZooms) {
    struct Case {
        std::vector<std::array<int, 4>> events;  // button (-1: a motion), state, x, y
        bool reset, turned;
        double distanceFactor;
    };
    const int m = kMiddleButton, down = kButtonDown, up = kButtonUp;
    const double notch = ViewControls::kNotchNearer;
    const Case cases[] = {
        {{{m, down, 100, 100}, {-1, 0, 160, 120}, {m, up, 200, 130}}, false, true, 1.0},
        {{{m, down, 100, 100}, {m, up, 100, 100}}, true, false, 1.0},
        {{{m, down, 100, 100}, {-1, 0, 103, 97}, {m, up, 102, 101}}, true, false, 1.0},
        {{{3, down, 0, 0}, {3, up, 0, 0}}, false, false, notch},
        {{{4, down, 0, 0}, {4, up, 0, 0}, {4, down, 0, 0}}, false, false, 1.0 / notch / notch},
    };
    for (const Case& k : cases) {
        ViewOrbit orbit;
        orbit.zoom(2.0);  // a view already moved, so that a reset shows
        ViewControls controls(orbit);
        const ViewCamera before = seenThrough(orbit);
        for (const auto& [button, state, x, y] : k.events) {
            if (button < 0) controls.motion(x, y);
            else EXPECT_TRUE(controls.mouse(button, state, x, y));
        }
        const ViewCamera after = seenThrough(orbit);
        EXPECT_EQ(orbit.isFixedView(), k.reset) << k.events.size();
        if (k.reset) continue;
        EXPECT_NEAR(distance(after), k.distanceFactor * distance(before), 1e-9);
        EXPECT_EQ(std::abs(elevation(after) - elevation(before)) > 1e-3, k.turned);
    }
    ViewOrbit orbit;
    ViewControls controls(orbit);
    for (int button : {kLeftButton, kRightButton}) {
        EXPECT_FALSE(controls.mouse(button, kButtonDown, 10, 10));
        controls.motion(300, 300);
        EXPECT_FALSE(controls.mouse(button, kButtonUp, 300, 300));
    }
    EXPECT_TRUE(orbit.isFixedView()) << "left and right drags leave the view alone";
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "interaction/mouse.h"
#include "view/frame_view.h"
#include "view/view_controls.h"
#include "view/view_orbit.h"

namespace {

// The fixed eye looking at the one-cube scene's first target.
const ViewCamera kFixed{5.0, 4.5, 3.0, -0.25, 0.25, 1.5, 0.0, 0.0, 1.0, kFrustum};

ViewCamera seenThrough(const ViewOrbit& orbit) {
    ViewCamera c = kFixed;
    orbit.apply(c);
    return c;
}

bool sameBits(const ViewCamera& a, const ViewCamera& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

double distance(const ViewCamera& c) {
    return std::hypot(c.eyeX - c.targetX, c.eyeY - c.targetY, c.eyeZ - c.targetZ);
}

double elevation(const ViewCamera& c) {
    return std::atan2(c.eyeZ - c.targetZ, std::hypot(c.eyeX - c.targetX, c.eyeY - c.targetY));
}

// Turns keep the distance and move the eye; zooms keep the direction and scale the distance
// within its bounds; the elevation never passes its limit; the target, up and projection stay.
TEST(ViewOrbitTest, TurnsAndZoomsMoveOnlyTheEye) {
    const double fixedDistance = distance(kFixed);
    struct Case {
        double yaw, pitch, zoom;
        double distanceFactor;
    };
    const Case cases[] = {
        {0.7, 0.0, 1.0, 1.0},  {0.0, -0.4, 1.0, 1.0},   {-2.0, 0.3, 0.5, 0.5},
        {0.0, 0.0, 0.01, 0.25}, {0.0, 0.0, 100.0, 4.0}, {0.0, 10.0, 1.0, 1.0},
    };
    for (const Case& k : cases) {
        ViewOrbit orbit;
        orbit.turn(k.yaw, k.pitch);
        orbit.zoom(k.zoom);
        const ViewCamera c = seenThrough(orbit);
        EXPECT_NEAR(distance(c), k.distanceFactor * fixedDistance, 1e-9) << k.yaw << " " << k.pitch << " " << k.zoom;
        EXPECT_LE(std::abs(elevation(c)), ViewOrbit::kMaxElevation + 1e-12);
        EXPECT_NEAR(elevation(c), std::clamp(elevation(kFixed) + k.pitch, -ViewOrbit::kMaxElevation,
                                             ViewOrbit::kMaxElevation), 1e-9);
        ViewCamera kept = c;
        kept.eyeX = kFixed.eyeX, kept.eyeY = kFixed.eyeY, kept.eyeZ = kFixed.eyeZ;
        EXPECT_TRUE(sameBits(kept, kFixed)) << "only the eye moves";
        orbit.reset();
        EXPECT_TRUE(sameBits(seenThrough(orbit), kFixed)) << "reset gives the fixed camera bit for bit";
    }
    ViewOrbit orbit;
    orbit.zoom(0.0);
    orbit.zoom(-2.0);
    orbit.zoom(NAN);
    orbit.turn(INFINITY, 0.0);
    EXPECT_TRUE(orbit.isFixedView()) << "factors and angles that are no number change nothing";
}

// The middle button and the wheel are the view's; left and right stay the simulation's. A
// middle click, or a wiggle within the slop, resets; a drag turns.
TEST(ViewControlsTest, MiddleDragTurnsClickResetsWheelZooms) {
    struct Event {
        int button, state, x, y;
    };
    struct Case {
        const char* what;
        std::vector<Event> events;
        bool fixedAfter;
        double distanceFactor;
        bool turned;
    };
    const Event down{kMiddleButton, kButtonDown, 100, 100};
    const Case cases[] = {
        {"middle drag", {down, {-1, -1, 160, 120}, {kMiddleButton, kButtonUp, 200, 130}}, false, 1.0, true},
        {"middle click", {down, {kMiddleButton, kButtonUp, 100, 100}}, true, 1.0, false},
        {"wiggle within the slop", {down, {-1, -1, 103, 97}, {kMiddleButton, kButtonUp, 102, 101}}, true, 1.0, false},
        {"wheel away", {{3, kButtonDown, 0, 0}, {3, kButtonUp, 0, 0}}, false, ViewControls::kNotchNearer, false},
        {"wheel toward twice", {{4, kButtonDown, 0, 0}, {4, kButtonUp, 0, 0}, {4, kButtonDown, 0, 0}}, false,
         1.0 / ViewControls::kNotchNearer / ViewControls::kNotchNearer, false},
    };
    for (const Case& k : cases) {
        ViewOrbit orbit;
        orbit.zoom(2.0);  // a view already moved, so that a reset shows
        orbit.turn(0.1, 0.1);
        ViewControls controls(orbit);
        const ViewCamera before = seenThrough(orbit);
        for (const Event& e : k.events) {
            if (e.button < 0) {
                controls.motion(e.x, e.y);
            } else {
                EXPECT_TRUE(controls.mouse(e.button, e.state, e.x, e.y)) << k.what;
            }
        }
        EXPECT_EQ(orbit.isFixedView(), k.fixedAfter) << k.what;
        if (k.fixedAfter) continue;
        const ViewCamera after = seenThrough(orbit);
        EXPECT_NEAR(distance(after), k.distanceFactor * distance(before), 1e-9) << k.what;
        EXPECT_EQ(std::abs(elevation(after) - elevation(before)) > 1e-3, k.turned) << k.what;
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

// Mouse drags arm a push.

#include <algorithm>
#include <cmath>

#include "interaction/mouse.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

using MouseTest = WorldTest;

void leftDrag(int x0, int y0, float t0, int x1, int y1, float t1) {
    simTime = t0;
    onMouse(kLeftButton, kButtonDown, x0, y0);
    simTime = t1;
    onMouse(kLeftButton, kButtonUp, x1, y1);
}

TEST_F(MouseTest, LeftDragPushesByItsSpeedForAHundredSteps) {
    leftDrag(100, 200, 1.0f, 150, 180, 1.5f);
    EXPECT_VEC3_EQ(pushForce, 0.0f, 10.0f, 4.0f);
    EXPECT_EQ(pushStepsLeft, 100);
    EXPECT_EQ(pressTime, 1.0f);

    pushPlaneYZ = false;
    leftDrag(100, 200, 1.0f, 150, 180, 1.5f);
    EXPECT_VEC3_EQ(pushForce, -4.0f, 10.0f, 0.0f);
    EXPECT_EQ(pushStepsLeft, 100);

    // The same drag in a quarter of the time pushes four times as hard.
    pushPlaneYZ = true;
    leftDrag(100, 200, 1.0f, 150, 180, 1.125f);
    EXPECT_VEC3_EQ(pushForce, 0.0f, 40.0f, 16.0f);

    // The scale is held in double: 3 px in the float time of 8 steps, bit for bit.
    float t1 = 1.0f;
    for (int i = 0; i < 8; ++i) t1 = t1 + 0.0005f;
    leftDrag(0, 0, 1.0f, 3, 0, t1);
    EXPECT_TRUE(sameBits(pushForce.y, static_cast<float>(0.1f * 3.0L / (t1 - 1.0f))));
}

TEST_F(MouseTest, RightDragPushesByItsLengthForTwoHundredStepsInEitherMode) {
    for (bool yz : {true, false}) {
        pushPlaneYZ = yz;
        simTime = yz ? 3.0f : 0.0f;
        onMouse(kRightButton, kButtonDown, 100, 200);
        onMouse(kRightButton, kButtonUp, 150, 180);
        EXPECT_VEC3_EQ(pushForce, 0.0f, 5.0f, 2.0f);
        EXPECT_EQ(pushStepsLeft, 200);
    }
    EXPECT_EQ(pressTime, 0.0f) << "a right press leaves the press time alone";
}

TEST_F(MouseTest, ReleaseReplacesThePushAndAZeroDragCancelsIt) {
    onMouse(kRightButton, kButtonDown, 100, 200);
    onMouse(kRightButton, kButtonUp, 300, 100);
    pushStepsLeft = 37;
    onMouse(kRightButton, kButtonDown, 50, 50);
    onMouse(kRightButton, kButtonUp, 50, 50);
    EXPECT_TRUE(sameBits(pushForce, Vec3{}));
    EXPECT_EQ(pushStepsLeft, 200);
}

TEST_F(MouseTest, LeftReleaseAfterRightPressUsesItsPlaceAndTheLastLeftTime) {
    simTime = 1.0f;
    onMouse(kLeftButton, kButtonDown, 0, 0);
    onMouse(kRightButton, kButtonDown, 100, 200);
    simTime = 1.5f;
    onMouse(kLeftButton, kButtonUp, 150, 180);
    EXPECT_VEC3_EQ(pushForce, 0.0f, 10.0f, 4.0f);
}

TEST_F(MouseTest, DragWithoutElapsedTimeCountsAsOneFrameAndFollowsTheDrag) {
    // No step between press and release: one frame's time (80 steps), a finite push.
    leftDrag(100, 200, 2.0f, 150, 180, 2.0f);
    EXPECT_VEC3_EQ(pushForce, 0.0f, 0.1 / 0.04 * 50.0, 0.1 / 0.04 * 20.0);
    // A restart between press and release: the same, along the drag, not against it.
    leftDrag(100, 200, 2.0f, 150, 180, 0.5f);
    EXPECT_VEC3_EQ(pushForce, 0.0f, 0.1 / 0.04 * 50.0, 0.1 / 0.04 * 20.0);
}

TEST_F(MouseTest, PushesLongerThanTheBoundAreShortenedInTheirDirection) {
    // Right drags (pixels right, up): 0.1 (a float) times the drag, shortened to the bound
    // when longer, which is worked out here in long double and rounded once: bit for bit.
    const int drags[][2] = {{1999, 0}, {2000, 0}, {2001, 0}, {0, 2621}, {3000, 4000}, {-3000, -4000}, {1500, 1373}};
    for (const auto& d : drags) {
        onMouse(kRightButton, kButtonDown, 100, 5000);
        onMouse(kRightButton, kButtonUp, 100 + d[0], 5000 - d[1]);
        const long double y = 0.1f * static_cast<float>(d[0]), z = 0.1f * static_cast<float>(d[1]);
        const long double shrink = std::min(1.0L, 200.0L / std::sqrt(y * y + z * z));
        EXPECT_TRUE(sameBits(pushForce, Vec3{0.0f, static_cast<float>(y * shrink), static_cast<float>(z * shrink)}))
            << d[0] << ", " << d[1] << ": " << pushForce.y << ", " << pushForce.z;
        EXPECT_EQ(pushStepsLeft, 200);
    }
    // Left drags too, in the x-y plane as well: at most the bound long, direction kept.
    pushPlaneYZ = false;
    leftDrag(0, 0, 1.0f, 300, 400, 1.0005f);
    EXPECT_VEC3_EQ(pushForce, 160.0f, 120.0f, 0.0f);
    EXPECT_EQ(pushStepsLeft, 100);
}

TEST_F(MouseTest, MiddleButtonAndUnknownStatesChangeNothing) {
    pressX = 1;
    pressY = 2;
    pressTime = 3.0f;
    for (int button : {kMiddleButton, 3, -1}) {
        for (int state : {kButtonDown, kButtonUp, 2}) onMouse(button, state, 500, 500);
    }
    onMouse(kLeftButton, 7, 500, 500);
    EXPECT_EQ(pressX, 1);
    EXPECT_EQ(pressY, 2);
    EXPECT_EQ(pressTime, 3.0f);
    EXPECT_EQ(pushStepsLeft, 0);
    EXPECT_TRUE(sameBits(pushForce, Vec3{}));
}

TEST_F(MouseTest, FarOutsideTheWindowNothingOverflows) {
    onMouse(kRightButton, kButtonDown, -2147483647 - 1, 2147483647);
    onMouse(kRightButton, kButtonUp, 2147483647, -2147483647 - 1);
    EXPECT_FLOAT_EQ(pushForce.y, 200.0 / std::sqrt(2.0));
    EXPECT_FLOAT_EQ(pushForce.z, 200.0 / std::sqrt(2.0));
}

}  // namespace

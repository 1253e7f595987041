// The room: walls in y, ceiling, floor patch with its band and friction, no wall in x.

#include <cmath>

#include "model/mass_point.h"
#include "sim/room.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

MassPoint pointWith(Vec3 position, Vec3 velocity) {
    MassPoint p(position.x, position.y, position.z, velocity, 0.2f, 1.0f, nullptr);
    return p;
}

using RoomTest = WorldTest;

TEST_F(RoomTest, FloorIsThePatchAndItsBandWithInclusiveBounds) {
    EXPECT_EQ(floorZ, 0.0f);
    for (float x : {-4.0f, 0.0f, 2.0f}) {
        EXPECT_TRUE(isOnFloor(pointWith({x, 5, 0.0f}, {})));
        EXPECT_TRUE(isOnFloor(pointWith({x, 5, -0.05f}, {})));
        EXPECT_FALSE(isOnFloor(pointWith({x, 5, -0.06f}, {})));
        EXPECT_FALSE(isOnFloor(pointWith({x, 5, 0.001f}, {})));
    }
    EXPECT_FALSE(isOnFloor(pointWith({2.01f, 0, 0}, {})));
    EXPECT_FALSE(isOnFloor(pointWith({-4.01f, 0, 0}, {})));
    EXPECT_TRUE(isOnFloor(pointWith({0, 1000.0f, 0}, {})));  // y is not tested
}

TEST_F(RoomTest, WallsReverseYAtOrBeyondThemAndHoldThePoint) {
    for (float y : {-2.0f, 10.0f}) {
        MassPoint p = pointWith({0, y, 5}, {1, 3, 1});
        bounceVelocity(p);
        EXPECT_EQ(p.velocity.y, -3.0f);
        EXPECT_EQ(p.velocity.x, 1.0f);
        clampPosition(p);
        EXPECT_EQ(p.position.y, y);
    }
    MassPoint p = pointWith({0, -2.5f, 5}, {0, -1, 0});
    clampPosition(p);
    EXPECT_EQ(p.position.y, -2.0f);
    bounceVelocity(p);
    EXPECT_EQ(p.velocity.y, 1.0f);
    MassPoint far = pointWith({0, 10.5f, 5}, {0, 1, 0});
    clampPosition(far);
    EXPECT_EQ(far.position.y, 10.0f);
}

TEST_F(RoomTest, CeilingReversesZAndHoldsThePoint) {
    MassPoint p = pointWith({0, 0, 20.0f}, {0, 0, 2});
    bounceVelocity(p);
    EXPECT_EQ(p.velocity.z, -2.0f);
    MassPoint above = pointWith({0, 0, 20.3f}, {});
    clampPosition(above);
    EXPECT_EQ(above.position.z, 20.0f);
}

TEST_F(RoomTest, FloorReversesZAppliesFrictionAndSnapsTheBandOntoTheFloor) {
    MassPoint p = pointWith({0, 0, 0}, {1, -2, -3});
    bounceVelocity(p);
    EXPECT_EQ(p.velocity.z, 3.0f);
    EXPECT_EQ(p.velocity.x, 0.9f * 1.0f);
    EXPECT_EQ(p.velocity.y, 0.9f * -2.0f);

    MassPoint inBand = pointWith({0, 0, -0.05f}, {});
    clampPosition(inBand);
    EXPECT_EQ(inBand.position.z, 0.0f);
    MassPoint below = pointWith({0, 0, -0.06f}, {});
    clampPosition(below);
    EXPECT_EQ(below.position.z, -0.06f);
    MassPoint offPatch = pointWith({2.01f, 0, -0.01f}, {0, 0, -1});
    clampPosition(offPatch);
    bounceVelocity(offPatch);
    EXPECT_EQ(offPatch.position.z, -0.01f);
    EXPECT_EQ(offPatch.velocity.z, -1.0f);

    // In a floor corner against a wall the y velocity is both reversed and slowed.
    MassPoint corner = pointWith({0, -2.0f, 0}, {0, -1, 0});
    bounceVelocity(corner);
    EXPECT_EQ(corner.velocity.y, 0.9f);
}

TEST_F(RoomTest, NothingBoundsX) {
    MassPoint p = pointWith({-100.0f, 0, 5}, {-7, 0, 0});
    bounceVelocity(p);
    clampPosition(p);
    EXPECT_EQ(p.position.x, -100.0f);
    EXPECT_EQ(p.velocity.x, -7.0f);
}

}  // namespace

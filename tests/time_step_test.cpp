// The idle step: throttle, order of forces, gravity, push, integration.

#include <cmath>

#include "interaction/keyboard.h"
#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

int redisplays = 0;
int waits = 0;

class TimeStepTest : public WorldTest {
protected:
    // An empty scene with one lone moving point (no springs), first in the chain, and a lead
    // cube whose corners have mass leadMass, out of the way at x = -100 beyond the floor patch.
    MassPoint* loneBesideLeadCube(float leadMass, float loneMass) {
        MassPoint* lone = make<MassPoint>(0.0f, 0.0f, 10.0f, zeroVelocity, 0.0f, loneMass, chainHead);
        leadCube = make<Cube>(-100.0f, 0.0f, 10.0f, 0.2f, leadMass, 1660.0f, 1.0f, springList, chainHead, 700.0f);
        return lone;
    }
};

TEST_F(TimeStepTest, ThrottleStepsAtSeventyNineAndHoldsAtEighty) {
    onKey('1', 0, 0);
    idleHooks.requestRedisplay = [] { ++redisplays; };
    idleHooks.waitForFrame = [] { ++waits; };
    redisplays = waits = 0;

    stepsSinceFrame = 79;
    onIdle();
    EXPECT_EQ(simTime, 0.0005f);
    EXPECT_EQ(redisplays, 1);
    EXPECT_EQ(waits, 0);

    stepsSinceFrame = 80;
    const Vec3 before = chainHead->next->position;
    onIdle();
    EXPECT_EQ(simTime, 0.0005f);
    EXPECT_TRUE(sameBits(chainHead->next->position, before));
    EXPECT_EQ(redisplays, 2);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(timeStep, 0.0005f);
}

TEST_F(TimeStepTest, SimTimeAddsTheFloatStepEachStep) {
    onKey('1', 0, 0);
    float expected = 0.0f;
    for (int i = 0; i < 1000; ++i) {
        onIdle();
        expected = expected + 0.0005f;
    }
    EXPECT_EQ(simTime, expected);
}

TEST_F(TimeStepTest, PushActsInExactlyItsStepsAndNeverCountsBelowZero) {
    MassPoint* lone = loneBesideLeadCube(1.0f, 1.0f);
    gravityOn = false;
    pushForce = Vec3{0.0f, 2.0f, 0.0f};
    pushStepsLeft = 3;
    for (int i = 0; i < 5; ++i) {
        onIdle();
        EXPECT_EQ(lone->force.y, i < 3 ? 2.0f : 0.0f) << "step " << i;
        EXPECT_EQ(pushStepsLeft, std::max(0, 2 - i));
    }
}

TEST_F(TimeStepTest, GravityUsesTheLeadCubesCornerZeroMassForEveryPoint) {
    MassPoint* lone = loneBesideLeadCube(3.0f, 5.0f);
    onIdle();
    EXPECT_EQ(lone->force.z, -9.81f * 3.0f);
    // A point with no springs starts every step from zero force: it does not gather gravity.
    onIdle();
    onIdle();
    EXPECT_EQ(lone->force.z, -9.81f * 3.0f);
    gravityOn = false;
    onIdle();
    EXPECT_EQ(lone->force.z, 0.0f);
}

TEST_F(TimeStepTest, PointWhoseSpringsAllToreFallsLikeAFreePoint) {
    // A pendulum of one point on one spring that tears in the first step: afterwards the point
    // must fall with gravity alone, its force not accumulating step after step.
    leadCube = make<Cube>(-100.0f, 0.0f, 10.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, 700.0f);
    MassPoint* anchor = pointAt(0, 0, 15, false);
    MassPoint* bob = make<MassPoint>(0.0f, 0.0f, 10.0f, zeroVelocity, 0.0f, 1.0f, chainHead);
    springList->append(make<Spring>(anchor, bob, 1000.0f, 10.0f, 1.0f));  // 4000 > 10: tears
    breakableOn = true;
    volumeOn = false;
    for (int i = 0; i < 200; ++i) onIdle();
    EXPECT_EQ(bob->force.z, -9.81f);
    // Semi-implicit Euler from rest: v(n) = g n dt (no damping, unit mass).
    EXPECT_NEAR(bob->velocity.z, -9.81 * 200 * 0.0005, 1e-4);
}

TEST_F(TimeStepTest, FreeFallFollowsTheDiscreteClosedForm) {
    MassPoint* lone = loneBesideLeadCube(1.0f, 1.0f);
    const int n = 400;
    for (int i = 0; i < n; ++i) onIdle();
    const double dt = 0.0005, g = -9.81;
    // z(n) = z0 + g dt^2 n (n + 1) / 2 for semi-implicit Euler from rest.
    EXPECT_NEAR(lone->position.z, 10.0 + g * dt * dt * n * (n + 1) / 2.0, 1e-4);
    EXPECT_NEAR(lone->velocity.z, g * dt * n, 1e-4);
    EXPECT_EQ(lone->position.x, 0.0f);
}

TEST_F(TimeStepTest, EachComponentIsIntegratedOnce) {
    MassPoint* lone = loneBesideLeadCube(1.0f, 2.0f);
    gravityOn = false;
    lone->damping = 0.5f;
    lone->velocity = Vec3{1.0f, 1.0f, 0.0f};
    pushForce = Vec3{3.0f, 3.0f, 0.0f};
    pushStepsLeft = 10;
    for (int i = 0; i < 10; ++i) onIdle();
    EXPECT_TRUE(sameBits(lone->velocity.x, lone->velocity.y));
    EXPECT_TRUE(sameBits(lone->position.x, lone->position.y));
    // One step by hand: ((f - v d) / m) dt + v.
    resetWorld();
    lone = loneBesideLeadCube(1.0f, 2.0f);
    gravityOn = false;
    lone->damping = 0.5f;
    lone->velocity = Vec3{1.0f, 0.0f, 0.0f};
    pushForce = Vec3{3.0f, 0.0f, 0.0f};
    pushStepsLeft = 1;
    onIdle();
    const float v = ((3.0f - 1.0f * 0.5f) / 2.0f) * 0.0005f + 1.0f;
    EXPECT_EQ(lone->velocity.x, v);
    EXPECT_EQ(lone->position.x, 0.0f + 0.0005f * v);
}

TEST_F(TimeStepTest, ChainHeadNeverMovesAndAStepWithoutElementsGoesOn) {
    onKey('p', 0, 0);
    ASSERT_EQ(volumeElements, nullptr);
    chainHead->force = Vec3{100, 100, 100};
    const Vec3 position = chainHead->position;
    simulate(500);
    EXPECT_TRUE(sameBits(chainHead->position, position));
    EXPECT_TRUE(sameBits(chainHead->velocity, Vec3{}));
    EXPECT_GT(simTime, 0.2499f);
}

}  // namespace

// The keyboard: prepared scenes, flags, and what survives a restart.

#include <algorithm>
#include <cmath>
#include <set>

#include "interaction/keyboard.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

using ScenesTest = WorldTest;

struct SceneCounts {
    unsigned char key;
    size_t points, springs;
    int elements;
};

TEST_F(ScenesTest, EveryScenePointsSpringsAndElements) {
    const SceneCounts scenes[] = {{'1', 8, 28, 8},   {'2', 12, 50, 16},  {'3', 16, 72, 24}, {'4', 20, 94, 32},
                                  {'5', 24, 116, 40}, {'6', 28, 138, 48}, {'7', 32, 160, 56}, {'s', 84, 446, 160},
                                  {'q', 16, 94, 32},  {'p', 16, 76, 0}};
    for (const SceneCounts& s : scenes) {
        onKey(s.key, 0, 0);
        EXPECT_EQ(movingPoints().size(), s.points) << s.key;
        EXPECT_EQ(activeSprings().size(), s.springs) << s.key;
        EXPECT_EQ(elementCount(), s.elements) << s.key;
        EXPECT_EQ(simTime, 0.0f);
    }
}

TEST_F(ScenesTest, RowScenesFillTheirBoxAndSetTheBuilderCubes) {
    onKey('7', 0, 0);
    for (MassPoint* p : movingPoints()) {
        EXPECT_TRUE(p->position.x >= -1.0f && p->position.x <= 0.0f);
        EXPECT_TRUE(p->position.y >= 0.0f && p->position.y <= 7.0f);
        EXPECT_TRUE(p->position.z == 2.0f || p->position.z == 3.0f);
    }
    EXPECT_EQ(leadCube->originY, 0.0f);
    EXPECT_EQ(secondCube->originY, 1.0f);
    EXPECT_EQ(tailCube->originY, 6.0f);
    EXPECT_EQ(leadCube->corners[0], movingPoints()[0]);

    onKey('2', 0, 0);
    EXPECT_EQ(secondCube->originY, 1.0f);
    EXPECT_EQ(tailCube, nullptr);
}

TEST_F(ScenesTest, SmallCubesEndWithTheLeadOnTheTwentiethCubeAtTheFarWall) {
    onKey('s', 0, 0);
    EXPECT_EQ(leadCube->edge, 0.5f);
    EXPECT_EQ(leadCube->stiffness, 5000.0f);
    EXPECT_EQ(leadCube->originY, 9.5f);
    EXPECT_EQ(leadCube->corners[1]->position.y, 10.0f);
    EXPECT_EQ(movingPoints().back(), leadCube->corners[6]);
}

TEST_F(ScenesTest, WallSceneCutsTheNearFaceOutOfTheChainAndItNeverMoves) {
    onKey('q', 0, 0);
    MassPoint* const* c = leadCube->corners;
    EXPECT_EQ(chainHead, c[0]);
    const auto moving = movingPoints();
    const std::set<MassPoint*> inChain(moving.begin(), moving.end());
    for (int k : {0, 3, 4, 7}) EXPECT_EQ(inChain.count(c[k]), 0u) << "corner " << k;
    for (int k : {1, 2, 5, 6}) EXPECT_EQ(inChain.count(c[k]), 1u) << "corner " << k;
    EXPECT_EQ(c[0]->position.y, roomMinY);

    const int nearFace[4] = {0, 3, 4, 7};
    Vec3 pinned[4];
    for (int i = 0; i < 4; ++i) pinned[i] = c[nearFace[i]]->position;
    simulate(3000);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(sameBits(c[nearFace[i]]->position, pinned[i]));
    // The rest of the row hangs from them, sagging but held.
    EXPECT_GT(tailCube->corners[6]->position.z, 0.0f);
    EXPECT_LT(tailCube->corners[6]->position.z, 6.0f);
}

TEST_F(ScenesTest, PendulumHangsFromFourFixedAnchorsOnStrongSprings) {
    onKey('p', 0, 0);
    const auto springs = activeSprings();
    ASSERT_EQ(springs.size(), 76u);
    const int corners[4] = {0, 4, 7, 3};
    const Vec3 anchors[4] = {{0, 4, 5.5f}, {0, 5, 5.5f}, {-1, 5, 5.5f}, {-1, 4, 5.5f}};
    const auto moving = movingPoints();
    const std::set<MassPoint*> inChain(moving.begin(), moving.end());
    for (int i = 0; i < 4; ++i) {
        const Spring* s = springs[72 + i];
        EXPECT_TRUE(sameBits(s->a->position, anchors[i]));
        EXPECT_EQ(s->b, leadCube->corners[corners[i]]);
        EXPECT_EQ(s->stiffness, 1000.0f);
        EXPECT_EQ(s->restLength, 1.0f);
        EXPECT_EQ(s->tearForce, tearForceHigh);
        EXPECT_EQ(inChain.count(s->a), 0u);
    }
    for (Spring* s : leadCube->springs) EXPECT_EQ(s->tearForce, tearForceHigh);
    for (int i = 0; i < 72; ++i) {
        const bool ofFirstCube = std::find(leadCube->springs.begin(), leadCube->springs.end(), springs[i]) !=
                                 leadCube->springs.end();
        EXPECT_EQ(springs[i]->tearForce, ofFirstCube ? tearForceHigh : tearForceLow);
    }
    for (MassPoint* p : moving) EXPECT_EQ(p->mass, 3.0f);

    // Tearing on: the suspension holds (its start forces lie below the high tear force).
    breakableOn = true;
    simulate(2000);
    const auto after = activeSprings();
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(std::find(after.begin(), after.end(), springs[72 + i]), after.end());
        EXPECT_TRUE(sameBits(springs[72 + i]->a->position, anchors[i]));
    }
}

TEST_F(ScenesTest, PlasticPendulumSuspensionYieldsInTheFirstStep) {
    onKey('u', 0, 0);
    onKey('p', 0, 0);
    simulate(1);
    // Each took its length at the start, from anchor to corner: (0, 1.5, 2.5) or (0, 0.5, 3.5).
    const auto springs = activeSprings();
    const double low = std::sqrt(1.5 * 1.5 + 2.5 * 2.5), high = std::sqrt(0.5 * 0.5 + 3.5 * 3.5);
    EXPECT_NEAR(springs[72]->restLength, low, 1e-5);
    EXPECT_NEAR(springs[73]->restLength, high, 1e-5);
    EXPECT_NEAR(springs[74]->restLength, high, 1e-5);
    EXPECT_NEAR(springs[75]->restLength, low, 1e-5);

    // Elastic, the same scene keeps the rest length of 1.
    onKey('u', 0, 0);
    onKey('p', 0, 0);
    simulate(1);
    EXPECT_EQ(activeSprings()[72]->restLength, 1.0f);
}

TEST_F(ScenesTest, FlagKeysFlipAndEveryOtherKeyDoesNothing) {
    onKey('1', 0, 0);
    onKey('g', 0, 0);
    onKey('u', 0, 0);
    onKey('z', 0, 0);
    onKey('x', 0, 0);
    onKey('v', 0, 0);
    EXPECT_FALSE(gravityOn);
    EXPECT_TRUE(plasticOn);
    EXPECT_TRUE(breakableOn);
    EXPECT_FALSE(pushPlaneYZ);
    EXPECT_FALSE(volumeOn);
    onKey('i', 0, 0);
    EXPECT_TRUE(volumeOn);

    const std::string handled = "1234567sqpgviuzx";
    SpringList list = springList;
    MassPoint* head = chainHead;
    simulate(10);
    const float time = simTime;
    for (int key = 0; key < 256; ++key) {
        if (handled.find(char(key)) != std::string::npos) continue;
        onKey(static_cast<unsigned char>(key), 17, 42);
    }
    EXPECT_EQ(springList, list);
    EXPECT_EQ(chainHead, head);
    EXPECT_EQ(simTime, time);
    EXPECT_FALSE(gravityOn);
    EXPECT_TRUE(plasticOn);
    EXPECT_TRUE(breakableOn);
    EXPECT_FALSE(pushPlaneYZ);
    EXPECT_TRUE(volumeOn);
}

TEST_F(ScenesTest, RestartKeepsFlagsPushPressAndPacingAndRebuildsTheSameStart) {
    onKey('3', 0, 0);
    std::vector<Vec3> start;
    for (MassPoint* p : movingPoints()) start.push_back(p->position);
    onKey('g', 0, 0);
    pushForce = Vec3{1, 2, 3};
    pushStepsLeft = 50;
    pressX = 7;
    pressY = 8;
    pressTime = 0.25f;
    stepsSinceFrame = 12;
    lastFrameClock = 99;
    simulate(20);
    onKey('3', 0, 0);
    EXPECT_EQ(simTime, 0.0f);
    EXPECT_FALSE(gravityOn);
    EXPECT_EQ(pushStepsLeft, 30);
    EXPECT_TRUE(sameBits(pushForce, Vec3{1, 2, 3}));
    EXPECT_EQ(pressX, 7);
    EXPECT_EQ(pressY, 8);
    EXPECT_EQ(pressTime, 0.25f);
    EXPECT_EQ(stepsSinceFrame, 12);
    EXPECT_EQ(lastFrameClock, 99);
    const auto points = movingPoints();
    ASSERT_EQ(points.size(), start.size());
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(sameBits(points[i]->position, start[i]));
        EXPECT_TRUE(sameBits(points[i]->velocity, Vec3{}));
    }
    // The running push acts on the new scene.
    simulate(1);
    EXPECT_EQ(pushStepsLeft, 29);
}

}  // namespace

#include "run/state_hash.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "interaction/keyboard.h"
#include "model/mass_point.h"
#include "run/apply_command.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

std::uint64_t fnv1aOf(const std::string& text) { return fnv1a(kFnvOffsetBasis, text.data(), text.size()); }

TEST(Fnv1a, MatchesThePublishedTestVectors) {
    EXPECT_EQ(fnv1aOf(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv1aOf("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(fnv1aOf("foobar"), 0x85944171f73967e8ULL);
}

TEST(Fnv1a, FoldingInPiecesEqualsFoldingAtOnce) {
    const std::uint64_t once = fnv1aOf("foobar");
    EXPECT_EQ(fnv1a(fnv1a(kFnvOffsetBasis, "foo", 3), "bar", 3), once);
}

class StateHash : public testing::Test {
protected:
    void SetUp() override {
        resetWorldState();
        startWorld();
    }
    static MassPoint* point(int index) {
        MassPoint* p = chainHead->next;
        for (int i = 0; i < index; ++i) p = p->next;
        return p;
    }
};

// The one-cube scene starts with corners k = 0..7 of the cube at origin (0, 0, 2), edge 1,
// at rest: the hash is FNV-1a over those 48 floats, written out here from the cube's layout.
TEST_F(StateHash, OfTheStartSceneIsTheHashOfTheCornersAtRest) {
    const float corners[8][3] = {{0, 0, 2}, {0, 1, 2}, {-1, 1, 2}, {-1, 0, 2},
                                 {0, 0, 3}, {0, 1, 3}, {-1, 1, 3}, {-1, 0, 3}};
    std::vector<float> floats;
    for (const auto& c : corners) floats.insert(floats.end(), {c[0], c[1], c[2], 0.0f, 0.0f, 0.0f});
    EXPECT_EQ(hashMovingPoints(), fnv1a(kFnvOffsetBasis, floats.data(), floats.size() * sizeof(float)));
}

TEST_F(StateHash, SeesEveryBitOfPositionsAndVelocities) {
    const std::uint64_t start = hashMovingPoints();

    point(7)->velocity.z = -0.0f;  // equal to 0.0 under ==, not in its bits
    EXPECT_NE(hashMovingPoints(), start);
    point(7)->velocity.z = 0.0f;
    EXPECT_EQ(hashMovingPoints(), start);

    point(3)->position.x = std::nextafter(point(3)->position.x, 1.0f);
    EXPECT_NE(hashMovingPoints(), start);
}

TEST_F(StateHash, DependsOnTheChainOrder) {
    const std::uint64_t start = hashMovingPoints();
    std::swap(point(0)->position, point(1)->position);
    EXPECT_NE(hashMovingPoints(), start);
}

TEST_F(StateHash, TheSameRunGivesTheSameHashAfterARestart) {
    for (int i = 0; i < 500; ++i) onIdle();
    const std::uint64_t first = hashMovingPoints();
    onKey('1', 0, 0);
    EXPECT_NE(hashMovingPoints(), first);
    for (int i = 0; i < 500; ++i) onIdle();
    EXPECT_EQ(hashMovingPoints(), first);
}

}  // namespace

// Volume elements: signed rest volume, the restoring force, the rest shape, element chains.

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class VolumeElementTest : public WorldTest {
protected:
    // Four points joined pairwise by springs (so the element finds its edges) and the element.
    VolumeElement* element(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3) {
        for (const Vec3& p : {p0, p1, p2, p3}) c.push_back(pointAt(p.x, p.y, p.z, true));
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j) springList->append(make<Spring>(c[i], c[j], 1660.0f, 700.0f));
        return make<VolumeElement>(c[0], c[1], c[2], c[3]);
    }
    std::vector<MassPoint*> c;
};

TEST_F(VolumeElementTest, FindsItsSixEdgesInPairOrder) {
    VolumeElement* e = element({0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(e->edges[k], springList->findByEnds(c[pairs[k][0]], c[pairs[k][1]])) << "edge " << k;
    }
    EXPECT_EQ(e->next, nullptr);
    EXPECT_FLOAT_EQ(e->restVolume, 1.0f / 6.0f);
}

TEST_F(VolumeElementTest, UndeformedElementExertsNothing) {
    VolumeElement* e = element({0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    e->applyVolumeForce();
    for (MassPoint* p : c) {  // zero, of either sign
        EXPECT_EQ(p->force.x, 0.0f);
        EXPECT_EQ(p->force.y, 0.0f);
        EXPECT_EQ(p->force.z, 0.0f);
    }
}

TEST_F(VolumeElementTest, SquashedElementPushesC1BackWithStiffnessByMaterial) {
    for (bool plastic : {false, true}) {
        resetWorld();
        c.clear();
        plasticOn = plastic;
        VolumeElement* e = element({0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
        c[1]->position.y = 0.5f;  // volume 1/12, D = -1/12, force K/72 along y
        e->applyVolumeForce();
        const float magnitude = plastic ? 3000.0f / 72.0f : 12000.0f / 72.0f;
        EXPECT_NEAR(c[1]->force.y, magnitude, 1e-3f);
        EXPECT_NEAR(c[0]->force.y, -magnitude, 1e-3f);
        EXPECT_EQ(c[0]->force.y, -c[1]->force.y);
        EXPECT_EQ(c[1]->force.x, 0.0f);
        EXPECT_EQ(c[1]->force.z, 0.0f);
        EXPECT_TRUE(sameBits(c[2]->force, Vec3{}));
        EXPECT_TRUE(sameBits(c[3]->force, Vec3{}));
    }
}

TEST_F(VolumeElementTest, NegativeRestVolumeIsRestoredToo) {
    // The element of corner 1 of a unit cube at the origin.
    VolumeElement* e = element({0, 1, 0}, {0, 0, 0}, {-1, 1, 0}, {0, 1, 1});
    EXPECT_FLOAT_EQ(e->restVolume, -1.0f / 6.0f);
    c[1]->position.y = -0.5f;  // volume -1/4
    e->applyVolumeForce();
    EXPECT_NEAR(c[1]->force.y, 166.6667f, 1e-3f);  // back toward y = 0
    EXPECT_NEAR(c[0]->force.y, -166.6667f, 1e-3f);
}

TEST_F(VolumeElementTest, NoForceWhileBreakableOrWithVolumeOff) {
    VolumeElement* e = element({0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    c[1]->position.y = 0.5f;
    for (auto [breakable, volume] : {std::pair{true, true}, std::pair{true, false}, std::pair{false, false}}) {
        breakableOn = breakable;
        volumeOn = volume;
        e->applyVolumeForce();
        for (MassPoint* p : c) EXPECT_TRUE(sameBits(p->force, Vec3{}));
    }
}

TEST_F(VolumeElementTest, RestVolumeComesFromTheRestLengthsAtC0) {
    VolumeElement* e = element({0, 0, 0}, {0, 2, 0}, {-2, 0, 0}, {0, 0, 2});
    EXPECT_FLOAT_EQ(e->restVolume, 8.0f / 6.0f);
    for (int k = 0; k < 3; ++k) e->edges[k]->restLength = 1.0f;
    e->recomputeRestVolume();
    EXPECT_FLOAT_EQ(e->restVolume, 1.0f / 6.0f);
}

TEST_F(VolumeElementTest, RestPointTowardAPointAtTheSamePlaceIsThatPlace) {
    VolumeElement* e = element({0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    c[1]->position = c[0]->position;
    EXPECT_TRUE(sameBits(e->restPointToward(c[0], c[1]), c[0]->position));
    e->recomputeRestVolume();  // no NaN, and a flat rest shape
    EXPECT_EQ(e->restVolume, 0.0f);
    // Away from it, the point lies at the rest distance in the current direction.
    c[1]->position = Vec3{0, 3, 0};
    const Vec3 p = e->restPointToward(c[0], c[1]);
    EXPECT_VEC3_EQ(p, 0.0f, 1.0f, 0.0f);
}

TEST_F(VolumeElementTest, ChainsAppendBehindTheirLastElement) {
    Cube* first = make<Cube>(0.0f, 0.0f, 2.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, 700.0f);
    Cube* second = make<Cube>(*first, springList, chainHead, 700.0f);
    VolumeElement* one = first->buildElements();
    VolumeElement* two = second->buildElements();
    std::vector<VolumeElement*> expected;
    for (VolumeElement* e = one; e != nullptr; e = e->next) expected.push_back(e);
    for (VolumeElement* e = two; e != nullptr; e = e->next) expected.push_back(e);
    ASSERT_EQ(expected.size(), 16u);
    appendElementChain(one, two);
    std::vector<VolumeElement*> chained;
    for (VolumeElement* e = one; e != nullptr; e = e->next) chained.push_back(e);
    EXPECT_EQ(chained, expected);

    // A one-element chain takes the tail as its next.
    VolumeElement* single = make<VolumeElement>(first->corners[0], first->corners[1], first->corners[3],
                                                first->corners[4]);
    appendElementChain(single, one);
    EXPECT_EQ(single->next, one);
}

TEST(VolumeDivisionTest, DividingBySixInFloatGivesTheFloatOfTheDoubleQuotient) {
    // The volume force law divides by 6 in float where the signed volume divides in double
    // and rounds (rest volumes come from it): 53 bits hold a float
    // quotient's rounding exactly, so both give the same float.
    // Every 97th bit pattern (all exponents, both signs, subnormals, infinities) is checked; a
    // run over all 2^32 found no difference either.
    // Signalling NaNs among the patterns would trip the test main's traps before being skipped.
    const int traps = fedisableexcept(FE_ALL_EXCEPT);
    long checked = 0;
    long differ = 0;
    float firstDiffering = 0.0f;
    for (std::uint64_t bits = 0; bits <= 0xffffffffu; bits += 97) {
        const auto word = static_cast<std::uint32_t>(bits);
        float x;
        std::memcpy(&x, &word, sizeof x);
        if (std::isnan(x)) continue;
        const float inDouble = static_cast<float>(static_cast<double>(x) / 6.0);
        const float inFloat = x / 6.0f;
        if (std::memcmp(&inDouble, &inFloat, sizeof x) != 0 && differ++ == 0) firstDiffering = x;
        ++checked;
    }
    feenableexcept(traps);
    EXPECT_EQ(differ, 0) << "first at x = " << firstDiffering;
    EXPECT_GT(checked, 40000000);
}

}  // namespace

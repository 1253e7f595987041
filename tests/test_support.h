#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/vec3.h"

// Puts every global of the world back to its start value and starts an empty scene, so that
// tests do not see each other's flags, pushes or scenes.
void resetWorld();

// Fixture for tests that touch the world state.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { resetWorld(); }
    void TearDown() override { resetWorld(); }
    // Runs n idle steps, as the window's idle callback would with no frame due.
    static void simulate(int steps);
};

std::vector<MassPoint*> movingPoints();
std::vector<Spring*> activeSprings();
int elementCount();

// A point at (x, y, z) at rest with damping 0.2 and mass 1, in the chain or in none.
MassPoint* pointAt(float x, float y, float z, bool moving = false);

// Bitwise equality of floats (0.0 and -0.0 differ, a NaN equals itself).
bool sameBits(float a, float b);
bool sameBits(const Vec3& a, const Vec3& b);

#define EXPECT_VEC3_EQ(v, X, Y, Z)  \
    do {                            \
        const Vec3 vv_ = (v);       \
        EXPECT_FLOAT_EQ(vv_.x, (X)); \
        EXPECT_FLOAT_EQ(vv_.y, (Y)); \
        EXPECT_FLOAT_EQ(vv_.z, (Z)); \
    } while (0)

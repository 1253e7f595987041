// Contact between cubes: what it holds apart, what friction does, and what it leaves alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "sim/contact.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/world.h"
#include "tests/runner/script_world_test.h"
#include "tests/test_support.h"

namespace {

class Contact : public ScriptWorldTest {};

Vec3 centre(const Cube& c) {
    Vec3 sum{};
    for (const MassPoint* p : c.corners) sum = Vec3{sum.x + p->position.x, sum.y + p->position.y, sum.z + p->position.z};
    return Vec3{sum.x / 8, sum.y / 8, sum.z / 8};
}

// Turns cube `c` rigidly about the horizontal axis through its centre along x (by `aboutX`) and
// then along y (by `aboutY`), radians: springs and elements keep their rest shapes.
void turn(Cube& c, float aboutX, float aboutY) {
    const Vec3 m = centre(c);
    for (MassPoint* p : c.corners) {
        const float y = p->position.y - m.y, z = p->position.z - m.z;
        const float y1 = y * std::cos(aboutX) - z * std::sin(aboutX), z1 = y * std::sin(aboutX) + z * std::cos(aboutX);
        const float x = p->position.x - m.x;
        const float x2 = x * std::cos(aboutY) + z1 * std::sin(aboutY), z2 = -x * std::sin(aboutY) + z1 * std::cos(aboutY);
        p->position = Vec3{m.x + x2, m.y + y1, m.z + z2};
    }
}

// The deepest point of any edge of `a` inside `b`, over b's edge: edges sampled far finer than
// contact samples them.
float deepestEdgePoint(const Cube& a, const Cube& b) {
    static const int kEdges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                      {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    Vec3 corners[8];
    for (int k = 0; k < 8; ++k) corners[k] = b.corners[k]->position;
    const FacePlanes planes = facePlanes(corners);
    float deepest = 0.0f;
    for (const auto& e : kEdges) {
        const Vec3 p = a.corners[e[0]]->position, q = a.corners[e[1]]->position;
        for (int s = 0; s <= 64; ++s) {
            const float t = s / 64.0f;
            const Vec3 at{p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t};
            deepest = std::max(deepest, depthInside(planes, at).depth / b.edge);
        }
    }
    return deepest;
}

TEST_F(Contact, ACornerOrAnEdgeFallingOntoACubeStaysOutOfIt) {
    const struct {
        const char* what;
        float aboutX, aboutY;  // how the falling cube is turned
        float dx, dy;          // where it falls, from above the lower cube
    } cases[] = {
        {"a corner first onto the middle of a face", 0.6155f, 0.7854f, 0.0f, 0.0f},
        {"an edge first across a face", 0.7854f, 0.0f, 0.1f, 0.0f},
        {"an edge first across an edge", 0.7854f, 0.0f, 0.0f, 0.55f},
        {"a face onto a corner, sliding off it", 0.0f, 0.0f, 0.45f, 0.45f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetWorld();
        startWorld();
        run("set contact on\nscene\ncube 0 0 0\ncube " + std::to_string(c.dx) + " " + std::to_string(c.dy) + " 1.6\n");
        Cube& upper = *sceneCubes()[1];
        turn(upper, c.aboutX, c.aboutY);
        float deepest = 0.0f;
        for (int t = 0; t < 12; ++t) {
            run("step 250\n");
            const Cube& lower = *sceneCubes()[0];
            deepest = std::max({deepest, deepestEdgePoint(upper, lower), deepestEdgePoint(lower, upper)});
        }
        EXPECT_LT(deepest, 0.05f);
        // It came to rest on the lower cube or beside it, not through it.
        const Vec3 top = centre(upper), bottom = centre(*sceneCubes()[0]);
        EXPECT_TRUE(top.z > bottom.z + 0.5f || std::fabs(top.x - bottom.x) > 0.9f || std::fabs(top.y - bottom.y) > 0.9f);
    }
}

TEST_F(Contact, EveryFacePushesAlike) {
    // A free cube pressed a fiftieth of its edge into each face of a pinned one in turn: the
    // push on it is the same size whichever face it meets, and points straight out of that face.
    const float offsets[6][3] = {{0, 0, -0.98f}, {0, 0, 0.98f}, {0, -0.98f, 0}, {0, 0.98f, 0}, {0.98f, 0, 0}, {-0.98f, 0, 0}};
    float first = 0.0f;
    for (const auto& o : offsets) {
        SCOPED_TRACE(testing::Message() << o[0] << " " << o[1] << " " << o[2]);
        resetWorld();
        startWorld();
        run("set contact on\nscene\ncube 0 0 5\npin 0 1 2 3 4 5 6 7\ncube " + std::to_string(o[0]) + " " +
            std::to_string(o[1]) + " " + std::to_string(5.0f + o[2]) + "\nkey g\nstep 1\n");
        Vec3 push{};
        for (const MassPoint* p : sceneCubes()[1]->corners) push = Vec3{push.x + p->force.x, push.y + p->force.y, push.z + p->force.z};
        const float size = std::sqrt(push.x * push.x + push.y * push.y + push.z * push.z);
        const float along = (push.x * o[0] + push.y * o[1] + push.z * o[2]) / 0.98f;
        EXPECT_GT(along, 0.999f * size) << "out of the face";
        if (first == 0.0f) first = size;
        EXPECT_NEAR(size, first, 0.01f * first);
    }
}

TEST_F(Contact, FrictionHoldsASmallSidewaysLoadAndGivesWayToALargeOne) {
    // A cube resting on a pinned one, pushed along +y (a right drag's push acts on every point
    // alike, so only the free cube feels it). Its weight is 8 x 9.81; the bound is friction x that.
    const struct {
        const char* friction;
        int dragPixels;  // a right drag pushes 0.1 x pixels on each of the 8 points
        bool slides;
    } cases[] = {
        {"0.5", 20, false},  // 16 of a bound of 39
        {"0.5", 150, true},  // 120
        {"0", 20, true},
        {"2", 80, false},    // 64 of 157
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("friction ") + c.friction + ", drag " + std::to_string(c.dragPixels));
        resetWorld();
        startWorld();
        run(std::string("set contact on\nset friction ") + c.friction +
            "\nscene\ncube 0 0 3\npin 0 1 2 3 4 5 6 7\ncube 0 0 4.01\nstep 3000\n");
        const float before = centre(*sceneCubes()[1]).y;
        // The push lasts 200 steps; a held cube leans with it and springs back after.
        run("press right 0 0\nrelease right " + std::to_string(c.dragPixels) + " 0\nstep 1000\n");
        const float slid = centre(*sceneCubes()[1]).y - before;
        if (c.slides) {
            EXPECT_GT(slid, 0.05f);
        } else {
            EXPECT_LT(std::fabs(slid), 0.01f);
        }
    }
}

TEST_F(Contact, CubesThatShareCornersIgnoreEachOtherAndTheRowsKeepTheirBits) {
    // Rows of attached cubes touch only through the corners they share, whatever lands where.
    // (Not the pendulum: its swinging row folds its first cube into its last.)
    for (const char* key : {"1", "3", "7", "s", "q"}) {
        SCOPED_TRACE(key);
        const std::string scene = std::string("key ") + key + "\nstep 3000\n";
        EXPECT_EQ(hashAfter("set contact on\n" + scene), hashAfter(scene));
    }
}

TEST_F(Contact, TheOrderOfTheForcesDoesNotDependOnWhereTheObjectsLie) {
    // The same scene, its objects made at other addresses (points in no chain made between the
    // cubes move every later object): the same bits.
    const std::string cubes[] = {"cube 0 0 0\n", "cube 0.3 0.2 1.1\n", "cube -0.4 0.5 2.3 edge 0.6 mass 2\n"};
    auto build = [&](int padding) {
        resetWorld();
        startWorld();
        run("set contact on\nset own-weight on\nscene\n");
        for (const std::string& c : cubes) {
            for (int i = 0; i < padding; ++i) pointAt(0.0f, 0.0f, 0.0f);
            run(c);
        }
        run("step 4000\n");
        return hashMovingPoints();
    };
    const std::uint64_t plain = build(0);
    EXPECT_EQ(build(1), plain);
    EXPECT_EQ(build(333), plain);

    // The moving chain relinked by hand, the last cube's points first: no longer in the order
    // they were made (nor of their addresses). Each point ends where it ends unrelinked.
    auto positions = [&](bool relink) {
        resetWorld();
        startWorld();
        run("set contact on\nscene\n" + cubes[0] + cubes[1] + cubes[2]);
        if (relink) {
            std::vector<MassPoint*> chain = movingPoints();
            std::rotate(chain.begin(), chain.end() - 8, chain.end());
            MassPoint* before = chainHead;
            for (MassPoint* p : chain) before = before->next = p;
            before->next = nullptr;
        }
        run("step 3000\n");
        std::vector<Vec3> at;
        for (const Cube* c : sceneCubes()) {
            for (const MassPoint* p : c->corners) at.push_back(p->position);
        }
        return at;
    };
    const std::vector<Vec3> made = positions(false), relinked = positions(true);
    for (std::size_t k = 0; k < made.size(); ++k) EXPECT_TRUE(sameBits(made[k], relinked[k])) << "corner " << k;
}

TEST_F(Contact, OwnWeightLetsBlocksOfAnyMassFallTogether) {
    // Equal masses: the bits of the design's gravity; unequal: the same fall, where the design's
    // gravity (the lead cube's corner mass for every point) drops the heavy block slower.
    EXPECT_EQ(hashAfter("set own-weight on\nset gravity 3\nkey 7\nstep 2000\n"), hashAfter("set gravity 3\nkey 7\nstep 2000\n"));
    for (const bool own : {true, false}) {
        resetWorld();
        startWorld();
        run(std::string(own ? "set own-weight on\n" : "") + "scene\ncube 0 0 8\ncube -2 3 8 mass 3\nstep 400\n");
        const float light = centre(*sceneCubes()[0]).z, heavy = centre(*sceneCubes()[1]).z;
        // (The points' own drag, the same for any mass, slows the light block a little.)
        EXPECT_EQ(std::fabs(light - heavy) < 0.01f, own) << light << " " << heavy;
    }
}

// The candidate pairs of the positions as they are: all pairs of whole cubes with finite
// corners whose boxes meet and that share no corner.
std::vector<std::uint64_t> pairsOfBoxesThatMeet() {
    std::vector<std::uint64_t> expected;
    const std::vector<Cube*>& cubes = sceneCubes();
    auto takesPart = [](const Cube& c) {
        return std::none_of(c.springs.begin(), c.springs.end(), [](const Spring* s) { return s->torn; }) &&
               std::all_of(c.corners, c.corners + 8, [](const MassPoint* p) {
                   return std::isfinite(p->position.x) && std::isfinite(p->position.y) && std::isfinite(p->position.z);
               });
    };
    auto meet = [](const Cube& a, const Cube& b) {
        for (int axis = 0; axis < 3; ++axis) {
            auto along = [axis](const MassPoint* p) {
                return axis == 0 ? p->position.x : axis == 1 ? p->position.y : p->position.z;
            };
            float aLo = INFINITY, aHi = -INFINITY, bLo = INFINITY, bHi = -INFINITY;
            for (const MassPoint* p : a.corners) aLo = std::min(aLo, along(p)), aHi = std::max(aHi, along(p));
            for (const MassPoint* p : b.corners) bLo = std::min(bLo, along(p)), bHi = std::max(bHi, along(p));
            if (aLo > bHi || bLo > aHi) return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < cubes.size(); ++i) {
        for (std::size_t j = i + 1; j < cubes.size(); ++j) {
            const bool share = std::find_first_of(cubes[i]->corners, cubes[i]->corners + 8, cubes[j]->corners,
                                                  cubes[j]->corners + 8) != cubes[i]->corners + 8;
            if (!share && takesPart(*cubes[i]) && takesPart(*cubes[j]) && meet(*cubes[i], *cubes[j])) {
                expected.push_back(std::uint64_t{i} << 32 | j);
            }
        }
    }
    return expected;
}

TEST_F(Contact, TheSweepFindsEveryPairOfBoxesThatMeet) {
    std::string tumbling = "set contact on\nscene\n";
    for (int row = 0; row < 8; ++row) {
        tumbling += "cube " + std::to_string(0.16f * row) + " 0 " + std::to_string(0.3f + 0.05f * row) +
                    " edge 0.15\nattach 7\n";
    }
    for (int k = 0; k < 12; ++k) {
        tumbling += "cube " + std::to_string(0.1f * (k % 4) + 0.2f) + " " + std::to_string(0.27f * k) + " " +
                    std::to_string(1.0f + 0.1f * (k % 3)) + " edge 0.25\n";
    }
    const struct {
        const char* what;
        std::string scene;
        int rounds;
        const char* round;      // run before each comparison
        bool blowOneUp = false;  // the last cube's corner 0 made infinite before the first
        std::size_t atLeast = 1;
    } cases[] = {
        {"rows side by side and loose cubes dropped onto them, tumbling", tumbling, 8, "step 250\n", false, 20},
        {"two cubes in neighbouring bands that start at the same place along the sweep",
         "key g\nset contact on\nscene\ncube -20 0 1\ncube 20 0 1\ncube 0 1.5 1\ncube 0 2.4 1\n", 1, "step 1\n"},
        {"cubes that share only pinned corners", "set contact on\nscene\ncube 0 0 1\nattach\npin cube 1 far\n", 1,
         "step 200\n", false, 0},
        {"a cube made while contact was off",
         "set contact on\nscene\ncube 0 0 1\ncube 3 0 1\nstep 1\nset contact off\ncube 0.5 0.2 1.3\nstep 1\n"
         "set contact on\n",
         1, "step 1\n"},
        {"a cube blown up", "key g\nset contact on\nscene\ncube 0 0 1\ncube 0.5 0 1\ncube 0.2 0 1.5\n", 1, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetWorld();
        startWorld();
        run(c.scene);
        if (c.blowOneUp) sceneCubes().back()->corners[0]->position.x = INFINITY;
        std::size_t most = 0;
        for (int at = 0; at < c.rounds; ++at) {
            if (*c.round != '\0') run(c.round);
            applyContactForces();  // the pairs of the positions as they are
            const std::vector<std::uint64_t> expected = pairsOfBoxesThatMeet();
            EXPECT_EQ(contactScratch().pairs, expected) << "round " << at;
            most = std::max(most, expected.size());
        }
        EXPECT_GE(most, c.atLeast);
    }
}

// Planes and corners kept from an earlier reading of the cubes are not taken for this step's:
// a cube made later, far off and still, leaves the others' bits as if it had always been there.
TEST_F(Contact, ACubeMadeLaterLeavesTheOthersAsIfItHadAlwaysBeenThere) {
    const std::string pair = "key g\nset contact on\nscene\ncube 0 0 1\ncube 0.5 0.3 1.4\n";
    const std::uint64_t always = hashAfter(pair + "cube 6 0 1\nstep 300\n");
    for (const char* first : {"step 1\n", "step 150\n"}) {
        SCOPED_TRACE(first);
        const int rest = 300 - std::stoi(std::string(first).substr(5));
        EXPECT_EQ(hashAfter(pair + first + "cube 6 0 1\nstep " + std::to_string(rest) + "\n"), always);
    }
}

TEST_F(Contact, NothingOfContactRunsWhileItIsOff) {
    // The cubes are read for contact on its first step after the scene changed, not before.
    resetWorld();
    startWorld();
    run("scene\ncube 0 0 0\ncube 0 0 1.05\nstep 10\n");
    EXPECT_TRUE(contactScratch().cubes.empty());
    run("set contact on\nstep 1\n");
    EXPECT_EQ(contactScratch().cubes.size(), 2u);
}

}  // namespace

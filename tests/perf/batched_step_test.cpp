// The step takes springs and elements eight at a time in lanes, in an order of the scene that it
// keeps and reads anew when links change. A plain step, one spring, one element and one point
// at a time in the order the forces are defined, must give the very same bits after every step,
// also when the scene's links and fields are edited by hand between steps.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/settings.h"
#include "sim/room.h"
#include "sim/spring_pass.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

// The step as its parts are defined, each walk touching one object at a time.
void plainStep() {
    simTime = simTime + timeStep;
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) p->force = Vec3{};
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        cell->spring->a->force = Vec3{};
        cell->spring->b->force = Vec3{};
    }
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
    auto addToAll = [](const Vec3& f) {
        for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
            p->force.x += f.x;
            p->force.y += f.y;
            p->force.z += f.z;
        }
    };
    if (leadCube != nullptr && gravityOn) addToAll(Vec3{0.0f, 0.0f, -settings.gravity * leadCube->corners[0]->mass});
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addToAll(pushForce);
    }
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        Spring& s = *cell->spring;
        const Vec3 d = s.a->position - s.b->position;
        const float L = length(d);
        if (L == 0.0f) continue;
        const Vec3 w = s.a->velocity - s.b->velocity;
        const float rate = -settings.springDamping * dot(w, d) / L;
        const Vec3 F{rate * d.x / L, rate * d.y / L, rate * d.z / L};
        s.a->force.x += F.x;
        s.a->force.y += F.y;
        s.a->force.z += F.z;
        s.b->force.x -= F.x;
        s.b->force.y -= F.y;
        s.b->force.z -= F.z;
    }
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) e->applyVolumeForce();
    const float dt = timeStep;
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        p->integrateVelocity(dt);
        bounceVelocity(*p);
    }
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        p->position.x = p->position.x + dt * p->velocity.x;
        p->position.y = p->position.y + dt * p->velocity.y;
        p->position.z = p->position.z + dt * p->velocity.z;
        clampPosition(*p);
    }
}

// The raw bytes of everything a step changes: every moving point's position, velocity and
// force, every listed spring's rest length and its ends' forces, every element's rest volume
// and the forces of its corners (fixed ones too).
std::vector<unsigned char> worldBytes() {
    std::vector<unsigned char> bytes;
    auto put = [&bytes](const void* p, size_t n) {
        const auto* c = static_cast<const unsigned char*>(p);
        bytes.insert(bytes.end(), c, c + n);
    };
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        put(&p->position, sizeof p->position);
        put(&p->velocity, sizeof p->velocity);
        put(&p->force, sizeof p->force);
    }
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        put(&cell->spring->restLength, sizeof(float));
        put(&cell->spring->a->force, sizeof(Vec3));
        put(&cell->spring->b->force, sizeof(Vec3));
    }
    for (const VolumeElement* e = volumeElements; e != nullptr; e = e->next) {
        put(&e->restVolume, sizeof(float));
        for (const MassPoint* c : e->corners) put(&c->force, sizeof c->force);
    }
    put(&simTime, sizeof simTime);
    return bytes;
}

// Drags that push hard enough to tear and yield springs, well short of blowing a scene up.
void dragAt(int step) {
    switch (step) {
        case 100: onMouse(kLeftButton, kButtonDown, 400, 300); break;
        case 140: onMouse(kLeftButton, kButtonUp, 470, 230); break;
        case 700: onMouse(kRightButton, kButtonDown, 100, 100); break;
        case 701: onMouse(kRightButton, kButtonUp, 2100, 100); break;  // the longest push, toward +y
        case 1300: onMouse(kLeftButton, kButtonDown, 300, 300); break;
        case 1320: onMouse(kLeftButton, kButtonUp, 200, 160); break;
        default: break;
    }
}

class BatchedStepTest : public WorldTest {
protected:
    // Runs `steps` steps from the scene that `start` builds, once with the step and once with
    // the plain step, and compares the bytes after every step. `edit(i)` runs before step i.
    template <class Start, class Edit>
    void expectSameAsPlainSteps(Start start, int steps, Edit edit) {
        std::vector<std::vector<unsigned char>> stepped;
        resetWorld();
        start();
        for (int i = 0; i < steps; ++i) {
            dragAt(i);
            edit(i);
            stepWorld();
            stepped.push_back(worldBytes());
        }
        springsLeft_ = activeSprings().size();
        resetWorld();
        start();
        for (int i = 0; i < steps; ++i) {
            dragAt(i);
            edit(i);
            plainStep();
            const std::vector<unsigned char> plain = worldBytes();
            ASSERT_EQ(plain.size(), stepped[i].size()) << "step " << i;
            ASSERT_EQ(std::memcmp(plain.data(), stepped[i].data(), plain.size()), 0) << "step " << i;
        }
    }
    template <class Start>
    void expectSameAsPlainSteps(Start start, int steps) {
        expectSameAsPlainSteps(start, steps, [](int) {});
    }
    size_t springsLeft_ = 0;
};

TEST_F(BatchedStepTest, EveryPreparedSceneWithDefaultFlags) {
    for (unsigned char key : {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'}) {
        SCOPED_TRACE(key);
        expectSameAsPlainSteps([key] { onKey(key, 0, 0); }, 1500);
    }
}

TEST_F(BatchedStepTest, TearingSprings) {
    for (unsigned char key : {'3', 's', 'p'}) {
        SCOPED_TRACE(key);
        expectSameAsPlainSteps([key] { onKey('z', 0, 0); onKey(key, 0, 0); }, 1500);
        onKey(key, 0, 0);
        EXPECT_LT(springsLeft_, activeSprings().size()) << "no spring tore: the test misses what it is for";
    }
}

TEST_F(BatchedStepTest, YieldingSpringsAndTheirElements) {
    for (unsigned char key : {'s', 'p'}) {
        SCOPED_TRACE(key);
        expectSameAsPlainSteps([key] { onKey('u', 0, 0); onKey(key, 0, 0); }, 1500);
        std::vector<float> restAfterSteps;
        for (const Spring* s : activeSprings()) restAfterSteps.push_back(s->restLength);
        onKey(key, 0, 0);  // the same scene as built, before any yield
        const std::vector<Spring*> built = activeSprings();
        ASSERT_EQ(restAfterSteps.size(), built.size());
        bool yielded = false;
        for (size_t i = 0; i < built.size(); ++i) yielded = yielded || restAfterSteps[i] != built[i]->restLength;
        EXPECT_TRUE(yielded) << "no spring yielded: the test misses what it is for";
    }
}

TEST_F(BatchedStepTest, YieldingAndTearingTogetherWithoutGravity) {
    expectSameAsPlainSteps([] { onKey('u', 0, 0); onKey('z', 0, 0); onKey('g', 0, 0); onKey('s', 0, 0); }, 1500);
}

TEST_F(BatchedStepTest, VolumeOffAndRowsOfManyCubes) {
    expectSameAsPlainSteps([] { onKey('v', 0, 0); onKey('7', 0, 0); }, 800);
    expectSameAsPlainSteps(
        [] {
            buildRowScene(1);
            for (int i = 0; i < 60; ++i) tailCube = attachCube(i == 0 ? *leadCube : *tailCube);
        },
        400);
}

TEST_F(BatchedStepTest, ListLongerThanTheSceneHasRecordsFor) {
    // One spring listed again and again: more list cells than springs made.
    auto start = [] {
        onKey('2', 0, 0);
        Spring* s = springList->spring;
        for (int i = 0; i < 300; ++i) springList->append(s);
    };
    expectSameAsPlainSteps(start, 300);
}

TEST_F(BatchedStepTest, SpringsWithCoincidentEnds) {
    // A spring whose ends coincide has no direction and adds nothing; its neighbours in the
    // same block still do.
    auto start = [] {
        onKey('3', 0, 0);
        MassPoint* p = leadCube->corners[0];
        MassPoint* twin = make<MassPoint>(p->position.x, p->position.y, p->position.z, zeroVelocity, 0.2f, 1.0f, nullptr);
        springList->append(make<Spring>(p, twin, 1660.0f, 700.0f, 0.5f));
        for (int i = 0; i < 5; ++i) springList->append(make<Spring>(leadCube->corners[1], leadCube->corners[i + 2], 100.0f, 700.0f, 0.5f));
    };
    expectSameAsPlainSteps(start, 300);
    // A cube's edge squeezed to nothing while springs are plastic: it yields, and its elements'
    // other edges, later in its block, take their new rest lengths at once.
    expectSameAsPlainSteps(
        [] {
            plasticOn = true;
            onKey('2', 0, 0);
            leadCube->corners[1]->position = leadCube->corners[0]->position;
        },
        2);
}

TEST_F(BatchedStepTest, LinksEditedBetweenSteps) {
    // Each edit changes the order the step keeps: a point cut out of the chain, a spring
    // unlinked, a new spring listed, elements hung on, a whole new chain head, and cells,
    // elements and points linked by hand with no call to anything.
    auto edit = [](int step) {
        MassPoint* first = chainHead->next;
        switch (step) {
            case 150: {  // a point of the second cube cut out, first listed past the first group
                MassPoint* before = first;
                for (int i = 0; i < 7; ++i) before = before->next;
                before->next = before->next->next;
                break;
            }
            case 250: springList = springList->remove(springList->next->next->next->spring); break;
            case 300:
                springList->next->next = springList->next->next->next;
                break;
            case 350: {  // a spring to a new anchor, linked in by hand at the head: the anchor is
                         // cleared before its first force, though made after the point cut out
                MassPoint* anchor = make<MassPoint>(0.5f, 0.5f, 4.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
                anchor->force = Vec3{5.0f, 5.0f, 5.0f};
                SpringListNode* cell = make<SpringListNode>();
                cell->spring = make<Spring>(anchor, leadCube->corners[5], 900.0f, 7000.0f);
                cell->next = springList;
                springList = cell;
                break;
            }
            case 400: {  // a point linked in by hand at the end of the chain
                MassPoint* last = chainHead;
                while (last->next != nullptr) last = last->next;
                last->next = make<MassPoint>(0.2f, 0.3f, 3.0f, zeroVelocity, 0.2f, 1.0f, nullptr);
                springList->append(make<Spring>(last->next, leadCube->corners[6], 800.0f, 7000.0f));
                break;
            }
            case 450: springList->append(make<Spring>(first, leadCube->corners[6], 800.0f, 700.0f)); break;
            case 600:
                volumeElements->next->next = nullptr;
                break;
            case 650: {  // an element hung on, with a corner that nothing else uses
                MassPoint* spare = make<MassPoint>(0.5f, 0.5f, 2.5f, zeroVelocity, 1.0f, 1.0f, nullptr);
                Cube& c = *leadCube;
                appendElementChain(volumeElements, make<VolumeElement>(c.corners[1], spare, c.corners[2], c.corners[5]));
                break;
            }
            case 700: {  // hung on by hand behind the last element: its forces still count
                MassPoint* spare = make<MassPoint>(0.5f, 1.5f, 2.5f, zeroVelocity, 1.0f, 1.0f, nullptr);
                VolumeElement* last = volumeElements;
                while (last->next != nullptr) last = last->next;
                Cube& c = *leadCube;
                last->next = make<VolumeElement>(c.corners[4], c.corners[5], spare, c.corners[7]);
                break;
            }
            case 750: {
                MassPoint* head = make<MassPoint>(0.0f, 0.0f, 0.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
                head->next = first->next;
                chainHead = head;
                break;
            }
            default: break;
        }
    };
    // Settings away from their design values, which the walk along the links must use too.
    expectSameAsPlainSteps(
        [] {
            settings.springDamping = 20.0f;
            settings.gravity = 4.0f;
            onKey('3', 0, 0);
        },
        900, edit);
}

TEST_F(BatchedStepTest, FieldsChangedByHandTakeEffectAtOnce) {
    // Stiffness, rest lengths and a rest volume changed between steps, with no key pressed.
    auto edit = [](int step) {
        if (step != 200) return;
        for (Spring* s : activeSprings()) {
            s->stiffness = 2.0f * s->stiffness;
            s->restLength = 0.9f * s->restLength;
        }
        volumeElements->restVolume = 0.5f * volumeElements->restVolume;
    };
    expectSameAsPlainSteps([] { onKey('2', 0, 0); }, 400, edit);
}

TEST_F(BatchedStepTest, FlagsToggledWhileScenesRunAndRestart) {
    // Flags switched mid-run (tearing, plasticity, volume, gravity, the push plane), drags and
    // restarts, at steps picked by a fixed scramble of the step number, so both runs see the same.
    auto edit = [](int step) {
        const std::uint32_t h = static_cast<std::uint32_t>(step) * 2654435761u;
        if (h % 37 != 0) return;
        const char keys[] = {'z', 'u', 'v', 'g', 'x', 'z', 'u', '3', 's', 'p', 'q'};
        onKey(static_cast<unsigned char>(keys[(h >> 8) % sizeof keys]), 0, 0);
        if ((h >> 16) % 3 == 0) {
            onMouse(kLeftButton, kButtonDown, 400, 300);
            onMouse(kLeftButton, kButtonUp, static_cast<int>(300 + (h >> 20) % 200), 200);
        }
    };
    expectSameAsPlainSteps([] { onKey('s', 0, 0); }, 3000, edit);
}

TEST_F(BatchedStepTest, ElementCornerOutsideTheChainAndTheListKeepsItsForce) {
    // A corner that no listed spring ends at and that does not move is never cleared: the
    // volume forces of its elements pile up on it step after step.
    auto start = [] {
        onKey('1', 0, 0);
        MassPoint* loose = leadCube->corners[7];
        for (const Spring* s : activeSprings()) {
            if (s->a == loose || s->b == loose) springList = springList->remove(s);
        }
        MassPoint* before = chainHead;
        while (before->next != loose) before = before->next;
        before->next = loose->next;
        loose->force = Vec3{1.0f, -2.0f, 3.0f};
    };
    expectSameAsPlainSteps(start, 300);
    EXPECT_NE(leadCube->corners[7]->force.x, 1.0f) << "no volume force reached the loose corner";
}

TEST_F(BatchedStepTest, PointsMadeOutsideTheScenesStorage) {
    // The step reads any point through its pointers, wherever it was made.
    onKey('2', 0, 0);
    MassPoint outside(0.0f, 0.0f, 3.0f, zeroVelocity, 0.2f, 1.0f, nullptr);
    auto start = [&outside] {
        onKey('2', 0, 0);
        outside = MassPoint(0.0f, 0.0f, 3.0f, zeroVelocity, 0.2f, 1.0f, nullptr);
        springList->append(make<Spring>(leadCube->corners[4], &outside, 1000.0f, 7000.0f));
    };
    expectSameAsPlainSteps(start, 300);
}

// Which walk a hand edit changes.
enum class Walk { kPoints, kSprings, kElements };

// Unlinks by hand the entry at `index` of a walk (list order as built), or, at the walk's
// length, links one in by hand behind the last, with no call that could notice the edit.
void editLinkByHand(Walk walk, int index) {
    Cube& c = *leadCube;
    if (walk == Walk::kPoints) {
        MassPoint** link = &chainHead->next;
        for (int i = 0; i < index; ++i) link = &(*link)->next;
        *link = *link != nullptr ? (*link)->next : make<MassPoint>(0.5f, 0.5f, 3.0f, zeroVelocity, 0.2f, 1.0f, nullptr);
    } else if (walk == Walk::kSprings) {
        SpringListNode** link = &springList;
        for (int i = 0; i < index; ++i) link = &(*link)->next;
        if ((*link)->next != nullptr) {
            *link = (*link)->next;
        } else {  // the terminator becomes the cell of a spring at under a third of its length
            (*link)->spring = make<Spring>(c.corners[0], c.corners[6], 1660.0f, 7000.0f, 0.5f);
            (*link)->next = make<SpringListNode>();
        }
    } else {
        VolumeElement** link = &volumeElements;
        for (int i = 0; i < index; ++i) link = &(*link)->next;
        if (*link != nullptr) {
            *link = (*link)->next;
        } else {
            *link = make<VolumeElement>(c.corners[0], c.corners[1], c.corners[3], c.corners[4]);
            (*link)->restVolume = 0.5f * (*link)->restVolume;
        }
    }
}

TEST_F(BatchedStepTest, LinksEditedByHandAnywhereInABlockWhileSpringsCarryForce) {
    // Seven cubes whose springs all pull (rest lengths shortened): one entry of a walk unlinked
    // by hand, the first, a middle or the last of the first block of sixteen, the first or the
    // last of the second, the last of the walk, or one linked in behind the last.
    auto start = [] {
        onKey('7', 0, 0);
        for (Spring* s : activeSprings()) s->restLength = 0.9f * s->restLength;
    };
    start();
    ASSERT_EQ(movingPoints().size(), 32u);
    ASSERT_EQ(activeSprings().size(), 160u);
    ASSERT_EQ(elementCount(), 56);
    const struct {
        Walk walk;
        std::vector<int> entries;
    } cases[] = {{Walk::kPoints, {0, 7, 15, 16, 31, 32}},
                 {Walk::kSprings, {0, 7, 15, 16, 31, 159, 160}},
                 {Walk::kElements, {0, 7, 15, 16, 31, 55, 56}}};
    for (const auto& c : cases) {
        for (int entry : c.entries) {
            SCOPED_TRACE(testing::Message() << "walk " << static_cast<int>(c.walk) << ", entry " << entry);
            expectSameAsPlainSteps(start, 30, [&c, entry](int step) {
                if (step == 10) editLinkByHand(c.walk, entry);
            });
        }
    }
}

TEST_F(BatchedStepTest, AnchorListedBeforeAndAfterAHandEditKeepsItsFirstForce) {
    // The anchor's first spring is taken in blocks; a hand edit further on sends the walk along
    // the links, where it meets the anchor's second spring: the anchor is not cleared again.
    auto start = [] {
        onKey('3', 0, 0);
        MassPoint* anchor = make<MassPoint>(0.5f, 0.5f, 3.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
        SpringListNode* cell = make<SpringListNode>();
        cell->spring = make<Spring>(anchor, leadCube->corners[5], 900.0f, 7000.0f, 0.5f);
        cell->next = springList->next;
        springList->next = cell;
        springList->append(make<Spring>(anchor, leadCube->corners[6], 900.0f, 7000.0f, 0.5f));
        // A second anchor whose one spring only the walk along the links meets.
        MassPoint* second = make<MassPoint>(0.5f, 1.5f, 3.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
        springList->append(make<Spring>(second, leadCube->corners[7], 900.0f, 7000.0f, 0.5f));
    };
    // Also with a hand edit on every step, each sending the walk along the links: the second
    // anchor is cleared anew on every such walk.
    for (const int first : {10, 0}) {
        expectSameAsPlainSteps(start, 20, [first](int step) {
            if (step == 10 || (first == 0 && step > 10)) editLinkByHand(Walk::kSprings, 40);
        });
    }
}

TEST_F(BatchedStepTest, EachSpecialCaseInEachLaneAlone) {
    // A rope of eight springs from a fixed point through eight moving ones, each listed with
    // its b the previous spring's a, all pulling a little (length 1, rest length 0.9) but the one
    // in `lane`: the points beyond it are moved so that it alone tears, yields squeezed or
    // stretched, or has no length. A ninth spring, listed after the special case, closes the
    // rope on the fixed point.
    const struct {
        const char* what;
        float shift;
        bool breakable, plastic;
    } cases[] = {{"tears", 1.0f, true, false},
                 {"yields squeezed", -0.6f, false, true},
                 {"yields stretched", 0.5f, false, true},
                 {"has no length", -1.0f, false, false}};
    for (const auto& c : cases) {
        for (int lane = 0; lane < 8; ++lane) {
            SCOPED_TRACE(testing::Message() << c.what << " in lane " << lane);
            auto start = [&c, lane] {
                breakableOn = c.breakable;
                plasticOn = c.plastic;
                MassPoint* p[9];
                for (int i = 0; i < 9; ++i) p[i] = pointAt(float(i), 0.0f, 5.0f, i > 0);
                for (int j = 0; j < 8; ++j) springList->append(make<Spring>(p[j + 1], p[j], 1660.0f, 700.0f, 0.9f));
                springList->append(make<Spring>(p[8], p[0], 1660.0f, 7000.0f));
                for (int i = lane + 1; i < 9; ++i) p[i]->position.x += c.shift;
            };
            expectSameAsPlainSteps(start, 3);
        }
    }
}

TEST_F(BatchedStepTest, OneSpringAtATimeYieldsOnlyStrictlyBeyondTheBounds) {
    // The first spring has no length, which sends the group one spring at a time; the second
    // sits exactly at a bound or one float beyond it. The last pair's rest length is one whose
    // 1.5 times rounds up in float: the rounded bound itself does not yield.
    float odd = 1.0f;
    while (!(double(float(1.5 * odd)) > 1.5 * odd)) odd = std::nextafter(odd, 2.0f);
    const float oddBound = float(1.5 * odd);
    const struct {
        float rest, length;
        bool yields;
    } cases[] = {{1.0f, 0.5f, false}, {1.0f, std::nextafter(0.5f, 0.0f), true},
                 {1.0f, 1.5f, false}, {1.0f, std::nextafter(1.5f, 2.0f), true},
                 {odd, oddBound, false}, {odd, std::nextafter(oddBound, 2.0f), true}};
    for (const auto& c : cases) {
        resetWorld();
        plasticOn = true;
        MassPoint* p = pointAt(0, 0, 0, true);
        springList->append(make<Spring>(p, pointAt(0, 0, 0, true), 1660.0f, 700.0f, 1.0f));
        Spring* s = make<Spring>(pointAt(1, 0, 0, true), pointAt(1, 0, c.length, true), 1660.0f, 700.0f, c.rest);
        springList->append(s);
        applySpringForces();
        EXPECT_EQ(s->restLength, c.yields ? c.length : c.rest) << "rest " << c.rest << ", length " << c.length;
    }
}

}  // namespace

// The step allocates nothing: every allocation of the process is counted while steps run.
// This executable replaces the global operator new, so it holds no other tests.

#include <cstdlib>
#include <new>
#include <utility>

#include "bench/contact_scenes.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "interaction/scene_commands.h"
#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/spring.h"
#include "sim/contact.h"
#include "sim/presets.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {
bool counting = false;
long allocations = 0;

void* allocate(std::size_t size, std::size_t align) {
    if (counting) ++allocations;
    if (size == 0) size = 1;
    void* p = align > alignof(std::max_align_t) ? std::aligned_alloc(align, (size + align - 1) / align * align)
                                                 : std::malloc(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new(std::size_t size, std::align_val_t align) { return allocate(size, static_cast<std::size_t>(align)); }
void* operator new[](std::size_t size, std::align_val_t align) { return allocate(size, static_cast<std::size_t>(align)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

class StepAllocationTest : public WorldTest {
protected:
    // Allocations made by `steps` idle steps with drags in between (the drags are counted too).
    static long allocationsOfSteps(int steps) {
        allocations = 0;
        counting = true;
        for (int i = 0; i < steps; ++i) {
            if (i == 50) onMouse(kLeftButton, kButtonDown, 400, 300);
            if (i == 80) onMouse(kLeftButton, kButtonUp, 470, 200);
            if (i == 400) onMouse(kRightButton, kButtonDown, 100, 100);
            if (i == 401) onMouse(kRightButton, kButtonUp, 400, 20);
            onIdle();
        }
        counting = false;
        return allocations;
    }
};

TEST_F(StepAllocationTest, TheCounterSeesAllocations) {
    counting = true;
    allocations = 0;
    onKey('1', 0, 0);  // building a scene allocates
    counting = false;
    EXPECT_GT(allocations, 0);
}

TEST_F(StepAllocationTest, NoSceneAllocatesWhileStepping) {
    for (const char* flags : {"", "u", "z", "uz", "g", "v"}) {
        for (unsigned char key : {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'}) {
            resetWorld();
            for (const char* f = flags; *f != '\0'; ++f) onKey(static_cast<unsigned char>(*f), 0, 0);
            onKey(key, 0, 0);
            EXPECT_EQ(allocationsOfSteps(1000), 0) << "scene " << key << " flags '" << flags << "'";
        }
    }
}

TEST_F(StepAllocationTest, ContactScenesAllocateNothingWhileStepping) {
    for (ContactScene scene : {ContactScene::Tower, ContactScene::Pile, ContactScene::CornerDrop, ContactScene::Crate,
                               ContactScene::TornRow, ContactScene::SlabWithBlocks}) {
        resetWorld();
        settings.contact = 1.0f;
        breakableOn = scene == ContactScene::TornRow;
        buildContactScene(scene);
        // Until cubes lie on each other (the slab's first rows on the floor, the torn row's pieces).
        for (int i = 0; i < 8000 && contactScratch().pairs.empty(); ++i) simulate(1);
        ASSERT_GT(contactScratch().pairs.size(), 0u) << contactSceneName(scene) << ": no cubes near each other";
        EXPECT_EQ(allocationsOfSteps(1500), 0) << contactSceneName(scene);
    }
}

// Pushed against the wall with own weight on, the slab and its blocks reach 5242 candidate pairs
// (5 a cube): the room that contact makes when it reads the cubes holds them.
TEST_F(StepAllocationTest, APileOfSlabRowsAllocatesNothingEither) {
    settings.contact = 1.0f;
    settings.ownWeight = 1.0f;
    buildContactScene(ContactScene::SlabWithBlocks);
    EXPECT_EQ(allocationsOfSteps(3000), 0);
}

// A block of separate cubes packed side by side and on each other: each meets up to 26 others,
// about 13 candidate pairs a cube once they press.
TEST_F(StepAllocationTest, APackedBlockOfCubesAllocatesNothingEither) {
    settings.contact = 1.0f;
    startEmptyScene();
    constexpr float kEdge = 0.3f, kGap = 0.0f;  // boxes that touch meet
    for (int z = 0; z < 4; ++z) {
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 5; ++x) {
                const Vec3 at{-x * (kEdge + kGap), y * (kEdge + kGap), 0.001f + z * (kEdge + kGap)};
                buildFreeCube(FreeCubeArgs{at, kEdge, kSmallStiffness, 1.0f, 0.2f, kTearForceLow, true});
            }
        }
    }
    finishBuilding();
    EXPECT_EQ(allocationsOfSteps(3000), 0);
}

TEST_F(StepAllocationTest, ManyCubesAndAnOverlongListAllocateNothingEither) {
    // Built outside the keys, which read the step's order of a new scene ahead of its steps.
    buildRowScene(1);
    for (int i = 0; i < 300; ++i) tailCube = attachCube(i == 0 ? *leadCube : *tailCube);
    sceneOrder();
    EXPECT_EQ(allocationsOfSteps(50), 0);

    // More list entries than springs. The order goes with its scene, so it is read again here.
    onKey('2', 0, 0);
    for (int i = 0; i < 300; ++i) springList->append(springList->spring);
    sceneOrder();
    EXPECT_EQ(allocationsOfSteps(50), 0);
}

}  // namespace

// Prints one hash per step for many scenes, flag sets and pushes: the raw bytes of every
// moving point (position, velocity, force, in chain order), of every active spring's rest
// length and of every element's rest volume. Two builds of the core that print the same
// lines step the world bit for bit alike. A NaN counts as one value whatever its sign and
// payload: the compiler may swap the operands of a commutative operation, and with two NaN
// operands that decides which one comes out, so not even one core built at two optimisation
// levels agrees on them once a scene has blown up.
//
// Usage: tremblo_trace [STEPS]   (default 4000 steps per scenario)

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "contact_scenes.h"
#include "cube_rows.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "model/volume_element.h"
#include "run/state_hash.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

struct Fnv {
    std::uint64_t h = kFnvOffsetBasis;
    void bytes(const void* p, std::size_t n) { h = fnv1a(h, p, n); }
    void value(float v) {
        if (std::isnan(v)) v = std::numeric_limits<float>::quiet_NaN();
        bytes(&v, sizeof v);
    }
    void value(const Vec3& v) {
        value(v.x);
        value(v.y);
        value(v.z);
    }
    void value(std::int32_t v) { bytes(&v, sizeof v); }
    void value(std::uint32_t v) { bytes(&v, sizeof v); }
};

std::uint64_t worldHash() {
    Fnv f;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        f.value(p->position);
        f.value(p->velocity);
        f.value(p->force);
    }
    std::uint32_t springs = 0;
    for (const SpringListNode* c = springList; c->next != nullptr; c = c->next) {
        f.value(c->spring->restLength);
        ++springs;
    }
    f.value(springs);
    for (const VolumeElement* e = volumeElements; e != nullptr; e = e->next) f.value(e->restVolume);
    f.value(simTime);
    f.value(pushStepsLeft);
    return f.h;
}

// Mouse drags at fixed steps: a slow and a quicker left drag, a right drag, and at the end a
// violent one that tears or yields many springs when those flags are on (and blows some
// scenes up).
void mouseAt(int step) {
    switch (step) {
        case 200: onMouse(kLeftButton, kButtonDown, 400, 300); break;
        case 240: onMouse(kLeftButton, kButtonUp, 460, 250); break;
        case 900: onMouse(kRightButton, kButtonDown, 100, 100); break;
        case 901: onMouse(kRightButton, kButtonUp, 380, 40); break;
        case 1800: onMouse(kLeftButton, kButtonDown, 300, 300); break;
        case 1840: onMouse(kLeftButton, kButtonUp, 200, 180); break;
        case 2600: onKey('x', 0, 0); onMouse(kLeftButton, kButtonDown, 300, 300); break;
        case 2620: onMouse(kLeftButton, kButtonUp, 330, 200); break;
        case 3500: onMouse(kLeftButton, kButtonDown, 300, 300); break;
        case 3501: onMouse(kLeftButton, kButtonUp, 330, 100); break;
        default: break;
    }
}

void run(const std::string& name, int steps) {
    std::printf("# %s\n", name.c_str());
    for (int i = 0; i < steps; ++i) {
        mouseAt(i);
        onIdle();
        std::printf("%d %016llx\n", i, static_cast<unsigned long long>(worldHash()));
    }
    int nan = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) nan += std::isnan(p->position.z) ? 1 : 0;
    std::printf("# end: %d active springs, %d points at NaN\n", countActiveSprings(), nan);
}

}  // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::atoi(argv[1]) : 4000;
    const char* scenes = "1234567sqp";
    const char* flagSets[] = {"", "g", "v", "u", "z", "uz", "ug", "vz"};
    for (const char* flags : flagSets) {
        for (const char* s = scenes; *s != '\0'; ++s) {
            resetWorldState();
            for (const char* f = flags; *f != '\0'; ++f) onKey(static_cast<unsigned char>(*f), 0, 0);
            onKey(static_cast<unsigned char>(*s), 0, 0);
            run(std::string("scene ") + *s + " flags '" + flags + "'", steps);
        }
    }
    // Switching flags in the middle of a scene.
    resetWorldState();
    onKey('s', 0, 0);
    std::printf("# scene s, flags switched while running\n");
    for (int i = 0; i < steps; ++i) {
        if (i == 500) onKey('u', 0, 0);
        if (i == 1500) onKey('z', 0, 0);
        if (i == 2500) onKey('u', 0, 0);
        if (i == 3000) onKey('v', 0, 0);
        mouseAt(i);
        onIdle();
        std::printf("%d %016llx\n", i, static_cast<unsigned long long>(worldHash()));
    }
    const int rowSizes[] = {1, 10, 37, 100};
    for (int n : rowSizes) {
        for (bool gravity : {false, true}) {
            resetWorldState();
            gravityOn = gravity;
            buildCubeRows(n);
            run("rows of " + std::to_string(n) + (gravity ? " gravity on" : " gravity off"), steps / 2);
        }
    }
    // Contact between cubes on: cubes stacked, of different masses and sizes, dropped onto a
    // corner, pieces of a torn row falling onto each other, with own weight, with the contact
    // settings at both ends of their ranges; mouseAt's drags push them while they touch. The
    // slab with blocks runs half as long.
    struct ContactRun {
        ContactScene scene;
        const char* flags;
        const char* what;
        SettingValues settings;
    };
    SettingValues ownWeight, high, low;
    ownWeight.ownWeight = 1.0f;
    high.contactStiffness = 200000.0f;
    high.contactDamping = 200.0f;
    high.friction = 2.0f;
    low.contactStiffness = 0.0f;
    low.contactDamping = 0.0f;
    low.friction = 0.0f;
    low.ownWeight = 1.0f;
    const ContactRun contactRuns[] = {
        {ContactScene::Tower, "", "", {}},
        {ContactScene::Tower, "", "contact settings high", high},
        {ContactScene::Crate, "", "", {}},
        {ContactScene::Pile, "", "", {}},
        {ContactScene::Pile, "", "own weight", ownWeight},
        {ContactScene::Pile, "u", "contact settings low, own weight", low},
        {ContactScene::CornerDrop, "", "", {}},
        {ContactScene::CornerDrop, "v", "own weight", ownWeight},
        {ContactScene::TornRow, "z", "", {}},
        {ContactScene::TornRow, "uz", "contact settings high", high},
        {ContactScene::SlabWithBlocks, "", "own weight", ownWeight},
    };
    for (const ContactRun& c : contactRuns) {
        resetWorldState();
        settings = c.settings;
        settings.contact = 1.0f;
        for (const char* f = c.flags; *f != '\0'; ++f) onKey(static_cast<unsigned char>(*f), 0, 0);
        buildContactScene(c.scene);
        run(std::string("contact: ") + contactSceneName(c.scene) + " flags '" + c.flags + "' " + c.what,
            c.scene == ContactScene::SlabWithBlocks ? steps / 2 : steps);
    }
    return 0;
}

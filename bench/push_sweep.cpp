// push_sweep: does any push a person can make blow a scene up? Every scene, under every
// combination of gravity, volume, plasticity and tearing, gets mouse drags through the real
// mouse callback in eight directions of each push plane, at several lengths up to the bound,
// armed in the air (at the start) and after landing; then pushes armed while another runs and
// pushes armed across a restart. A run blows up when a moving point's position or velocity is
// no longer finite. Prints one table row per scene (markdown) and exits with 1 if any run
// blew up.
//
// Then the same with contact between cubes on: every prepared scene, and scenes whose cubes
// lie on and fall onto each other (bench/contact_scenes.h), under the design settings, the
// contact settings at both ends of their ranges, own weight, and each other setting at each
// end of its range; the slab with blocks, slow to step, with fewer pushes. One row per scene
// and settings.
//
//   push_sweep [--quick] [--contact]   (--quick: lengths 100 and 200 only, landed pushes only;
//                                       --contact: the contact table only)
//   push_sweep --grabs [--quick] [--scene NAME]   the grabs only (grab_sweep.h), or of one
//                                                  scene ('1', rain.sim)
//
// Then the grabs: a table of their own, one row per scene (grab_sweep.h).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "contact_scenes.h"
#include "grab_sweep.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "model/mass_point.h"
#include "run/script_runner.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

constexpr char kScenes[] = {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'};
constexpr int kLandingSteps = 1400;  // 0.7 s: every falling scene has landed
constexpr int kAfterPush = 4000;     // 2 s after the push ends, to let it ring out

// How a drag is made: the button, and for the left button its plane.
enum class Drag { Right, LeftYZ, LeftXY };
constexpr Drag kDrags[] = {Drag::Right, Drag::LeftYZ, Drag::LeftXY};
const char* const kDragNames[] = {"right", "left y-z", "left x-y"};

struct Flags {
    bool gravity, volume, plastic, breakable;
};

// Steps n times; false as soon as the scene is no longer finite (checked every 100 steps and
// at the end: a blown-up scene stays blown up).
bool stepFinite(int n) {
    for (int i = 1; i <= n; ++i) {
        onIdle();
        if ((i % 100 == 0 || i == n) && !movingPointsFinite()) return false;
    }
    return true;
}

void startScene(char scene, const Flags& f, bool planeYZ) {
    resetWorldState();
    gravityOn = f.gravity;
    volumeOn = f.volume;
    plasticOn = f.plastic;
    breakableOn = f.breakable;
    pushPlaneYZ = planeYZ;
    onKey(static_cast<unsigned char>(scene), 0, 0);
}

// A drag whose push has the given length in direction angle (degrees) within its plane:
// right drags 0.1 per pixel; left drags released with no step since the press count as one
// frame (0.04 s), 2.5 per pixel. Pixels are rounded, so the length is met to within a pixel.
void drag(Drag kind, double length, double angle) {
    const double perPixel = kind == Drag::Right ? 0.1 : 0.1 / 0.04;
    const double radians = angle * std::numbers::pi / 180.0;
    const int across = static_cast<int>(std::lround(length / perPixel * std::cos(radians)));
    const int along = static_cast<int>(std::lround(length / perPixel * std::sin(radians)));
    const int button = kind == Drag::Right ? kRightButton : kLeftButton;
    onMouse(button, kButtonDown, 400, 300);
    onMouse(button, kButtonUp, 400 + across, 300 - along);
}

struct Tally {
    int runs = 0;
    int blown = 0;
    float longest = 0.0f;  // longest push armed, per point
    void add(bool finite) {
        ++runs;
        if (!finite) ++blown;
        longest = std::fmax(longest, std::sqrt(pushForce.x * pushForce.x + pushForce.y * pushForce.y +
                                               pushForce.z * pushForce.z));
    }
};

// Contact on: what a row of the contact table runs. A scene is a prepared one (its key) or a
// contact scene; every run starts from resetWorldState with these settings and contact on.
struct ContactSetup {
    std::string name;
    SettingValues settings;
    bool ofContact;  // the contact settings: swept under four flag sets
};

struct ContactSceneRun {
    char key;  // a prepared scene, or 0 for `scene`
    ContactScene scene;
    int landing;  // steps until it has landed (cubes lie on each other)
};

void startContactScene(const ContactSceneRun& run, const SettingValues& values, const char* flags, bool planeYZ) {
    resetWorldState();
    settings = values;
    settings.contact = 1.0f;
    for (const char* f = flags; *f != '\0'; ++f) onKey(static_cast<unsigned char>(*f), 0, 0);
    pushPlaneYZ = planeYZ;
    if (run.key != 0) {
        onKey(static_cast<unsigned char>(run.key), 0, 0);
    } else {
        buildContactScene(run.scene);
    }
}

// The settings a contact row runs under: each with contact on.
std::vector<ContactSetup> contactSetups(bool everyEnd) {
    std::vector<ContactSetup> setups;
    SettingValues v;
    setups.push_back({"design", v, true});
    v.contactStiffness = 200000.0f;
    v.contactDamping = 200.0f;
    v.friction = 2.0f;
    v.ownWeight = 1.0f;
    setups.push_back({"contact ends high, own weight", v, true});
    v = SettingValues{};
    v.contactStiffness = 0.0f;
    v.contactDamping = 0.0f;
    v.friction = 0.0f;
    setups.push_back({"contact ends low", v, true});
    v = SettingValues{};
    v.contactStiffness = 200000.0f;
    v.contactDamping = 0.0f;
    v.friction = 0.0f;
    setups.push_back({"stiff, undamped, no friction", v, true});
    if (!everyEnd) return setups;
    // Each other setting at each end of its range, alone.
    for (const SettingInfo& info : kSettings) {
        if (info.isSwitch || std::strncmp(info.name, "contact", 7) == 0 || std::strcmp(info.name, "friction") == 0) continue;
        for (float end : {info.low, info.high}) {
            v = SettingValues{};
            v.*info.value = end;
            char name[64];
            std::snprintf(name, sizeof name, "%s %g", info.name, static_cast<double>(end));
            setups.push_back({name, v, false});
        }
    }
    return setups;
}

// The contact table: returns the number of runs that blew up.
int contactSweep(bool quick) {
    const std::vector<double> lengths = quick ? std::vector<double>{200} : std::vector<double>{100, 200, 1e6};
    const char* const flagSets[] = {"", "u", "z", "v"};
    std::vector<ContactSceneRun> scenes;
    for (char key : kScenes) scenes.push_back({key, ContactScene::Tower, kLandingSteps});
    scenes.push_back({0, ContactScene::Tower, kLandingSteps});
    scenes.push_back({0, ContactScene::Pile, 3000});
    scenes.push_back({0, ContactScene::CornerDrop, kLandingSteps});
    scenes.push_back({0, ContactScene::Crate, kLandingSteps});
    scenes.push_back({0, ContactScene::TornRow, 4000});
    std::printf("\n| scene, contact on | settings | single pushes | blown up | pushes over a running push | blown up | pushes across a restart | blown up |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    auto row = [&](const ContactSceneRun& scene, const ContactSetup& setup, const std::vector<const char*>& flags,
                   const std::vector<int>& angles, const std::vector<double>& pushLengths, bool inTheAir) {
        Tally single, overRunning, acrossRestart;
        const std::string name = scene.key != 0 ? std::string("'") + scene.key + "'" : contactSceneName(scene.scene);
        for (const char* f : flags) {
            for (int d = 0; d < 3; ++d) {
                const Drag kind = kDrags[d];
                const bool planeYZ = kind != Drag::LeftXY;
                for (int angle : angles) {
                    for (double length : pushLengths) {
                        for (int start : inTheAir ? std::vector<int>{0, scene.landing} : std::vector<int>{scene.landing}) {
                            startContactScene(scene, setup.settings, f, planeYZ);
                            const bool landed = stepFinite(start);
                            drag(kind, length, angle);
                            const bool finite = landed && stepFinite(200 + kAfterPush);
                            single.add(finite);
                            if (!finite) {
                                std::fprintf(stderr, "blown up: %s, contact on, %s, flags '%s', %s drag, %d deg, length %g, "
                                             "after %d steps\n", name.c_str(), setup.name.c_str(), f, kDragNames[d], angle,
                                             length, start);
                            }
                        }
                    }
                    startContactScene(scene, setup.settings, f, planeYZ);
                    bool finite = stepFinite(scene.landing);
                    drag(kind, 1e6, angle);
                    finite = finite && stepFinite(50);
                    drag(kind, 1e6, angle + 180);
                    overRunning.add(finite && stepFinite(200 + kAfterPush));
                    // Across a restart into the tower (or from the tower into the pile).
                    startContactScene(scene, setup.settings, f, planeYZ);
                    finite = stepFinite(scene.landing);
                    drag(kind, 1e6, angle);
                    finite = finite && stepFinite(50);
                    buildContactScene(scene.key == 0 && scene.scene == ContactScene::Tower ? ContactScene::Pile
                                                                                            : ContactScene::Tower);
                    acrossRestart.add(finite && stepFinite(200 + kAfterPush));
                }
            }
        }
        std::printf("| %s | %s | %d | %d | %d | %d | %d | %d |\n", name.c_str(), setup.name.c_str(), single.runs,
                    single.blown, overRunning.runs, overRunning.blown, acrossRestart.runs, acrossRestart.blown);
        std::fflush(stdout);
        failures += single.blown + overRunning.blown + acrossRestart.blown;
    };
    const std::vector<int> everyAngle{0, 45, 90, 135, 180, 225, 270, 315};
    for (const ContactSceneRun& scene : scenes) {
        // The prepared scenes under the design settings; the contact scenes under each setup,
        // the contact ones with four flag sets, each other end with the flags at their start.
        const bool prepared = scene.key != 0;
        for (const ContactSetup& setup : contactSetups(!prepared && !quick)) {
            if (prepared && setup.name != "design") continue;
            const std::vector<const char*> flags =
                setup.ofContact ? std::vector<const char*>(std::begin(flagSets), std::end(flagSets)) : std::vector<const char*>{""};
            // The other settings' ends: along the axes of each drag's plane.
            row(scene, setup, flags, setup.ofContact ? everyAngle : std::vector<int>{0, 90, 180, 270}, lengths, !quick);
        }
    }
    // The slab with three blocks dropped on it, 1027 cubes: the longest push, landed, along
    // both axes of each drag's plane, under the design settings and the high ends.
    const ContactSceneRun slab{0, ContactScene::SlabWithBlocks, 3000};
    for (const ContactSetup& setup : contactSetups(false)) {
        if (setup.name != "design" && setup.name != "contact ends high, own weight") continue;
        row(slab, setup, {""}, quick ? std::vector<int>{90} : std::vector<int>{0, 90}, {1e6}, false);
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, contactOnly = false, grabsOnly = false;
    std::string onlyScene;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc) onlyScene = argv[++i];
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        contactOnly = contactOnly || std::strcmp(argv[i], "--contact") == 0;
        grabsOnly = grabsOnly || std::strcmp(argv[i], "--grabs") == 0;
    }
    if (grabsOnly) {
        const int blown = grabSweep(TREMBLO_SCENE_DIR, quick, onlyScene);
        std::printf("\n%d blown up\n", blown);
        return blown == 0 ? 0 : 1;
    }
    const std::vector<double> lengths = quick ? std::vector<double>{100, 200} : std::vector<double>{50, 100, 150, 200, 1e6};
    const std::vector<int> starts = quick ? std::vector<int>{kLandingSteps} : std::vector<int>{0, kLandingSteps};
    std::vector<Flags> flagSets;
    for (int bits = 0; bits < 16; ++bits) flagSets.push_back({(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0});

    if (!contactOnly) {
        std::printf("| scene | single pushes | blown up | pushes over a running push | blown up | pushes across a restart | blown up |\n");
        std::printf("|---|---|---|---|---|---|---|\n");
    }
    int failures = 0;
    for (std::size_t sceneIndex = 0; sceneIndex < (contactOnly ? 0 : sizeof kScenes); ++sceneIndex) {
        const char scene = kScenes[sceneIndex];
        Tally single, overRunning, acrossRestart;
        for (const Flags& f : flagSets) {
            for (int d = 0; d < 3; ++d) {
                const Drag kind = kDrags[d];
                const bool planeYZ = kind != Drag::LeftXY;
                for (int angle = 0; angle < 360; angle += 45) {
                    // One push, at each length (1e6: a drag far beyond the bound, cut to it).
                    for (double length : lengths) {
                        for (int start : starts) {
                            startScene(scene, f, planeYZ);
                            const bool landed = stepFinite(start);
                            drag(kind, length, angle);
                            const bool finite = landed && stepFinite(200 + kAfterPush);
                            single.add(finite);
                            if (!finite) {
                                std::fprintf(stderr, "blown up: scene %c, %s drag, %d deg, length %g, after %d steps, "
                                             "g%d v%d u%d z%d\n", scene, kDragNames[d], angle, length, start,
                                             f.gravity, f.volume, f.plastic, f.breakable);
                            }
                        }
                    }
                    // The longest push, then the longest again half way through, turned by 180 degrees.
                    startScene(scene, f, planeYZ);
                    bool finite = stepFinite(kLandingSteps);
                    drag(kind, 1e6, angle);
                    finite = finite && stepFinite(50);
                    drag(kind, 1e6, angle + 180);
                    overRunning.add(finite && stepFinite(200 + kAfterPush));
                    // The longest push, then a restart with the next scene while it runs.
                    startScene(scene, f, planeYZ);
                    finite = stepFinite(kLandingSteps);
                    drag(kind, 1e6, angle);
                    finite = finite && stepFinite(50);
                    const char next = kScenes[(sceneIndex + 1) % sizeof kScenes];
                    onKey(static_cast<unsigned char>(next), 0, 0);
                    acrossRestart.add(finite && stepFinite(200 + kAfterPush));
                }
            }
        }
        std::printf("| '%c' | %d | %d | %d | %d | %d | %d |\n", scene, single.runs, single.blown, overRunning.runs,
                    overRunning.blown, acrossRestart.runs, acrossRestart.blown);
        std::fflush(stdout);
        failures += single.blown + overRunning.blown + acrossRestart.blown;
        if (single.longest > 200.0f || overRunning.longest > 200.0f) {
            std::fprintf(stderr, "a push longer than the bound was armed: %g\n", single.longest);
            failures += 1;
        }
    }
    failures += contactSweep(quick);
    failures += grabSweep(TREMBLO_SCENE_DIR, quick);
    std::printf("\n%d blown up\n", failures);
    return failures == 0 ? 0 : 1;
}

// push_sweep: does any push a person can make blow a scene up? Every scene, under every
// combination of gravity, volume, plasticity and tearing, gets mouse drags through the real
// mouse callback in eight directions of each push plane, at several lengths up to the bound,
// armed in the air (at the start) and after landing; then pushes armed while another runs and
// pushes armed across a restart. A run blows up when a moving point's position or velocity is
// no longer finite. Prints one table row per scene (markdown) and exits with 1 if any run
// blew up.
//
//   push_sweep [--quick]     (--quick: lengths 100 and 200 only, landed pushes only)
//   push_sweep --grabs [--quick]   the grabs only (grab_sweep.h)
//
// Then the grabs: a second table, one row per scene (grab_sweep.h).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "grab_sweep.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "model/mass_point.h"
#include "run/script_runner.h"
#include "sim/scene_counts.h"
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

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, grabsOnly = false;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        grabsOnly = grabsOnly || std::strcmp(argv[i], "--grabs") == 0;
    }
    if (grabsOnly) {
        const int blown = grabSweep(TREMBLO_SCENE_DIR, quick);
        std::printf("\n%d blown up\n", blown);
        return blown == 0 ? 0 : 1;
    }
    const std::vector<double> lengths = quick ? std::vector<double>{100, 200} : std::vector<double>{50, 100, 150, 200, 1e6};
    const std::vector<int> starts = quick ? std::vector<int>{kLandingSteps} : std::vector<int>{0, kLandingSteps};
    std::vector<Flags> flagSets;
    for (int bits = 0; bits < 16; ++bits) flagSets.push_back({(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0});

    std::printf("| scene | single pushes | blown up | pushes over a running push | blown up | pushes across a restart | blown up |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (std::size_t sceneIndex = 0; sceneIndex < sizeof kScenes; ++sceneIndex) {
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
    failures += grabSweep(TREMBLO_SCENE_DIR, quick);
    std::printf("\n%d blown up\n", failures);
    return failures == 0 ? 0 : 1;
}

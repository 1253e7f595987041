#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scene_watch.h"

// What a soak did, for its assertions and its closing figures.
struct SoakTally {
    std::uint64_t steps = 0;
    std::uint64_t restarts = 0;
    std::uint64_t restartsDuringPush = 0;
    std::uint64_t keys = 0;
    std::uint64_t mouseEvents = 0;
    std::uint64_t nonFiniteSteps = 0;  // steps after which some moving point held an infinity or a NaN
    std::uint64_t blowUps = 0;         // times a finite scene went non-finite
    std::uint32_t flagCombinations = 0;  // bit i set: a step ran with flag combination i
    double finiteStepSeconds = 0.0;      // wall time spent in steps of finite scenes
    double nonFiniteStepSeconds = 0.0;   // and of non-finite ones (for the closing note only)
};

// Drives the core through its three entry points exactly as the window does (onKey, onMouse,
// onIdle with no hooks) and checks the scene after every event and every step. Each call
// returns false once something is broken; the failure, with the seed and the last events, is
// already reported to the test.
class SoakDriver {
public:
    // Start state of the program: flags at their start values, no push, the one-cube scene.
    explicit SoakDriver(std::uint64_t seed);

    bool key(unsigned char key, int x, int y);
    bool mouse(int button, int state, int x, int y);
    // Presses the flag keys that turn the current flags into `combination` (see
    // flagCombination); the volume flag by 'v' or 'i', whichever `volumeByI` says.
    bool switchFlagsTo(std::uint32_t combination, bool volumeByI);
    // Switches to the next of the 32 combinations in a fixed cycle, so that a soak that calls
    // this often enough runs steps under every one, whatever its random keys do.
    bool switchToNextFlagCombination(bool volumeByI) { return switchFlagsTo(nextCombination_++ % 32, volumeByI); }
    // n idle steps; with requireFinite every moving point must stay finite after each.
    bool steps(std::uint64_t n, bool requireFinite);

    // The grab as a person's pointer gives it, carried out as a run's take, move and let go
    // are: a point taken by number (one the scene lacks is refused), its target moved, let go.
    bool take(int number);
    bool moveTarget(const Vec3& to);
    bool letGo();
    // False, reported, when the grab holds anything but nothing or the moving point of its number.
    bool grabWellFormed();
    // The prepared scene of `key` ('1'..'7', 's') built by a `scene` command and the cube
    // commands that write it out, instead of by its key.
    bool sceneCommand(unsigned char key);

    const SoakTally& tally() const { return tally_; }
    bool blownUp() const { return blownUp_; }

private:
    struct Event {
        char kind = 0;  // 'k' key, 'm' mouse, 's' steps; 't' take, 'o' move (thousandths), 'l' let go, 'c' scene command
        long long a = 0, b = 0, c = 0, d = 0;
    };

    bool fail(const std::string& what);
    void remember(const Event& e);

    SceneWatch watch_;
    SoakTally tally_;
    std::uint64_t seed_;
    std::uint64_t events_ = 0;
    std::array<Event, 24> recent_{};
    bool blownUp_ = false;
    std::uint32_t nextCombination_ = 0;
};

// Bit index of the current combination of the five option flags.
std::uint32_t flagCombination();

// Random input with contact between cubes on: restarts into scenes whose cubes lie and fall on
// each other (bench/contact_scenes.h) and into the prepared scenes, the contact settings at the
// ends of their ranges and anywhere between, own weight on and off, now and then another
// setting at an end of its range, any key, drags inside the window, flicks and restarts while a
// push runs. No step may make a NaN, an infinity or a division by zero: the floating-point
// flags are read after every step, and on failure the run so far is printed as a script.

#include <fenv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <iostream>
#include <string>

#include "bench/contact_scenes.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "soak_input.h"

namespace {

constexpr std::uint64_t kStepsPerSeed = 60000;
constexpr ContactScene kSmallScenes[] = {ContactScene::Tower, ContactScene::Pile, ContactScene::CornerDrop,
                                         ContactScene::Crate, ContactScene::TornRow};

class ContactSoak : public ::testing::TestWithParam<std::uint64_t> {
protected:
    void TearDown() override { feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }

    void note(const std::string& line) {
        recent_.push_back(line);
        if (recent_.size() > 40) recent_.pop_front();
    }
    void key(unsigned char key) {
        onKey(key, 0, 0);
        note("key " + std::string(1, static_cast<char>(key)));
    }
    void set(int index, float value) {
        changeSetting(index, value);
        note("set " + std::string(kSettings[index].name) + " " + std::to_string(value));
    }
    // False, with the recent input, once a step raises a floating-point exception or leaves a
    // point not finite.
    bool steps(int n) {
        note("step " + std::to_string(n));
        for (int i = 0; i < n; ++i, ++steps_) {
            feclearexcept(FE_ALL_EXCEPT);
            onIdle();
            if (fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0 || !movingPointsFinite()) {
                std::string log;
                for (const std::string& line : recent_) log += "\n    " + line;
                ADD_FAILURE() << "seed " << GetParam() << ": step " << i + 1 << " of the last run not finite (flags "
                              << fetestexcept(FE_ALL_EXCEPT) << "); the input before it:" << log;
                return false;
            }
        }
        return true;
    }
    // Contact on, the contact settings each at an end or between, and a new scene.
    bool restart(SoakRandom& random) {
        for (int index = 0; index < kSettingCount; ++index) {
            const SettingInfo& s = kSettings[index];
            const bool ofContact = s.isSwitch || s.value == &SettingValues::contactStiffness ||
                                   s.value == &SettingValues::contactDamping || s.value == &SettingValues::friction;
            const unsigned pick = random.below(3);  // the low end, the high end, or between
            const float between = s.low + (s.high - s.low) * static_cast<float>(random.below(1001)) / 1000.0f;
            if (ofContact || random.percent(8)) {  // another setting at an end now and then
                const bool high = s.value == &SettingValues::contact || pick == 1 || (pick == 2 && (!ofContact || s.isSwitch));
                set(index, high ? s.high : pick == 0 ? s.low : between);
            } else if (settings.*s.value != s.design()) {
                set(index, s.design());
            }
        }
        ++restarts_;
        if (random.percent(25)) return key(static_cast<unsigned char>(kCommandKeys[random.below(10)])), true;
        const bool slab = random.percent(3);  // the slab with blocks now and then, stepped until landed
        const ContactScene scene = slab ? ContactScene::SlabWithBlocks : kSmallScenes[random.below(5)];
        buildContactScene(scene);
        note(std::string("# scene: ") + contactSceneName(scene));
        return !slab || steps(2500);
    }
    bool drag(SoakRandom& random, int button, int held) {
        for (int state : {0, 1}) {
            const int x = insideCoordinate(random, kWindowWidth), y = insideCoordinate(random, kWindowHeight);
            onMouse(button, state, x, y);
            note((state == 0 ? "press " : "release ") + std::string(button == 0 ? "left " : "right ") +
                 std::to_string(x) + " " + std::to_string(y));
            if (state == 0 && held > 0 && !steps(held)) return false;
        }
        return true;
    }
    bool act(SoakRandom& random) {
        const unsigned r = random.below(100);
        if (r < 4) return restart(random);
        if (r < 20) return key(anyKey(random)), true;
        if (r < 30) return drag(random, 2, random.between(0, 100));
        if (r < 37) return drag(random, 0, random.between(200, 400));  // at least 0.1 s
        if (r < 40) return drag(random, 0, random.between(0, 79));     // a flick
        return steps(stepRun(random));
    }

    std::deque<std::string> recent_;
    std::uint64_t steps_ = 0;
    std::uint64_t restarts_ = 0;
};

TEST_P(ContactSoak, NoInputMakesAContactSceneNotFinite) {
    fedisableexcept(FE_ALL_EXCEPT);  // read, not trapped, so that the input can be printed
    SoakRandom random(GetParam());
    resetWorldState();
    bool fine = restart(random);
    while (fine && steps_ < kStepsPerSeed) fine = act(random);
    ASSERT_TRUE(fine);
    std::cout << "seed " << GetParam() << ": " << steps_ << " steps, " << restarts_ << " restarts, all finite\n";
    EXPECT_GT(restarts_, 20u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ContactSoak, ::testing::Values(201u, 202u, 203u));

}  // namespace

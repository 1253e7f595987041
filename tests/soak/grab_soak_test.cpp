// A person who grabs: points taken by number (some the scene lacks), their targets pulled far
// off and held for seconds, thrown about frame after frame and step after step, held across
// restarts and scene commands, taken from torn-off pieces and while pushes run, among any keys,
// drags and the contact and own-weight switches. No moving point may ever hold an infinity or
// a NaN. And while a played run runs, a person's grab waits as the rest of their input does.

#include <fenv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/mass_point.h"
#include "run/apply_command.h"
#include "run/run_recorder.h"
#include "run/run_session.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "sim/grab.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "soak_driver.h"
#include "soak_input.h"
#include "tests/test_support.h"

namespace {

constexpr std::uint64_t kStepsPerSeed = 150000;
constexpr std::uint64_t kRestartsPerSeed = 60;

// Points are checked after every step instead, which says where and after what.
class TrapsOff {
public:
    TrapsOff() : saved_(fegetexcept()) { fedisableexcept(FE_ALL_EXCEPT); }
    ~TrapsOff() {
        feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(saved_);
    }

private:
    int saved_;
};

float uniform(SoakRandom& random, float low, float high) {
    return low + (high - low) * static_cast<float>(random.below(1u << 24)) / static_cast<float>(1u << 24);
}

// How far from the held point the pointer puts the target: within a unit of it (a slow drag),
// anywhere in the room, or as far as a run's `move` may, within +-kMaxPosition.
enum class Reach { Near, Room, Run };

Vec3 anyTarget(SoakRandom& random, Reach reach) {
    const unsigned r = random.below(100);
    if (grab.point != nullptr && (reach == Reach::Near || r < 30)) {
        const Vec3 at = grab.point->position;
        return {at.x + uniform(random, -1, 1), at.y + uniform(random, -1, 1), at.z + uniform(random, -1, 1)};
    }
    if (reach != Reach::Run || r < 65) {
        return {uniform(random, roomMinX, roomMaxX), uniform(random, roomMinY, roomMaxY), uniform(random, floorZ, roomMaxZ)};
    }
    // Anywhere in the box, now and then on one of its faces.
    Vec3 to{uniform(random, -kMaxPosition, kMaxPosition), uniform(random, -kMaxPosition, kMaxPosition),
            uniform(random, -kMaxPosition, kMaxPosition)};
    const float face = random.percent(50) ? kMaxPosition : -kMaxPosition;
    switch (random.below(4)) {
        case 0: to.x = face; break;
        case 1: to.y = face; break;
        case 2: to.z = face; break;
        default: break;
    }
    return to;
}

struct GrabTally {
    std::uint64_t heldSteps = 0;
    std::uint64_t takes = 0;
    std::uint64_t refused = 0;
    std::uint64_t tornTakes = 0;         // of a point of a scene some spring of which has torn
    std::uint64_t restartsWhileHeld = 0;
    std::uint64_t pushedTakes = 0;       // while a push runs
};

class GrabPerson {
public:
    GrabPerson(std::uint64_t seed, Reach reach) : random_(seed), driver_(seed), reach_(reach) {}

    bool act() {
        const std::uint64_t restarts = driver_.tally().restarts;
        const bool held = grab.point != nullptr;
        if (!choose() || !driver_.grabWellFormed()) {
            ADD_FAILURE() << "flags g" << gravityOn << " v" << volumeOn << " u" << plasticOn << " z" << breakableOn
                          << " x" << pushPlaneYZ << ", contact " << settings.contact << ", own-weight "
                          << settings.ownWeight << ", " << countMovingPoints() << " moving points, "
                          << countActiveSprings() << " springs (" << springsAtStart_ << " at the restart), holding "
                          << grab.number << ", push steps left " << pushStepsLeft;
            return false;
        }
        if (driver_.tally().restarts != restarts) {
            if (held) ++tally_.restartsWhileHeld;
            springsAtStart_ = countActiveSprings();
        }
        return true;
    }

    const SoakDriver& driver() const { return driver_; }
    const GrabTally& tally() const { return tally_; }

private:
    bool steps(std::uint64_t n) {
        if (grab.point != nullptr) tally_.heldSteps += n;
        return driver_.steps(n, true);
    }

    bool take() {
        const int moving = countMovingPoints();
        const int number = random_.between(-2, moving + 1);
        ++tally_.takes;
        if (number < 0 || number >= moving) ++tally_.refused;
        if (breakableOn && countActiveSprings() < springsAtStart_) ++tally_.tornTakes;
        if (pushStepsLeft > 0) ++tally_.pushedTakes;
        return driver_.take(number);
    }

    // A drag released within a frame: the longest push there is.
    bool flickPush() {
        const int x = insideCoordinate(random_, kWindowWidth), y = insideCoordinate(random_, kWindowHeight);
        const int button = random_.percent(50) ? 0 : 2;
        if (!driver_.mouse(button, 0, x, y)) return false;
        // Drawn one after the other: a function's arguments come in no set order.
        const int toX = anyCoordinate(random_, kWindowWidth);
        const int toY = anyCoordinate(random_, kWindowHeight);
        return driver_.mouse(button, 1, toX, toY);
    }

    bool choose() {
        const unsigned r = random_.below(100);
        if (r < 12) return driver_.key(anyKey(random_), 0, 0);
        if (r < 15) return driver_.key('z', 0, 0) && (!breakableOn || flickPush());  // tearing on, then torn
        if (r < 20) return flickPush() && (random_.percent(50) || take());
        if (r < 22) return driver_.sceneCommand(static_cast<unsigned char>("1234567s"[random_.below(8)]));
        if (r < 25) {
            const char* name = random_.percent(70) ? "contact" : "own-weight";
            changeSetting(findSetting(name), random_.percent(50) ? 1.0f : 0.0f);
            return true;
        }
        if (r < 40) return take();
        if (r < 55) {
            // A long pull: held for up to two seconds.
            return driver_.moveTarget(anyTarget(random_, reach_)) &&
                   steps(static_cast<std::uint64_t>(random_.percent(30) ? random_.between(1000, 4000) : stepRun(random_)));
        }
        if (r < 65) {
            // Flicks: the target thrown about every frame, or every step.
            const std::uint64_t every = random_.percent(50) ? 80 : static_cast<std::uint64_t>(random_.between(1, 5));
            for (int n = random_.between(2, 40); n > 0; --n) {
                if (!driver_.moveTarget(anyTarget(random_, reach_)) || !steps(every)) return false;
            }
            return true;
        }
        if (r < 68) return driver_.letGo();
        return steps(static_cast<std::uint64_t>(stepRun(random_)));
    }

    SoakRandom random_;
    SoakDriver driver_;
    Reach reach_;
    GrabTally tally_;
    int springsAtStart_ = countActiveSprings();
};

struct GrabSoakCase {
    std::uint64_t seed;
    Reach reach;
};

void PrintTo(const GrabSoakCase& c, std::ostream* out) { *out << "seed " << c.seed << ", reach " << static_cast<int>(c.reach); }

class GrabSoak : public ::testing::TestWithParam<GrabSoakCase> {};

std::string seedName(const ::testing::TestParamInfo<GrabSoakCase>& info) {
    return "seed" + std::to_string(info.param.seed);
}

TEST_P(GrabSoak, NoGrabBlowsASceneUp) {
    TrapsOff traps;
    const GrabSoakCase c = GetParam();
    GrabPerson person(c.seed, c.reach);
    while (person.driver().tally().steps < kStepsPerSeed || person.driver().tally().restarts < kRestartsPerSeed) {
        ASSERT_TRUE(person.act());
    }
    letGo();

    const SoakTally& t = person.driver().tally();
    const GrabTally& g = person.tally();
    const char* const reach[] = {"targets near the point", "targets in the room", "far targets"};
    std::cout << "seed " << c.seed << ", " << reach[static_cast<int>(c.reach)] << ": " << t.steps << " steps ("
              << g.heldSteps << " holding), " << t.restarts << " restarts (" << g.restartsWhileHeld << " holding), "
              << g.takes << " takes (" << g.refused << " refused, " << g.tornTakes << " torn, " << g.pushedTakes
              << " during a push), all finite\n";
    // What the person must have done for the soak to say anything.
    EXPECT_GT(g.heldSteps, kStepsPerSeed / 4);
    EXPECT_GT(g.restartsWhileHeld, 0u);
    EXPECT_GT(g.refused, 0u);
    EXPECT_GT(g.tornTakes, 0u);
    EXPECT_GT(g.pushedTakes, 0u);
}

INSTANTIATE_TEST_SUITE_P(NearTargets, GrabSoak,
                         ::testing::Values(GrabSoakCase{201, Reach::Near}, GrabSoakCase{202, Reach::Near}), seedName);
INSTANTIATE_TEST_SUITE_P(RoomTargets, GrabSoak,
                         ::testing::Values(GrabSoakCase{203, Reach::Room}, GrabSoakCase{207, Reach::Room}), seedName);
INSTANTIATE_TEST_SUITE_P(FarTargets, GrabSoak,
                         ::testing::Values(GrabSoakCase{205, Reach::Run}, GrabSoakCase{208, Reach::Run}), seedName);

// Every example scene (the prepared ones are the soak's), at its own settings with contact off
// and on: its first, middle and last point and one a third along, each pulled for a second
// toward a target far beyond every side of the room, then let go to tumble. A block whose
// volume elements outweigh its springs spins itself up after such pulls until it blows up; no
// example may hold one.
TEST(ExampleScenesUnderLongPulls, StayFinite) {
    TrapsOff traps;
    const std::filesystem::path dir = std::filesystem::path(TREMBLO_SOURCE_DIR) / "examples/scenes";
    int scenes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".sim" || name.rfind("key-", 0) == 0) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        ASSERT_TRUE(parseScript(text.str(), commands, error)) << name << ":" << error.line << ": " << error.message;
        resetWorldState();
        startWorld();
        runScript(commands);
        const int moving = countMovingPoints();
        if (moving > 1000) continue;  // the slab: too slow to pull about here
        ++scenes;
        for (const char* contact : {"off", "on"}) {
            std::string pulls = std::string("set contact ") + contact + "\n";
            for (const int point : {0, moving / 3, moving / 2, moving - 1}) {
                for (const char* to : {"1000 4 2", "-1000 4 2", "-1 1000 2", "-1 -1000 2", "-1 4 1000", "-1 4 -1000"}) {
                    pulls += "take " + std::to_string(point) + "\nmove " + to + "\nstep 2000\nlet go\nstep 400\n";
                }
            }
            ASSERT_TRUE(parseScript(text.str() + pulls, commands, error)) << name << ":" << error.line << ": " << error.message;
            resetWorldState();
            startWorld();
            const RunSummary summary = runScript(commands);
            EXPECT_EQ(summary.firstNonFiniteStep, 0u) << name << ", contact " << contact;
            EXPECT_TRUE(movingPointsFinite()) << name << ", contact " << contact;
        }
    }
    EXPECT_GE(scenes, 10);
}

// A person's grab, key and button while a run plays: the session refuses the grab as a command
// and ignores the rest, so the played run ends on the runner's bits and the recording holds the
// run alone; once the run is over the same grab is carried out and recorded.
TEST(GrabDuringReplay, WaitsAsTheOtherInputDoes) {
    const char* const runs[] = {
        // The run holds a point itself, across its own restart: a person's let go must not free it.
        "key 3\nstep 300\ntake 5\nmove -1 6 4\nstep 500\nkey 2\ntake 9\nmove 0 3 5\nstep 400\n",
        // The run holds nothing: a person's take must not take.
        "key q\nstep 400\nscene\ncube 0 0 3\nstep 600\n",
    };
    std::vector<ScriptCommand> person;
    ScriptError error{0, ""};
    ASSERT_TRUE(parseScript("take 3\nmove 1 -2 9\nlet go\n", person, error)) << error.message;

    for (const char* run : runs) {
        for (const ScriptCommand& grabbed : person) {
            SCOPED_TRACE(std::string(run) + "person: " + writeCommand(grabbed));
            std::vector<ScriptCommand> commands;
            ASSERT_TRUE(parseScript(run, commands, error)) << error.message;
            resetWorldState();
            startWorld();
            runScript(commands);
            const std::uint64_t runnerHash = hashMovingPoints();

            resetWorldState();
            startWorld();
            RunRecorder recorder;
            RunSession session(&recorder);
            session.play(run, commands);
            int refused = 0, calls = 0;
            while (session.playing()) {
                const Grab before = grab;
                ++calls;
                refused += session.command(grabbed) ? 0 : 1;
                session.key('1', 0, 0);
                session.mouse(kScriptLeftButton, 1, 0, 0);
                EXPECT_EQ(grab.point, before.point);
                EXPECT_EQ(grab.number, before.number);
                ASSERT_EQ(0, std::memcmp(&grab.target, &before.target, sizeof(Vec3)));
                session.idle([] {
                    onIdle();
                    return true;
                });
            }
            EXPECT_EQ(refused, calls);
            EXPECT_EQ(hashMovingPoints(), runnerHash) << "the person's input was carried out during the run";
            EXPECT_EQ(recorder.text(), run);

            // The run is over: the grab is the person's again, carried out and recorded.
            EXPECT_TRUE(session.command(grabbed));
            if (grabbed.kind == CommandKind::Take) {
                EXPECT_EQ(grab.number, 3);
            } else if (grabbed.kind == CommandKind::Move && grab.point != nullptr) {
                EXPECT_VEC3_EQ(grab.target, 1.0f, -2.0f, 9.0f);
            } else if (grabbed.kind == CommandKind::LetGo) {
                EXPECT_EQ(grab.point, nullptr);
            }
            EXPECT_EQ(recorder.text(), run + writeCommand(grabbed));
        }
    }
}

}  // namespace

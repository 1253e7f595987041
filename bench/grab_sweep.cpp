#include "grab_sweep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/world.h"

namespace {

// A scene as a script from the start state: a key, or an example file as it is.
struct Scene {
    std::string name;
    std::string build;
};

// What a scene's script leaves: the flags (its file may press keys), the moving points the
// grab may take, and whether it stayed finite by itself.
struct Built {
    bool gravity, volume, plastic, tearing;
    int moving;
    bool finite;
    std::uint64_t steps;
};

// The flags (bit 0 gravity, 1 volume, 2 plasticity, 3 tearing), contact, and settings lines.
struct Condition {
    std::string name;
    unsigned flags;
    bool contact;
    std::string sets;
};

enum Kind { LongPulls, Flicks, AcrossRestarts, TornPieces, DuringPushes, kKinds };
const char* const kKindNames[kKinds] = {"long pulls", "flicks", "across restarts", "torn pieces", "during pushes"};

// Targets far beyond each side of the room (x has no wall; the script allows +-1000), room
// corners across from each other, and the farthest corners the script allows.
const char* const kFar[] = {"1000 4 2", "-1000 4 2", "-1 1000 2", "-1 -1000 2", "-1 4 1000", "-1 4 -1000"};
constexpr int kFarCount = sizeof kFar / sizeof kFar[0];
const char* const kRoomA = "2 -2 0";
const char* const kRoomB = "-4 10 20";
const char* const kFarA = "1000 1000 1000";
const char* const kFarB = "-1000 -1000 -1000";

bool parse(const std::string& text, std::vector<ScriptCommand>& commands) {
    ScriptError error{0, ""};
    commands.clear();
    if (parseScript(text, commands, error)) return true;
    std::fprintf(stderr, "grab sweep: a script of its own does not read, line %d: %s\n%s\n", error.line,
                 error.message.c_str(), text.c_str());
    return false;
}

// Runs `text` from the start state, as tremblo-sim does.
bool play(const std::string& text, RunSummary& summary) {
    std::vector<ScriptCommand> commands;
    if (!parse(text, commands)) return false;
    resetWorldState();
    startWorld();
    summary = runScript(commands);
    return true;
}

Built probe(const Scene& scene) {
    RunSummary summary;
    const bool read = play(scene.build, summary);
    return {gravityOn, volumeOn, plasticOn, breakableOn, countMovingPoints(),
            read && summary.firstNonFiniteStep == 0 && movingPointsFinite(), summary.steps};
}

std::string conditionText(const Built& built, const Condition& c) {
    std::string text;
    if (built.gravity != ((c.flags & 1u) != 0)) text += "key g\n";
    if (built.volume != ((c.flags & 2u) != 0)) text += "key v\n";
    if (built.plastic != ((c.flags & 4u) != 0)) text += "key u\n";
    if (built.tearing != ((c.flags & 8u) != 0)) text += "key z\n";
    text += c.contact ? "set contact on\n" : "set contact off\n";
    return text + c.sets;
}

// Up to four points spread over the chain: the first, the last, the middle and a third.
std::vector<int> picks(int n) {
    std::vector<int> p{0, n - 1, n / 2, n / 3};
    std::sort(p.begin(), p.end());
    p.erase(std::unique(p.begin(), p.end()), p.end());
    return p;
}

std::string step(int n) { return "step " + std::to_string(n) + "\n"; }
std::string take(int point) { return "take " + std::to_string(point) + "\n"; }
std::string move(const char* to) { return std::string("move ") + to + "\n"; }

// Each picked point pulled toward each far target in turn, held for `hold` steps.
std::string longPulls(int n, int hold) {
    std::string s;
    for (int p : picks(n)) {
        for (const char* to : kFar) s += take(p) + move(to) + step(hold) + "let go\n" + step(400);
    }
    return s;
}

// The target thrown across the room every frame (80 steps), then every step, then between the
// farthest corners every frame.
std::string flicks(int n, int frames) {
    std::string s;
    for (int p : picks(n)) {
        s += take(p);
        for (int i = 0; i < frames; ++i) s += move(kRoomA) + step(80) + move(kRoomB) + step(80);
        for (int i = 0; i < 200; ++i) s += move(kRoomA) + step(1) + move(kRoomB) + step(1);
        for (int i = 0; i < frames / 2; ++i) s += move(kFarA) + step(80) + move(kFarB) + step(80);
        s += "let go\n" + step(400);
    }
    return s;
}

// A point held far away when a key restarts, the target moved on with nothing held, a point of
// the new scene taken; a `scene` command while held; a pin while held; a key while flicking.
std::string acrossRestarts(int n, int hold, char key, char lastKey) {
    std::string s = take(n - 1) + move(kFar[0]) + step(hold) + "key " + key + "\n" + move(kFar[1]) + step(hold);
    // Every prepared scene has at least 12 moving points.
    s += take(3) + move(kFar[4]) + step(hold) + "scene\ncube 0 0 2\n" + move(kFar[2]) + step(hold);
    s += take(7) + move(kFarA) + step(hold / 2) + "pin cube 1 bottom\n" + move(kFarB) + step(hold / 2);
    s += take(3) + move(kRoomA) + step(80) + move(kRoomB) + step(80) + "key " + lastKey + "\n" + move(kFarA) +
         step(hold);
    return s;
}

// Tearing on, points torn off by pulls in three directions, then every point (at most 32,
// spread over the chain) taken in turn and pulled far away.
std::string tornPieces(int n, int hold, bool tearing) {
    std::string s = tearing ? "" : "key z\n";
    s += take(0) + move(kFar[0]) + step(hold) + take(n - 1) + move(kFar[1]) + step(hold) + take(n / 2) +
         move(kFar[4]) + step(hold);
    const int stride = std::max(1, n / 32);
    for (int p = 0, i = 0; p < n; p += stride, ++i) s += take(p) + move(kFar[i % kFarCount]) + step(300);
    return s + "let go\n" + step(400);
}

// Grabs while pushes run: a flicked left drag (the longest push) and a right drag far out of
// the window, then pushes armed over and over while the target flicks, a push plane switched,
// and a left drag held across a take.
std::string duringPushes(int n, int hold) {
    const std::vector<int> p = picks(n);
    std::string s = "press left 400 300\nrelease left 1000000 -1000000\n" + take(p[0]) + move(kFar[5]) + step(100) +
                    "press right 400 300\nrelease right -1000000 1000000\n" + step(50) + move(kFar[3]) + step(hold);
    for (int i = 0; i < 10; ++i) {
        s += take(p[static_cast<std::size_t>(i) % p.size()]);
        s += i % 2 == 0 ? "press left 400 300\nrelease left -1000000 1000000\n" + move(kFarA)
                        : "press left 400 300\nrelease left 1000000 1000000\n" + move(kFarB);
        if (i == 5) s += "key x\n";
        s += step(60);
    }
    s += "press left 400 300\n" + step(30) + take(p.back()) + move(kFar[2]) + step(30) +
         "release left 1000000 0\n" + step(hold);
    return s + "let go\n" + step(400);
}

// Pulls held for `hold` steps, flicks over `frames` frames.
std::string grabText(Kind kind, const Built& built, bool tearing, int hold, int frames, char key, char lastKey) {
    switch (kind) {
        case LongPulls: return longPulls(built.moving, hold);
        case Flicks: return flicks(built.moving, frames);
        case AcrossRestarts: return acrossRestarts(built.moving, hold / 4, key, lastKey);
        case TornPieces: return tornPieces(built.moving, hold, tearing);
        case DuringPushes: return duringPushes(built.moving, hold);
        default: return {};
    }
}

std::vector<Condition> conditions() {
    std::vector<Condition> all;
    for (bool contact : {false, true}) {
        for (unsigned flags = 0; flags < 16; ++flags) {
            all.push_back({"flags g" + std::to_string(flags & 1u) + " v" + std::to_string(flags >> 1 & 1u) + " u" +
                               std::to_string(flags >> 2 & 1u) + " z" + std::to_string(flags >> 3 & 1u),
                           flags, contact, ""});
        }
        // Every setting at each end of its range alone (the switches on), then all at their low
        // ends and all at their high ends, under the start flags.
        std::string low, high;
        for (const SettingInfo& s : kSettings) {
            if (s.value == &SettingValues::contact) continue;
            const std::string atLow = std::string("set ") + s.name + " " + (s.isSwitch ? "off" : floatText(s.low)) + "\n";
            const std::string atHigh = std::string("set ") + s.name + " " + (s.isSwitch ? "on" : floatText(s.high)) + "\n";
            if (!s.isSwitch) all.push_back({atLow, 3u, contact, atLow});
            all.push_back({atHigh, 3u, contact, atHigh});
            low += atLow;
            high += atHigh;
        }
        all.push_back({"every setting low", 3u, contact, low});
        all.push_back({"every setting high", 3u, contact, high});
    }
    for (Condition& c : all) {
        if (!c.name.empty() && c.name.back() == '\n') c.name.pop_back();
        c.name += c.contact ? ", contact on" : ", contact off";
    }
    return all;
}

std::vector<Scene> scenes(const std::string& sceneDir) {
    std::vector<Scene> all;
    for (const char key : {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'}) {
        all.push_back({std::string("'") + key + "'", std::string("key ") + key + "\n"});
    }
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sceneDir, error)) {
        const std::string name = entry.path().filename().string();
        // key-*.sim write out the prepared scenes, which are here by their keys.
        if (entry.path().extension() == ".sim" && name.rfind("key-", 0) != 0) files.push_back(entry.path());
    }
    if (error) std::fprintf(stderr, "grab sweep: no example scenes in %s: %s\n", sceneDir.c_str(), error.message().c_str());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        all.push_back({path.filename().string(), text.str()});
    }
    return all;
}

}  // namespace

namespace {

int stepsIn(const std::string& text) {
    int n = 0;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        if (word == "step") {
            int k = 0;
            in >> k;
            n += k;
        }
    }
    return n;
}

// A prepared scene gets a run of its own for each kind under every condition. An example file
// gets one run per condition with the kinds one after the other (its scene takes long to build),
// under fewer conditions: the start flags, plasticity and tearing with contact off and on, and
// each setting at either end with contact on; a scene of more than 1000 points only the start
// flags with contact off and on.
std::vector<Condition> fileConditions(const std::vector<Condition>& all, bool big) {
    std::vector<Condition> some;
    for (const Condition& c : all) {
        const bool flagsOnly = c.sets.empty();
        if (big ? flagsOnly && c.flags == 3u : flagsOnly ? c.flags == 3u || c.flags == 7u || c.flags == 11u : c.contact) {
            some.push_back(c);
        }
    }
    return some;
}

}  // namespace

int grabSweep(const std::string& sceneDir, bool quick, const std::string& only) {
    using Clock = std::chrono::steady_clock;
    const std::vector<Condition> allConditions = conditions();
    const char keys[] = {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'};
    constexpr Kind kOrder[kKinds] = {LongPulls, Flicks, TornPieces, DuringPushes, AcrossRestarts};

    std::printf("\n| scene | runs | grab steps | blown up in long pulls | flicks | torn pieces | during pushes | across "
                "restarts | of those, blown up without the grab too | s |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    int failures = 0;
    std::size_t sceneIndex = 0;
    for (const Scene& scene : scenes(sceneDir)) {
        const auto start = Clock::now();
        const bool prepared = sceneIndex < sizeof keys;
        ++sceneIndex;
        if ((quick && !prepared) || (!only.empty() && scene.name != only)) continue;
        const Built built = probe(scene);
        if (!built.finite) {
            std::fprintf(stderr, "grab sweep: scene %s blows up by itself\n", scene.name.c_str());
            ++failures;
            continue;
        }
        const bool big = built.moving > 1000;
        const std::vector<Condition> sceneConditions = prepared ? allConditions : fileConditions(allConditions, big);
        // Holds of 1.5 s and 20 frames of flicks; 1 s and 10 frames in a file's longer runs; quick: 0.5 s, 5.
        const int hold = quick ? 1000 : prepared ? 3000 : 2000;
        const int frames = quick ? 5 : prepared ? 20 : 10;
        std::vector<std::vector<Kind>> batches;
        if (prepared) {
            for (Kind kind : kOrder) batches.push_back({kind});
        } else {
            batches.emplace_back(kOrder, kOrder + kKinds);
        }

        int runs = 0, blown[kKinds] = {}, alsoAlone = 0, shown = 0;
        std::uint64_t grabSteps = 0;
        for (std::size_t ci = 0; ci < sceneConditions.size(); ++ci) {
            const Condition& c = sceneConditions[ci];
            const std::string prefix = scene.build + conditionText(built, c);
            for (const std::vector<Kind>& batch : batches) {
                // The kinds' texts and where each one's steps end, counted from the run's start.
                std::string grabs;
                std::vector<std::uint64_t> ends;
                std::uint64_t at = built.steps;
                bool tearing = (c.flags & 8u) != 0;
                for (Kind kind : batch) {
                    const std::string text = grabText(kind, built, tearing, hold, frames, keys[ci % sizeof keys],
                                                      keys[(ci + 3) % sizeof keys]);
                    tearing = tearing || kind == TornPieces;
                    grabs += text;
                    at += static_cast<std::uint64_t>(stepsIn(text));
                    ends.push_back(at);
                }
                RunSummary summary;
                if (!play(prefix + grabs, summary)) {
                    ++failures;
                    continue;
                }
                ++runs;
                grabSteps += summary.steps - built.steps;
                if (summary.firstNonFiniteStep == 0 && movingPointsFinite()) continue;
                std::size_t k = 0;
                while (k + 1 < batch.size() && summary.firstNonFiniteStep > ends[k]) ++k;
                ++blown[batch[k]];
                // The same steps with no grab: does the scene blow up under the condition alone?
                RunSummary alone;
                const bool aloneFinite = play(prefix + step(static_cast<int>(summary.steps - built.steps)), alone) &&
                                         alone.firstNonFiniteStep == 0 && movingPointsFinite();
                if (!aloneFinite) ++alsoAlone;
                std::fprintf(stderr, "blown up: scene %s, %s, in %s, at step %llu of %llu (the scene's own %llu; %s)%s\n",
                             scene.name.c_str(), c.name.c_str(), kKindNames[batch[k]],
                             static_cast<unsigned long long>(summary.firstNonFiniteStep),
                             static_cast<unsigned long long>(summary.steps),
                             static_cast<unsigned long long>(built.steps),
                             aloneFinite ? "finite without the grab" : "blown up without the grab too",
                             shown < 3 ? "; the scene's script, then:" : "");
                if (shown++ < 3) std::fprintf(stderr, "%s%s\n", conditionText(built, c).c_str(), grabs.c_str());
            }
        }
        int blownHere = 0;
        for (int b : blown) blownHere += b;
        failures += blownHere;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("| %s | %d | %llu | %d | %d | %d | %d | %d | %d | %.0f |\n", scene.name.c_str(), runs,
                    static_cast<unsigned long long>(grabSteps), blown[LongPulls], blown[Flicks], blown[TornPieces],
                    blown[DuringPushes], blown[AcrossRestarts], alsoAlone, seconds);
        std::fflush(stdout);
    }
    return failures;
}

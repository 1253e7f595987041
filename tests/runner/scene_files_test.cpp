// The prepared scenes written out as commands (examples/scenes/key-*.sim) step exactly as
// their keys do, whatever follows: flags before and during the run, drags, restarts.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_file.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

struct Fnv {
    std::uint64_t h = kFnvOffsetBasis;
    void bytes(const void* p, std::size_t n) { h = fnv1a(h, p, n); }
    void vec(const Vec3& v) { bytes(&v, sizeof v); }
    void value(float v) { bytes(&v, sizeof v); }
};

// Everything a step reads or writes: the moving points in chain order, the listed springs in
// list order, the elements in chain order, the lead cube, the clock and the push.
std::uint64_t worldHash() {
    Fnv f;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        f.vec(p->position);
        f.vec(p->velocity);
        f.vec(p->force);
    }
    for (const SpringListNode* c = springList; c->next != nullptr; c = c->next) {
        f.value(c->spring->restLength);
        f.value(c->spring->stiffness);
        f.value(c->spring->tearForce);
    }
    for (const VolumeElement* e = volumeElements; e != nullptr; e = e->next) f.value(e->restVolume);
    f.vec(leadCube->corners[0]->position);
    f.value(leadCube->corners[0]->mass);
    f.value(simTime);
    f.bytes(&pushStepsLeft, sizeof pushStepsLeft);
    return f.h;
}

std::vector<std::uint64_t> stepHashes(const std::string& script) {
    std::vector<ScriptCommand> commands;
    ScriptError error{0, ""};
    EXPECT_TRUE(parseScript(script, commands, error)) << error.line << ": " << error.message;
    resetWorld();
    startWorld();
    std::vector<std::uint64_t> hashes;
    for (const ScriptCommand& c : commands) {
        applyCommand(c);
        for (std::uint64_t i = 0; c.kind == CommandKind::Step && i < c.steps; ++i) {
            onIdle();
            hashes.push_back(worldHash());
        }
    }
    return hashes;
}

std::string sceneFile(char key) {
    std::string text, error;
    const std::string path = std::string(TREMBLO_SOURCE_DIR) + "/examples/scenes/key-" + key + ".sim";
    EXPECT_TRUE(readScriptFile(path, text, error)) << error;
    return text;
}

// Drags in both planes while flags flip, then a restart and the same scene again.
constexpr const char* kAfterScene =
    "step 200\npress left 400 300\nstep 40\nrelease left 460 250\nstep 300\n"
    "press right 100 100\nstep 1\nrelease right 380 40\nstep 300\nkey z\nkey x\n"
    "press left 300 300\nstep 20\nrelease left 330 120\nstep 300\nkey u\nstep 200\nkey 3\nstep 100\n";

TEST(SceneFiles, StepExactlyAsTheirKeysUnderFlagsDragsAndRestarts) {
    for (const char key : std::string("1234567sqp")) {
        const std::string file = sceneFile(key);
        for (const std::string flags : {"", "g", "v", "u", "z", "uz", "ug", "vz"}) {
            SCOPED_TRACE(std::string("key ") + key + ", flags '" + flags + "'");
            std::string before;
            for (const char f : flags) before += std::string("key ") + f + "\n";
            const std::string again = std::string("key ") + key + "\nstep 50\n";
            const auto byKey = stepHashes(before + "key " + key + "\n" + kAfterScene + again);
            const auto byFile = stepHashes(before + file + kAfterScene + file + "step 50\n");
            ASSERT_EQ(byKey.size(), byFile.size());
            for (std::size_t i = 0; i < byKey.size(); ++i) ASSERT_EQ(byKey[i], byFile[i]) << "after step " << i + 1;
        }
    }
}

}  // namespace

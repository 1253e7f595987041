// Recording, playing and linking runs: what is recorded reads back as what happened, a played
// run reaches the runner's bits whatever the pacing, and addresses decode or say what is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interaction/keyboard.h"
#include "run/apply_command.h"
#include "run/run_link.h"
#include "run/run_recorder.h"
#include "run/run_session.h"
#include "run/script.h"
#include "run/script_file.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

void restart() {
    resetWorldState();
    startWorld();
}

std::vector<ScriptCommand> read(const std::string& text) {
    std::vector<ScriptCommand> commands;
    ScriptError error;
    EXPECT_TRUE(parseScript(text, commands, error)) << error.line << ": " << error.message << "\n" << text;
    return commands;
}

// The runner's hash and step count at the end of `text`, from the start state.
std::pair<std::uint64_t, std::uint64_t> runnerEnd(const std::string& text) {
    restart();
    const RunSummary summary = runScript(read(text));
    return {hashMovingPoints(), summary.steps};
}

bool alwaysSteps() {
    onIdle();
    return true;
}
// A frame due every third call: the call does nothing then, as a throttled idle call.
bool stepsTwoOfThree() {
    static int call = 0;
    if (++call % 3 == 0) return false;
    onIdle();
    return true;
}

TEST(RunRecorder, WritesWhatTheReaderReadsBackLeavingOutWhatItCannotSpell) {
    RunRecorder recorder;
    recorder.stepped(3);
    recorder.stepped(4);
    recorder.key('7');
    for (const unsigned char unspellable : {' ', '\t', '#', '\r', '\n', '\0', '\x1b', '\x7f'}) recorder.key(unspellable);
    recorder.button(0, 0, -5, 600);
    recorder.button(3, 0, 1, 1);  // a wheel
    recorder.button(2, 1, 1000000, -1000000);
    recorder.stepped(kMaxStepsPerCommand + 2);
    EXPECT_EQ(recorder.text(), "step 7\nkey 7\npress left -5 600\nrelease right 1000000 -1000000\nstep 1000000000\nstep 2\n");
    recorder.finish(0xabcdef, 12);
    EXPECT_EQ(recorder.text().substr(recorder.text().rfind("# end")), "# end: state hash 0000000000abcdef after 12 steps\n");
    read(recorder.text());
}

TEST(RunRecorder, KeysLeftOutDoNothingToTheWorld) {
    restart();
    const std::uint64_t before = hashMovingPoints();
    for (const unsigned char key : {' ', '\t', '#', '\r', '\n', '\0', '\x1b', '\x7f'}) onKey(key, 0, 0);
    EXPECT_EQ(hashMovingPoints(), before);
    EXPECT_TRUE(gravityOn && volumeOn && pushPlaneYZ && !breakableOn && !plasticOn);
}

// A run with comments, a CRLF line and an earlier recording's end comment, which the new
// recording leaves out.
const std::string kRun =
    "# a run\nkey 3\nstep 150\npress left 300 400\r\nstep 40\nrelease left 500 350\nkey x\nstep 123\n"
    "press right 10 10\nstep 60\nrelease right 200 10\nstep 0\nkey g\nstep 90\n# end: state hash 0 after 0 steps\n";

TEST(RunSession, PlayedAtAnyPaceReachesTheRunnersBitsAndRecordsTheRunThenThePerson) {
    const auto [runHash, runSteps] = runnerEnd(kRun);
    for (bool (*pace)() : {alwaysSteps, stepsTwoOfThree}) {
        restart();
        RunRecorder recorder;
        RunSession session(&recorder);
        session.play(kRun, read(kRun));
        EXPECT_EQ(session.runSteps(), runSteps);
        while (session.playing()) {
            session.key('5', 0, 0);  // ignored while the run plays
            session.idle(pace);
        }
        EXPECT_EQ(session.playedSteps(), runSteps);
        EXPECT_EQ(hashMovingPoints(), runHash);

        session.key('2', 0, 0);
        session.idle(pace);
        session.stepOnce();
        session.finish();
        const std::string text = recorder.text();
        EXPECT_EQ(text.substr(0, kRun.rfind("# end")), kRun.substr(0, kRun.rfind("# end")));
        EXPECT_EQ(text.find("# end"), text.rfind("# end")) << "only this recording's end: " << text;
        const auto [hash, steps] = runnerEnd(text);
        EXPECT_NE(text.find(runEndLine(hash, steps)), std::string::npos) << text;
        EXPECT_EQ(steps, runSteps + 2);
    }
}

// Cut short by the end of the session, or by another run played over it (a scene built in the
// page while the one before still plays its steps).
TEST(RunSession, ARunCutShortIsRecordedAsFarAsItWasPlayed) {
    const std::string next = "key 2\nstep 30\n";
    for (bool replaced : {false, true}) {
        for (int idleCalls : {0, 1, 151, 190, 300}) {
            restart();
            RunRecorder recorder;
            RunSession session(&recorder);
            session.play(kRun, read(kRun));
            for (int i = 0; i < idleCalls; ++i) session.idle(alwaysSteps);
            if (replaced) {
                session.play(next, read(next));
                while (session.playing()) session.idle(alwaysSteps);
            }
            session.finish();
            const auto [hash, steps] = runnerEnd(recorder.text());
            EXPECT_NE(recorder.text().find(runEndLine(hash, steps)), std::string::npos) << recorder.text();
            EXPECT_EQ(steps, static_cast<std::uint64_t>(idleCalls + (replaced ? 30 : 0))) << recorder.text();
        }
    }
}

TEST(RunLink, AnAddressCarriesARunBesideOtherFields) {
    const std::string data = encodeRunData(kRun);
    for (const std::string& address : {"http://127.0.0.1:8000/#run=" + data + "&paused", "#paused&run=" + data,
                                       "https://x.example/tremblo/?a=1#run=" + data + "=="}) {
        std::string text, error;
        ASSERT_TRUE(isRunAddress(address));
        ASSERT_TRUE(readScriptFile(address, text, error)) << error;
        EXPECT_EQ(text, kRun);
        EXPECT_EQ(scriptName(address), "<link>");
    }
    EXPECT_FALSE(isRunAddress("runs/run=1.sim"));
}

TEST(RunLink, ADamagedAddressIsNamedNotRead) {
    const std::string good = encodeRunData("step 1\n");
    const struct {
        std::string address;
        const char* fragment;
    } cases[] = {
        {"http://host/#paused", "no run"},
        {"#run=" + good.substr(0, 5), "cut short"},
        {"#run=ab$d", "not base64url, at 3"},
        {"#run=" + good.substr(0, good.size() - 4), "damaged (cut short)"},
        {"#run=bm90IGRlZmxhdGU", "damaged (not deflate data)"},
        {"#run=" + encodeRunData(std::string(100, 'x')).substr(0, 20) + "AAAA" + good, "damaged"},
        {"#run=" + encodeRunData(std::string(kMaxLinkedRunBytes + 1, '\n')), "longer than 1 MB"},
    };
    for (const auto& c : cases) {
        std::string text, error;
        EXPECT_FALSE(decodeRunAddress(c.address, text, error)) << c.address;
        EXPECT_NE(error.find(c.fragment), std::string::npos) << c.address << ": " << error;
    }
    std::string text, error;
    EXPECT_TRUE(decodeRunAddress("#run=" + encodeRunData(std::string(kMaxLinkedRunBytes, '\n')), text, error)) << error;
}

}  // namespace

// Recording, playing and linking runs: what is recorded reads back as what happened, a played
// run reaches the runner's bits whatever the pacing, and addresses decode or say what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

// The lines a recording copies of a played run: all but an earlier recording's end comment,
// each ending in a line feed.
std::string copiedLines(const std::string& run) {
    std::string copied;
    for (std::size_t at = 0; at < run.size();) {
        const std::size_t next = std::min(run.find('\n', at), run.size() - 1) + 1;
        const std::string line = run.substr(at, next - at);
        if (line.find("# end") != line.find_first_not_of(" \t")) copied += line;
        at = next;
    }
    return copied.empty() || copied.back() == '\n' ? copied : copied + "\n";
}

// Runs of every layout a person may write: steps first, comments and blank lines last or
// alone, no line feed at the end, earlier recordings' end comments; then a second run played
// in the same session, as the page's editor plays one after a link.
TEST(RunSession, PlayedAtAnyPaceReachesTheRunnersBitsAndRecordsTheRunThenThePerson) {
    const std::string runs[] = {kRun, "step 30\nkey 2\nstep 20\n",
                                "key 4\nstep 25\n# the end\n\n  \n\t# end: state hash 1 after 2 steps\n",
                                "# nothing but a note\n\n", "key 5\nstep 10\nkey g"};
    const std::string second = "key 6\nstep 7\n";
    const ScriptCommand take = read("take 0\n")[0];
    for (const std::string& run : runs) {
        const std::string recorded = copiedLines(run) + second;
        const auto [runHash, runSteps] = runnerEnd(run + "\n" + second);
        for (bool (*pace)() : {alwaysSteps, stepsTwoOfThree}) {
            SCOPED_TRACE(run);
            restart();
            RunRecorder recorder;
            RunSession session(&recorder);
            session.play(run, read(run));
            while (session.playing()) {
                session.key('5', 0, 0);  // ignored while the run plays
                EXPECT_FALSE(session.command(take)) << "a grab waits as well";
                session.idle(pace);
            }
            session.play(second, read(second));
            EXPECT_EQ(session.runSteps(), 7u);
            while (session.playing()) session.idle(pace);
            EXPECT_EQ(session.playedSteps(), 7u);
            EXPECT_EQ(session.steps(), runSteps);
            EXPECT_EQ(hashMovingPoints(), runHash);

            session.key('2', 0, 0);
            session.idle(pace);
            session.stepOnce();
            session.finish();
            const std::string text = recorder.text();
            EXPECT_EQ(text.substr(0, recorded.size()), recorded);
            EXPECT_EQ(text.find("# end"), text.rfind("# end")) << "only this recording's end: " << text;
            const auto [hash, steps] = runnerEnd(text);
            EXPECT_NE(text.find(runEndLine(hash, steps)), std::string::npos) << text;
            EXPECT_EQ(steps, session.steps());
        }
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
            session.stop();
            EXPECT_FALSE(session.playing());
            session.finish();
            const auto [hash, steps] = runnerEnd(recorder.text());
            EXPECT_NE(recorder.text().find(runEndLine(hash, steps)), std::string::npos) << recorder.text();
            EXPECT_EQ(steps, static_cast<std::uint64_t>(idleCalls + (replaced ? 30 : 0))) << recorder.text();
        }
    }
}

// The window's session: a run reached at once (--at), recorded only from there, taken over by
// the gravity key mid-step; a wheel notch and a blank, which no recording holds, leave it
// playing. The recording replays to the same bits: the run cut where it stood, then the key.
TEST(RunSession, InputTakesOverAPlayedRunWhereItStands) {
    for (const std::uint64_t at : {0, 150, 160}) {
        SCOPED_TRACE(at);
        restart();
        RunRecorder recorder;
        RunSession session(nullptr, RunSession::WhilePlaying::InputTakesOver);
        session.play(kRun, read(kRun));
        session.reach(at);
        session.record(&recorder);
        for (int i = 0; i < 20; ++i) session.idle(alwaysSteps);
        session.mouse(3, 0, 1, 1);
        session.key(' ', 0, 0);
        ASSERT_TRUE(session.playing());
        session.key('g', 0, 0);
        EXPECT_FALSE(session.playing());
        for (int i = 0; i < 30; ++i) session.idle(alwaysSteps);
        session.finish();
        const std::uint64_t live = hashMovingPoints();
        EXPECT_EQ(runnerEnd(recorder.text()), std::make_pair(live, at + 50)) << recorder.text();
    }
}

TEST(RunLink, AnAddressCarriesARunBesideOtherFields) {
    const std::string data = encodeRunData(kRun);
    // Mail programs escape '&' and '='.
    for (const std::string& address : {"http://127.0.0.1:8000/#run=" + data + "&paused", "#paused&run=" + data,
                                       "https://x.example/tremblo/?a=1#run=" + data + "==",
                                       "http://h/#run%3D" + data + "%26paused", "#paused%26run%3d" + data + "%3D"}) {
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
    // Data of whole groups of four characters: "AA" behind it is one more byte, a zero.
    std::string whole;
    for (int steps = 1; whole.empty() || whole.size() % 4 != 0; ++steps) whole = encodeRunData("step " + std::to_string(steps));
    const struct {
        std::string address;
        std::string fragment;
    } cases[] = {
        {"http://host/#paused", "no run"},
        {"#run=" + good.substr(0, 5), "cut short"},
        {"#run=ab$d", "not base64url ('$', at position 3)"},
        {"#run=" + good.substr(0, 3) + " " + good.substr(3), "not base64url (a space, at position 4)"},
        {"#run=" + good + "%0A", "not base64url (byte 0x0a, at position " + std::to_string(good.size() + 1) + ")"},
        {"#run=" + good + "&x=%4", "a '%' that is not followed by two hexadecimal digits"},
        {"#run=" + good.substr(0, good.size() - 4), "damaged (cut short)"},
        {"#run=bm90IGRlZmxhdGU", "damaged (not deflate data)"},
        {"#run=" + encodeRunData(std::string(100, 'x')).substr(0, 20) + "AAAA" + good, "damaged"},
        {"#run=" + whole + "AA", "bytes after its end"},
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

namespace {

// A script file of exactly the largest size is read; one byte more is refused, not cut.
TEST(ScriptFile, ReadsUpToTheLargestScriptAndRefusesMore) {
    const std::string path = testing::TempDir() + "tremblo-largest.sim";
    for (const std::size_t size : {kMaxScriptBytes, kMaxScriptBytes + 1}) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string blanks(size, '\n');
        ASSERT_EQ(std::fwrite(blanks.data(), 1, size, file), size);
        std::fclose(file);
        std::string text, error;
        EXPECT_EQ(readScriptFile(path, text, error), size == kMaxScriptBytes) << size << ": " << error;
        EXPECT_EQ(text.size() == size, size == kMaxScriptBytes);
    }
    std::remove(path.c_str());
}

}  // namespace

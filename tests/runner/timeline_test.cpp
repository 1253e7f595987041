// The timeline reaches any step of a run with the bits the runner gives there, however it
// got there, and a run taken over in its middle replays to what the world shows.

#include "run/timeline.h"

#include "tests/runner/script_world_test.h"

namespace {

using TimelineTest = ScriptWorldTest;

std::vector<ScriptCommand> parsed(const std::string& text) {
    std::vector<ScriptCommand> commands;
    ScriptError error{0, ""};
    EXPECT_TRUE(parseScript(text, commands, error)) << error.line << ": " << error.message;
    return commands;
}

std::uint64_t hashAt(const std::vector<ScriptCommand>& commands, std::uint64_t step) {
    resetWorld();
    startWorld();
    runScript(commands, {}, 1, step);
    return hashMovingPoints();
}

// Restarts, a tear, a yield, a grab, a push running across a restart, contact's friction.
const char* const kRun =
    "key z\nkey 3\nstep 700\npress right 400 300\nrelease right 900 0\nstep 2500\n"
    "key 2\nkey u\nstep 1200\ntake 5\nmove 0 3 4\nstep 1500\nlet go\npress right 400 300\n"
    "release right 500 250\nstep 100\nkey s\nstep 900\nset contact on\nscene\ncube 0 0 0.1\n"
    "cube 0.04 0.02 1.15\nstep 3000\n";

TEST_F(TimelineTest, AnyStepIsReachedWithTheRunnersBitsThere) {
    const std::vector<ScriptCommand> commands = parsed(kRun);
    // Forward and back, across restarts, into the middle of a step command, and to its ends.
    const std::uint64_t targets[] = {9900, 0, 3200, 3201, 4399, 4400, 9900, 1, 6000, 6100, 5000, 7000};
    std::vector<std::uint64_t> want;
    for (const std::uint64_t t : targets) want.push_back(hashAt(commands, t));

    resetWorld();
    startWorld();
    constexpr std::size_t kBudget = 60'000;  // a few snapshots: they are thinned as the run goes
    Timeline timeline(kBudget);
    timeline.start(commands);
    ASSERT_EQ(timeline.length(), 9900u);
    for (std::size_t i = 0; i < std::size(targets); ++i) {
        timeline.seek(targets[i]);
        ASSERT_TRUE(timeline.work());
        EXPECT_EQ(timeline.at(), targets[i]);
        EXPECT_EQ(hashMovingPoints(), want[i]) << "at step " << targets[i] << " (seek " << i << ")";
    }
    EXPECT_GT(timeline.spacing(), Timeline::kFirstSpacing) << "thinned";
    EXPECT_LE(timeline.snapshotBytes(), kBudget);
}

TEST_F(TimelineTest, TakingOverCutsTheFutureAndTheRunReplaysToWhatTheWorldShows) {
    Timeline timeline;
    timeline.start(parsed(kRun));
    timeline.seek(9900);
    ASSERT_TRUE(timeline.work());
    timeline.seek(4000);  // back into the pull of the grab
    ASSERT_TRUE(timeline.work());
    timeline.mouse(2, 0, 400, 300);
    for (int i = 0; i < 150; ++i) timeline.step();
    timeline.mouse(2, 1, 700, 100);
    timeline.key('g', 0, 0);
    timeline.command(parsed("move -1 2 3\n")[0]);
    for (int i = 0; i < 800; ++i) timeline.step();
    EXPECT_EQ(timeline.length(), 4950u);
    const std::uint64_t shown = hashMovingPoints();

    // Back before the take-over and forward again: the run's new future, not its old one.
    timeline.seek(3900);
    ASSERT_TRUE(timeline.work());
    timeline.seek(4950);
    ASSERT_TRUE(timeline.work());
    EXPECT_EQ(hashMovingPoints(), shown);

    const std::vector<ScriptCommand> recorded = parsed(timeline.text());
    EXPECT_EQ(hashAt(recorded, UINT64_MAX), shown);
}

// The page downloads the run as far as the picture shows it, and plays a scene of the panel's,
// steps and all, as the run's future.
TEST_F(TimelineTest, TheRunToHereReplaysToTheWorldAndAppendedCommandsPlayOnAsItsFuture) {
    Timeline timeline;
    timeline.start(parsed(kRun));
    timeline.seek(3201);  // inside a step command, behind the next commands
    ASSERT_TRUE(timeline.work());
    const std::uint64_t here = hashMovingPoints();
    const std::string toHere = timeline.textToHere();
    timeline.append(parsed("key 4\nstep 300\nkey g\nstep 200\n"));
    EXPECT_EQ(timeline.length(), 3701u);
    EXPECT_FALSE(timeline.reached()) << "the appended key is still to be carried out";
    timeline.seek(3701);
    ASSERT_TRUE(timeline.work());
    EXPECT_TRUE(timeline.atEnd());
    const std::uint64_t end = hashMovingPoints();
    const std::string whole = timeline.text();
    EXPECT_EQ(hashAt(parsed(toHere), UINT64_MAX), here);
    EXPECT_EQ(hashAt(parsed(whole), UINT64_MAX), end);
}

TEST_F(TimelineTest, APersonsInputIsRecordedAsTheScriptSpellsItAndTheRunEndsThere) {
    Timeline timeline;
    timeline.start(parsed("key 2\nstep 3000\n"));
    timeline.seek(2000);
    ASSERT_TRUE(timeline.work());
    timeline.key(' ', 0, 0);       // nothing the script can spell: carried out, not recorded
    timeline.mouse(3, 0, 10, 10);  // a wheel
    timeline.key('g', 0, 0);
    timeline.mouse(2, 0, 2000000, 5);
    timeline.mouse(2, 1, 300, -2000000);
    timeline.command(parsed("set damping 7\n")[0]);
    for (int i = 0; i < 1500; ++i) timeline.step();  // past a snapshot of the person's own steps
    EXPECT_EQ(timeline.text(),
              "key 2\nstep 2000\nkey g\npress right 1000000 5\nrelease right 300 -1000000\nset damping 7\nstep 1500\n");
    EXPECT_EQ(timeline.length(), 3500u);
    EXPECT_EQ(timeline.goal(), 3500u);
    const std::uint64_t shown = hashMovingPoints();

    timeline.seek(2600);
    ASSERT_TRUE(timeline.work());
    timeline.seek(timeline.length() + 100);
    EXPECT_EQ(timeline.goal(), timeline.length());
    ASSERT_TRUE(timeline.work());
    EXPECT_EQ(hashMovingPoints(), shown);
}

TEST_F(TimelineTest, SnapshotsComeEverySpacingAndGoWithTheFutureTheyShowed) {
    startWorld();  // every snapshot below is of this one-cube scene
    Timeline timeline;
    timeline.start(parsed("step 3000\n"));
    const std::size_t one = timeline.snapshotBytes();
    timeline.seek(2001);
    ASSERT_TRUE(timeline.work());
    EXPECT_EQ(timeline.snapshotCount(), 3u) << "at 0, 1000 and 2000";
    EXPECT_EQ(timeline.snapshotBytes(), 3 * one);
    timeline.seek(100);
    ASSERT_TRUE(timeline.work());
    timeline.seek(2500);
    EXPECT_EQ(timeline.at(), 2000u) << "a seek ahead starts from the nearest snapshot";
    timeline.seek(500);
    ASSERT_TRUE(timeline.work());
    timeline.key('g', 0, 0);
    EXPECT_EQ(timeline.snapshotCount(), 1u);
    EXPECT_EQ(timeline.snapshotBytes(), one);

    // Thinned, then started anew: the first spacing again, one snapshot.
    Timeline thin(2 * one + one / 2);
    thin.start(parsed("step 4000\n"));
    thin.seek(4000);
    ASSERT_TRUE(thin.work());
    EXPECT_EQ(thin.spacing(), 2 * Timeline::kFirstSpacing);
    thin.start(parsed("step 10\n"));
    EXPECT_EQ(thin.snapshotCount(), 1u);
    EXPECT_EQ(thin.spacing(), Timeline::kFirstSpacing);
}

TEST_F(TimelineTest, WorkStopsWhenToldAndGoesOnLaterEvenWithinALongRow) {
    // All of the work before the first step: a scene built over and over, then a long row,
    // made a piece at a time.
    std::string text;
    for (int i = 0; i < 40; ++i) text += "key s\n";
    text += "scene\ncube 0 -100 0 edge 0.04\nattach 3500\nstep 30\n";
    const std::vector<ScriptCommand> commands = parsed(text);
    const std::uint64_t want = hashAt(commands, 30);

    resetWorld();
    startWorld();
    Timeline timeline;
    timeline.start(commands);
    timeline.seek(30);
    int calls = 0, pieces = 0;
    while (!timeline.work([&] { return ++calls % 7 != 0; })) ++pieces;
    EXPECT_GE(pieces, (40 + 2 + 4) / 7);
    EXPECT_EQ(hashMovingPoints(), want);

    // Taken over within the row: the run holds the cubes made, and replays to what is shown.
    resetWorld();
    startWorld();
    timeline.start(commands);
    timeline.seek(30);
    calls = 0;
    while (!timeline.work([&] { return ++calls <= 40 + 2 + 2; })) {
        timeline.key('g', 0, 0);
        for (int i = 0; i < 20; ++i) timeline.step();
    }
    EXPECT_NE(timeline.text().find("attach 2000 "), std::string::npos);
    const std::uint64_t shown = hashMovingPoints();
    EXPECT_EQ(hashAt(parsed(timeline.text()), UINT64_MAX), shown);
}

}  // namespace

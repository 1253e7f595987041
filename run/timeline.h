#pragma once

// A run kept whole as it goes, so that any step of it can be reached again, exactly: its
// commands in order (steps merged), a position in them, and snapshots of the world taken as
// the steps go, so that going to a step restores the nearest snapshot at or before it and
// carries out the commands from there. A front end plays a run with it (a shared link), lets
// the person step live at its end, and cuts the run's future where the person takes over.
//
// Step k of a run is the world after its k-th step and every command before the next step:
// step 0 is a link's scene as its commands built it. The work toward a step (the run's steps
// and its other commands, a scene rebuilt twenty thousand times as well) is done a piece at a
// time, so a front end keeps answering between pieces.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "run/script.h"

struct WorldSnapshot;

class Timeline {
public:
    // `snapshotBudget`: bytes the snapshots may hold together. As a run grows past it, every
    // other snapshot is dropped and they are taken half as often.
    explicit Timeline(std::size_t snapshotBudget = kDefaultSnapshotBudget);
    ~Timeline();
    static constexpr std::size_t kDefaultSnapshotBudget = 32u << 20;
    // The cubes of a long `attach` made between two questions to go on.
    static constexpr int kCubesAPiece = 1000;
    // Steps between snapshots at the start; doubled at every thinning.
    static constexpr std::uint64_t kFirstSpacing = 1000;

    // A new run from the world as it is now, to be carried out by work(): `commands` (a played
    // run), or none (the person's own session).
    void start(std::vector<ScriptCommand> commands = {});

    // Steps of the whole run, and the step the world has reached.
    std::uint64_t length() const { return length_; }
    std::uint64_t at() const { return at_; }
    // The world is at the run's end: every command carried out, the person's turn.
    bool atEnd() const { return entry_ == entries_.size(); }

    // Sets the step to go to (at most length()); work() goes there. Going back restores a
    // snapshot.
    void seek(std::uint64_t step);
    std::uint64_t goal() const { return goal_; }
    // Works toward the goal while `keepGoing()` says so (asked before every step and command).
    // True once the world is there: at the goal, with every command before the next step done.
    bool work(const std::function<bool()>& keepGoing = {});
    bool reached() const;

    // The person's turn, at the step the world is at: the run's future from there is cut off
    // (so what is recorded is what the picture showed), then the input is carried out and
    // recorded. Keys and buttons the script cannot spell are carried out but not recorded, and
    // coordinates are brought within the script's range, as the front ends' recordings do.
    void key(unsigned char key, int x, int y);
    void mouse(int button, int state, int x, int y);
    void command(const ScriptCommand& command);  // not a step
    // One step by the person: taken and recorded, after cutting the future off.
    void step();
    // Commands of the person's as the run's future from here (a scene with steps of its own),
    // after cutting the old future off: work() carries them out as it goes on.
    void append(std::vector<ScriptCommand> commands);

    // The run as script text, from its start to its end (steps merged).
    std::string text() const;
    // The run as far as the world has come: what replays to the world as it is.
    std::string textToHere() const;
    // Snapshots held, and their bytes.
    std::size_t snapshotCount() const;
    std::size_t snapshotBytes() const { return snapshotBytes_; }
    std::uint64_t spacing() const { return spacing_; }

private:
    struct Mark;
    void cutHere();
    void record(ScriptCommand command);
    void stepHere();
    void keepSnapshot();
    void restoreBefore(std::uint64_t step);
    std::string textOf(std::size_t entries, std::uint64_t doneOfNext) const;

    std::size_t budget_;
    std::vector<ScriptCommand> entries_;
    std::vector<std::uint64_t> stepsBefore_;  // steps of the run before each entry
    std::uint64_t length_ = 0;
    std::size_t entry_ = 0;    // the next entry to carry out
    std::uint64_t into_ = 0;   // what is done of entries_[entry_]: its steps taken, or the cubes of a long attach
    std::uint64_t at_ = 0;
    std::uint64_t goal_ = 0;
    std::vector<Mark> marks_;  // snapshots by step
    std::size_t snapshotBytes_ = 0;
    std::uint64_t spacing_ = kFirstSpacing;
};

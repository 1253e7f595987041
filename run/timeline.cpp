#include "run/timeline.h"

#include <algorithm>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "interaction/scene_commands.h"
#include "run/apply_command.h"
#include "run/run_recorder.h"
#include "sim/constants.h"
#include "sim/snapshot.h"
#include "sim/time_step.h"
#include "sim/world.h"

// A snapshot and where in the run it was taken: before the step after `step`, every command
// before that step carried out (or, the first, before anything of the run).
struct Timeline::Mark {
    std::uint64_t step;
    std::size_t entry;
    std::uint64_t into;
    std::unique_ptr<WorldSnapshot> world;
};

namespace {

// What is done of an entry when `done` of it is: its first steps, or the first cubes of a row.
ScriptCommand donePart(const ScriptCommand& c, std::uint64_t done) {
    ScriptCommand part = c;
    if (c.kind == CommandKind::Step) {
        part.steps = static_cast<std::uint32_t>(done);
    } else {
        SceneArguments a = *c.scene;
        a.count = static_cast<int>(done);
        part.scene = HeldArguments(a);
        part.endsBuild = true;
    }
    return part;
}

int withinScriptRange(int v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }

}  // namespace

Timeline::Timeline(std::size_t snapshotBudget) : budget_(snapshotBudget) {}

Timeline::~Timeline() = default;

void Timeline::start(std::vector<ScriptCommand> commands) {
    entries_ = std::move(commands);
    length_ = 0;
    for (const ScriptCommand& c : entries_) {
        if (c.kind == CommandKind::Step) length_ += c.steps;
    }
    entry_ = 0;
    into_ = 0;
    at_ = 0;
    goal_ = 0;
    marks_.clear();
    snapshotBytes_ = 0;
    spacing_ = kFirstSpacing;
    auto world = std::make_unique<WorldSnapshot>();
    saveWorld(*world);
    snapshotBytes_ = world->size();
    marks_.push_back(Mark{0, 0, 0, std::move(world)});
}

bool Timeline::reached() const {
    if (at_ != goal_) return false;
    return entry_ == entries_.size() ||
           (entries_[entry_].kind == CommandKind::Step && into_ < entries_[entry_].steps);
}

void Timeline::seek(std::uint64_t step) {
    goal_ = std::min(step, length_);
    // The last snapshot at or before the goal, when going back or when it lies ahead.
    auto after = std::upper_bound(marks_.begin(), marks_.end(), goal_,
                                  [](std::uint64_t s, const Mark& m) { return s < m.step; });
    const Mark& nearest = *(after - 1);
    if (goal_ < at_ || nearest.step > at_) {
        restoreWorld(*nearest.world);
        entry_ = nearest.entry;
        into_ = nearest.into;
        at_ = nearest.step;
    }
}

bool Timeline::work(const std::function<bool()>& keepGoing) {
    while (!reached()) {
        if (keepGoing && !keepGoing()) return false;
        const ScriptCommand& c = entries_[entry_];
        if (c.kind == CommandKind::Attach && c.scene != nullptr && c.scene->count > kCubesAPiece) {
            // A long row is made a piece at a time (into_ counts its cubes made), as one
            // command would make it: its cubes one after another, the order read at the end.
            const auto left = static_cast<std::uint64_t>(c.scene->count) - into_;
            const int now = static_cast<int>(std::min<std::uint64_t>(left, kCubesAPiece));
            attachCubes(now, c.scene->tearForce, c.scene->elements);
            into_ += static_cast<std::uint64_t>(now);
            if (into_ < static_cast<std::uint64_t>(c.scene->count)) continue;
            if (c.endsBuild) finishBuilding();
        } else if (c.kind != CommandKind::Step) {
            applyCommand(c);
        } else if (into_ < c.steps) {
            keepSnapshot();
            stepHere();
            if (++into_ < c.steps) continue;
        }
        ++entry_;
        into_ = 0;
    }
    return true;
}

void Timeline::stepHere() {
    timeStep = kTimeStep;
    stepWorld();
    ++at_;
}

// A snapshot here when the last one lies at least `spacing_` steps back; past the budget,
// every other one goes (the first stays) and they come half as often.
void Timeline::keepSnapshot() {
    auto after = std::upper_bound(marks_.begin(), marks_.end(), at_,
                                  [](std::uint64_t s, const Mark& m) { return s < m.step; });
    if (at_ - (after - 1)->step < spacing_) return;
    auto world = std::make_unique<WorldSnapshot>();
    saveWorld(*world);
    snapshotBytes_ += world->size();
    marks_.insert(after, Mark{at_, entry_, into_, std::move(world)});
    while (snapshotBytes_ > budget_ && marks_.size() > 1) {
        std::vector<Mark> kept;
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            if (i % 2 == 0) {
                kept.push_back(std::move(marks_[i]));
            } else {
                snapshotBytes_ -= marks_[i].world->size();
            }
        }
        marks_ = std::move(kept);
        spacing_ *= 2;
    }
}

void Timeline::cutHere() {
    if (entry_ < entries_.size()) {
        if (into_ > 0) {
            entries_[entry_] = donePart(entries_[entry_], into_);
            if (entries_[entry_].kind == CommandKind::Attach) finishBuilding();
            ++entry_;
        }
        entries_.resize(entry_);
        into_ = 0;
    }
    // Snapshots of what comes after: later steps, or commands at this step not carried out.
    std::erase_if(marks_, [&](const Mark& m) {
        const bool later = m.step > at_ || (m.step == at_ && m.entry > entry_);
        if (later && m.step > 0) snapshotBytes_ -= m.world->size();
        return later && m.step > 0;
    });
    length_ = at_;
    goal_ = at_;
}

void Timeline::record(ScriptCommand command) {
    entries_.push_back(std::move(command));
    entry_ = entries_.size();
}

void Timeline::key(unsigned char key, int x, int y) {
    cutHere();
    if (key > ' ' && key != 0x7f && key != '#') record(ScriptCommand{CommandKind::Key, 0, key, 0, 0, 0, 0});
    onKey(key, x, y);
}

void Timeline::mouse(int button, int state, int x, int y) {
    cutHere();
    x = withinScriptRange(x);
    y = withinScriptRange(y);
    if (scriptButtonName(button) != nullptr && (state == kButtonDown || state == kButtonUp)) {
        record(ScriptCommand{state == kButtonDown ? CommandKind::Press : CommandKind::Release, 0, 0, button, x, y, 0});
    }
    onMouse(button, state, x, y);
}

void Timeline::command(const ScriptCommand& command) {
    cutHere();
    record(command);
    applyCommand(command);
}

void Timeline::step() {
    cutHere();
    if (entries_.empty() || entries_.back().kind != CommandKind::Step || entries_.back().steps >= kMaxStepsPerCommand) {
        entries_.push_back(ScriptCommand{CommandKind::Step, 0, 0, 0, 0, 0, 0});
    }
    entry_ = entries_.size() - 1;
    into_ = entries_.back().steps++;
    keepSnapshot();
    stepHere();
    entry_ = entries_.size();
    into_ = 0;
    length_ = goal_ = at_;
}

void Timeline::append(std::vector<ScriptCommand> commands) {
    cutHere();
    for (ScriptCommand& c : commands) {
        if (c.kind == CommandKind::Step) length_ += c.steps;
        entries_.push_back(std::move(c));
    }
}

// The first `entries` entries, then what is done of the one after (`doneOfNext` of it).
std::string Timeline::textOf(std::size_t entries, std::uint64_t doneOfNext) const {
    RunRecorder recorder;
    auto write = [&](const ScriptCommand& c) {
        if (c.kind == CommandKind::Step) {
            recorder.stepped(c.steps);
        } else {
            recorder.writeLines(writeCommand(c));
        }
    };
    for (std::size_t i = 0; i < entries; ++i) write(entries_[i]);
    if (doneOfNext > 0) write(donePart(entries_[entries], doneOfNext));
    return recorder.text();
}

std::string Timeline::text() const { return textOf(entries_.size(), 0); }

std::string Timeline::textToHere() const { return textOf(entry_, into_); }

std::size_t Timeline::snapshotCount() const { return marks_.size(); }

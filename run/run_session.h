#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "run/script.h"

class RunRecorder;

// A person's session in a front end that paces its own steps (the window, the page): it may
// first play a run at the front end's pace, then hands the scene to the person, whose keys,
// buttons and steps it records. While a run plays, the person's input is ignored, so that the
// recording is the played run followed by what the person did.
class RunSession {
public:
    // `recorder`: where the session is written, or null to record nothing.
    explicit RunSession(RunRecorder* recorder = nullptr) : recorder_(recorder) {}

    // Plays `commands`, read from `text`, from the state the world is in. The recording starts
    // with the run's own lines, written as they are played. A run still playing is stopped first.
    void play(std::string text, std::vector<ScriptCommand> commands);
    // Ends the run being played where it stands: the recording keeps what was played of it.
    void stop();
    bool playing() const { return next_ < commands_.size(); }
    // Steps of the played run taken so far, and all of its steps.
    std::uint64_t playedSteps() const { return playedSteps_; }
    std::uint64_t runSteps() const { return runSteps_; }

    // One idle call of the front end: carries out the run's commands due before its next step,
    // then `idleCall` (true when it stepped). Returns whether a step was taken.
    bool idle(bool (*idleCall)());
    // One step outside the pacing (the page's single step); ignored while a run plays.
    void stepOnce();
    // The person's key and mouse button, handed to the core and recorded; ignored while a run
    // plays. Coordinates beyond the script's range are brought within it first.
    void key(unsigned char key, int x, int y);
    void mouse(int button, int state, int x, int y);
    // A command of the person's (a setting from the panel), carried out and recorded; false,
    // and nothing done, while a run plays.
    bool command(const ScriptCommand& command);

    // Steps taken since the start, played ones included.
    std::uint64_t steps() const { return steps_; }
    // Ends the recording: what was played of a run cut short, held steps, and the end comment
    // with the state hash and the step count. Once only.
    void finish();

private:
    void advance();
    void copyLinesThrough(std::size_t end);

    RunRecorder* recorder_;
    std::string text_;
    std::vector<std::size_t> lineEnds_;  // offset just past each line of text_
    std::size_t copiedLines_ = 0;
    std::vector<ScriptCommand> commands_;
    std::size_t next_ = 0;
    std::uint64_t leftOfStep_ = 0;  // steps of commands_[next_] not yet taken
    std::uint64_t takenOfStep_ = 0;
    std::uint64_t playedSteps_ = 0;
    std::uint64_t runSteps_ = 0;
    std::uint64_t steps_ = 0;
    bool finished_ = false;
};

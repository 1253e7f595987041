#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "run/script.h"

class RunRecorder;

// A person's session in a front end that paces its own steps (the window, the page): it may
// first play a run at the front end's pace, then hands the scene to the person, whose keys,
// buttons and steps it records. While a run plays, the person's input either waits (is
// ignored until the run has ended: the page) or takes the run over (the run ends where it
// stands, then the input is carried out: the window), so that the recording is the played run,
// as far as it was shown, followed by what the person did.
class RunSession {
public:
    enum class WhilePlaying {
        InputWaits,
        // Input that a recording would hold takes over; input it leaves out (recordsKey,
        // recordsButton), which the simulation ignores as well, leaves the run playing.
        InputTakesOver,
    };

    // `recorder`: where the session is written, or null to record nothing (for now: record()).
    explicit RunSession(RunRecorder* recorder = nullptr, WhilePlaying whilePlaying = WhilePlaying::InputWaits)
        : recorder_(recorder), whilePlaying_(whilePlaying) {}

    // Starts recording into `recorder`, before any input of the person's: the lines of the run
    // played so far are written first, as if it had been recording from the start.
    void record(RunRecorder* recorder);

    // Plays `commands`, read from `text`, from the state the world is in. The recording starts
    // with the run's own lines, written as they are played. A run still playing is stopped first.
    void play(std::string text, std::vector<ScriptCommand> commands);
    // Ends the run being played where it stands: the recording keeps what was played of it.
    void stop();
    bool playing() const { return next_ < commands_.size(); }
    // Carries the played run out at once, without the front end's pacing or frames, to `step`
    // as runScript's stopAt has it (after that many of its steps and every command before the
    // next), or to its end when it has fewer steps: the front end then shows it from there.
    void reach(std::uint64_t step);
    // Steps of the played run taken so far, and all of its steps.
    std::uint64_t playedSteps() const { return playedSteps_; }
    std::uint64_t runSteps() const { return runSteps_; }

    // One idle call of the front end: carries out the run's commands due before its next step,
    // then `idleCall` (true when it stepped). Returns whether a step was taken.
    bool idle(bool (*idleCall)());
    // The person's input, while a run plays as WhilePlaying says. One step outside the pacing
    // (the page's single step).
    void stepOnce();
    // The key and mouse button, handed to the core and recorded. Coordinates beyond the
    // script's range are brought within it first.
    void key(unsigned char key, int x, int y);
    void mouse(int button, int state, int x, int y);
    // A command (a setting from the panel, a grab), carried out and recorded; false, and
    // nothing done, when it waits for a played run.
    bool command(const ScriptCommand& command);

    // Steps taken since the start, played ones included.
    std::uint64_t steps() const { return steps_; }
    // Ends the recording: what was played of a run cut short, held steps, and the end comment
    // with the state hash and the step count. Once only.
    void finish();

private:
    void advance();
    void copyLinesThrough(std::size_t end);
    // Whether the person's input goes ahead now (`recorded`: a recording holds it); a run it
    // takes over has been stopped.
    bool personGoesAhead(bool recorded);

    RunRecorder* recorder_;
    WhilePlaying whilePlaying_;
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

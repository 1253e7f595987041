#include "run/run_session.h"

#include <utility>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "run/apply_command.h"
#include "run/run_recorder.h"
#include "run/state_hash.h"
#include "sim/constants.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

int withinScriptRange(int v) { return v < -kMaxCoordinate ? -kMaxCoordinate : v > kMaxCoordinate ? kMaxCoordinate : v; }

bool isEndComment(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    return start != std::string_view::npos && line.substr(start, kRunEndComment.size()) == kRunEndComment;
}

// A step as the idle callback takes it when no frame is due.
bool stepAtOnce() {
    timeStep = kTimeStep;
    stepWorld();
    return true;
}

}  // namespace

void RunSession::record(RunRecorder* recorder) {
    recorder_ = recorder;
    // The lines played so far, copied again, into it.
    copyLinesThrough(std::exchange(copiedLines_, 0));
}

void RunSession::play(std::string text, std::vector<ScriptCommand> commands) {
    stop();
    text_ = std::move(text);
    commands_ = std::move(commands);
    lineEnds_.clear();
    for (std::size_t pos = 0; pos < text_.size();) {
        const std::size_t lf = text_.find('\n', pos);
        pos = lf == std::string::npos ? text_.size() : lf + 1;
        lineEnds_.push_back(pos);
    }
    copiedLines_ = 0;
    next_ = 0;
    playedSteps_ = 0;
    runSteps_ = 0;
    for (const ScriptCommand& c : commands_) {
        if (c.kind == CommandKind::Step) runSteps_ += c.steps;
    }
    leftOfStep_ = takenOfStep_ = 0;
    if (playing() && commands_[0].kind == CommandKind::Step) leftOfStep_ = commands_[0].steps;
    advance();
}

// The run's lines 1..end (1-based) not copied yet, but for the end comment of an earlier
// recording: it described that run's end, not this one's.
void RunSession::copyLinesThrough(std::size_t end) {
    if (recorder_ == nullptr) {
        copiedLines_ = end;
        return;
    }
    for (; copiedLines_ < end && copiedLines_ < lineEnds_.size(); ++copiedLines_) {
        const std::size_t begin = copiedLines_ == 0 ? 0 : lineEnds_[copiedLines_ - 1];
        const std::string_view line(text_.data() + begin, lineEnds_[copiedLines_] - begin);
        if (!isEndComment(line)) recorder_->writeLines(line);
    }
}

// Carries out commands until one with steps left to take, or the run's end.
void RunSession::advance() {
    while (playing()) {
        const ScriptCommand& command = commands_[next_];
        if (command.kind == CommandKind::Step) {
            if (leftOfStep_ > 0) return;
        } else {
            applyCommand(command);
        }
        copyLinesThrough(static_cast<std::size_t>(command.line));
        ++next_;
        takenOfStep_ = 0;
        if (playing() && commands_[next_].kind == CommandKind::Step) leftOfStep_ = commands_[next_].steps;
    }
    copyLinesThrough(lineEnds_.size());
}

bool RunSession::idle(bool (*idleCall)()) {
    if (playing()) advance();
    if (!idleCall()) return false;
    ++steps_;
    if (playing()) {
        ++playedSteps_;
        ++takenOfStep_;
        --leftOfStep_;
        advance();
    } else if (recorder_ != nullptr) {
        recorder_->stepped();
    }
    return true;
}

void RunSession::reach(std::uint64_t step) {
    while (playing() && playedSteps_ < step) idle(stepAtOnce);
}

bool RunSession::personGoesAhead(bool recorded) {
    if (!playing()) return true;
    if (whilePlaying_ == WhilePlaying::InputWaits || !recorded) return false;
    stop();
    return true;
}

void RunSession::stepOnce() {
    if (!personGoesAhead(true)) return;
    stepAtOnce();
    ++steps_;
    if (recorder_ != nullptr) recorder_->stepped();
}

void RunSession::key(unsigned char key, int x, int y) {
    if (!personGoesAhead(recordsKey(key))) return;
    if (recorder_ != nullptr) recorder_->key(key);
    onKey(key, x, y);
}

void RunSession::mouse(int button, int state, int x, int y) {
    if (!personGoesAhead(recordsButton(button, state))) return;
    x = withinScriptRange(x);
    y = withinScriptRange(y);
    if (recorder_ != nullptr) recorder_->button(button, state, x, y);
    onMouse(button, state, x, y);
}

bool RunSession::command(const ScriptCommand& command) {
    if (!personGoesAhead(true)) return false;
    if (recorder_ != nullptr) recorder_->writeLines(writeCommand(command));
    applyCommand(command);
    return true;
}

void RunSession::stop() {
    if (!playing()) return;
    // The lines before the command cut short (a step: advance() stops at no other), then the
    // steps it took.
    const std::size_t line = static_cast<std::size_t>(commands_[next_].line);
    copyLinesThrough(line - 1);
    if (recorder_ != nullptr) recorder_->stepped(takenOfStep_);
    next_ = commands_.size();
}

void RunSession::finish() {
    if (finished_ || recorder_ == nullptr) return;
    finished_ = true;
    stop();
    recorder_->finish(hashMovingPoints(), steps_);
}

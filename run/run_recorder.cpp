#include "run/run_recorder.h"

#include "run/script.h"

namespace {

// The mouse callback's state codes.
constexpr int kDown = 0;
constexpr int kUp = 1;

std::string stepLine(std::uint64_t steps) { return writeCommand(ScriptCommand{CommandKind::Step, 0, 0, 0, 0, 0, steps}); }

}  // namespace

bool recordsKey(unsigned char key) { return key > ' ' && key != 0x7f && key != '#'; }
bool recordsButton(int button, int state) {
    return scriptButtonName(button) != nullptr && (state == kDown || state == kUp);
}

void RunRecorder::put(std::string_view line) {
    if (file_ == nullptr) {
        memory_ += line;
    } else if (good_ && std::fwrite(line.data(), 1, line.size(), file_) != line.size()) {
        good_ = false;
    }
}

void RunRecorder::putHeldSteps() {
    if (heldSteps_ == 0) return;
    put(stepLine(heldSteps_));
    heldSteps_ = 0;
}

void RunRecorder::writeLines(std::string_view lines) {
    if (lines.empty()) return;
    putHeldSteps();
    put(lines);
    if (lines.back() != '\n') put("\n");
}

void RunRecorder::key(unsigned char key) {
    if (!recordsKey(key)) return;
    putHeldSteps();
    put(writeCommand(ScriptCommand{CommandKind::Key, 0, key, 0, 0, 0, 0}));
}

void RunRecorder::button(int button, int state, int x, int y) {
    if (!recordsButton(button, state)) return;
    putHeldSteps();
    put(writeCommand(ScriptCommand{state == kDown ? CommandKind::Press : CommandKind::Release, 0, 0, button, x, y, 0}));
}

void RunRecorder::stepped(std::uint64_t steps) {
    heldSteps_ += steps;
    // A line holds at most the reader's limit of steps (days of simulated time).
    while (heldSteps_ > kMaxStepsPerCommand) {
        put(stepLine(kMaxStepsPerCommand));
        heldSteps_ -= kMaxStepsPerCommand;
    }
}

void RunRecorder::flush() {
    putHeldSteps();
    if (file_ != nullptr && good_ && std::fflush(file_) != 0) good_ = false;
}

void RunRecorder::finish(std::uint64_t hash, std::uint64_t steps) {
    putHeldSteps();
    put(runEndLine(hash, steps));
    flush();
}

std::string RunRecorder::text() const {
    if (heldSteps_ == 0) return memory_;
    return memory_ + stepLine(heldSteps_);
}

#include "run/run_recorder.h"

#include <cinttypes>

#include "run/script.h"

namespace {

// The mouse callback's state codes.
constexpr int kDown = 0;
constexpr int kUp = 1;

}  // namespace

std::string runEndLine(std::uint64_t hash, std::uint64_t steps) {
    char line[96];
    std::snprintf(line, sizeof line, "%.*s%016" PRIx64 " after %" PRIu64 " steps\n", static_cast<int>(kRunEndComment.size()),
                  kRunEndComment.data(), hash, steps);
    return line;
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
    put("step " + std::to_string(heldSteps_) + "\n");
    heldSteps_ = 0;
}

void RunRecorder::writeLines(std::string_view lines) {
    if (lines.empty()) return;
    putHeldSteps();
    put(lines);
    if (lines.back() != '\n') put("\n");
}

void RunRecorder::key(unsigned char key) {
    if (key <= ' ' || key == 0x7f || key == '#') return;
    putHeldSteps();
    const char text[] = {'k', 'e', 'y', ' ', static_cast<char>(key), '\n'};
    put(std::string_view(text, sizeof text));
}

void RunRecorder::button(int button, int state, int x, int y) {
    const char* name = scriptButtonName(button);
    if (name == nullptr || (state != kDown && state != kUp)) return;
    putHeldSteps();
    put(std::string(state == kDown ? "press " : "release ") + name + " " + std::to_string(x) + " " + std::to_string(y) +
        "\n");
}

void RunRecorder::stepped(std::uint64_t steps) {
    heldSteps_ += steps;
    // A line holds at most the reader's limit of steps (days of simulated time).
    while (heldSteps_ > kMaxStepsPerCommand) {
        put("step " + std::to_string(kMaxStepsPerCommand) + "\n");
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
    return memory_ + "step " + std::to_string(heldSteps_) + "\n";
}

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Writes what a person does as a run, in the script language: each key, press and release as
// it happens, and `step N` for the steps actually taken since the line before. Steps are held
// until the next line or flush(), so a quiet stretch is one line, not one per step. Lines go
// to a file (the window; flush() pushes them out) or are kept in memory (the page; text()).
// The input a recording holds. Keys the keyboard callback ignores and the script cannot spell
// (blanks, control bytes, '#'), and buttons and states it cannot spell (a wheel's), which the
// mouse callback ignores as well, are left out.
bool recordsKey(unsigned char key);
bool recordsButton(int button, int state);

class RunRecorder {
public:
    // `file`: where the lines go, or null to keep them in memory. Not closed here.
    explicit RunRecorder(std::FILE* file = nullptr) : file_(file) {}

    // Lines as they stand (a played run), a line feed added if the last one has none.
    void writeLines(std::string_view lines);
    // Input that recordsKey or recordsButton refuses is left out.
    void key(unsigned char key);
    void button(int button, int state, int x, int y);
    void stepped(std::uint64_t steps = 1);

    // Writes the held steps; pushes the file's lines out.
    void flush();
    // The end of a run: held steps, then a comment with the state hash and the step count.
    void finish(std::uint64_t hash, std::uint64_t steps);
    // Memory: the run so far, held steps included.
    std::string text() const;
    // False once a line could not be written to the file.
    bool good() const { return good_; }

private:
    void put(std::string_view line);
    void putHeldSteps();

    std::FILE* file_;
    std::string memory_;
    std::uint64_t heldSteps_ = 0;
    bool good_ = true;
};

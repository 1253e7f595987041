#pragma once

#include "model/lanes.h"

// Adds rows of additions to the force rows of points, keeping one row in a register while
// consecutive additions go to it (a cube's springs come in runs that share their first
// corner), so that they do not wait for each other's stores. Each row still receives its
// additions in the same order, so it ends with the same bits. Rows are complete only after
// flush().
class HeldRow {
public:
    // Adds v to *row, which is held from now on.
    void addHeld(Lanes* row, Lanes v) {
        if (row != held_) {
            flush();
            held_ = row;
            value_ = *row;
        }
        value_ = value_ + v;
    }
    // Adds v to *row: in the register if it is held, else in memory.
    void add(Lanes* row, Lanes v) {
        if (row == held_) {
            value_ = value_ + v;
        } else {
            *row = *row + v;
        }
    }
    void flush() {
        if (held_ != nullptr) *held_ = value_;
        held_ = nullptr;
    }

private:
    Lanes* held_ = nullptr;
    Lanes value_{};
};

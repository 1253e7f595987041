#pragma once

#include <cstdint>
#include <cstdio>

// CSV trace of the moving points: a header line, then per sample one row per point behind the
// chain head, in chain order, numbered from 0. Every float is printed with %.9g, which gives
// back the exact 32-bit value when read again. Rows go straight to the stream as they are made.
class TraceWriter {
public:
    // `out` stays owned by the caller.
    explicit TraceWriter(std::FILE* out) : out_(out) {}

    // "step,time,point,x,y,z,vx,vy,vz"
    void writeHeader();
    // One row per moving point of the current scene; `step` is the running step count and
    // the time column is simTime.
    void writeSample(std::uint64_t step);

private:
    std::FILE* out_;
};

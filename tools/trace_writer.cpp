#include "tools/trace_writer.h"

#include <cinttypes>

#include "model/mass_point.h"
#include "sim/world.h"

void TraceWriter::writeHeader() { std::fputs("step,time,point,x,y,z,vx,vy,vz\n", out_); }

void TraceWriter::writeSample(std::uint64_t step) {
    const double time = simTime;
    int index = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next, ++index) {
        std::fprintf(out_, "%" PRIu64 ",%.9g,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g\n", step, time, index,
                     static_cast<double>(p->position.x), static_cast<double>(p->position.y),
                     static_cast<double>(p->position.z), static_cast<double>(p->velocity.x),
                     static_cast<double>(p->velocity.y), static_cast<double>(p->velocity.z));
    }
}

// How well contact holds in a scene: runs a script and, every K steps, reports how deep any
// corner or edge point of a cube lies inside another cube (as a share of the deeper cube's
// edge; edges are sampled at 64 points each, far finer than contact samples them), and the
// fastest-moving cube centre in edges per second. Cubes that share a corner, and cubes with a
// torn spring, are left out, as contact leaves them out.
// Usage: contact_probe SCRIPT [--every K] [--from STEP]
//   --from STEP: the summary's maxima only count samples from STEP on (after settling).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_file.h"
#include "sim/constants.h"
#include "sim/contact.h"
#include "sim/energy.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

constexpr int kEdges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                               {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int kEdgeSamples = 64;

bool closed(const Cube& c) {
    for (const Spring* s : c.springs) {
        if (s->torn) return false;
    }
    return true;
}

bool share(const Cube& a, const Cube& b) {
    for (const MassPoint* p : a.corners) {
        for (const MassPoint* q : b.corners) {
            if (p == q) return true;
        }
    }
    return false;
}

Vec3 lerp(const Vec3& a, const Vec3& b, float t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

// The deepest corner or edge point of any cube inside another, over that cube's edge.
double deepest() {
    const std::vector<Cube*>& cubes = sceneCubes();
    double worst = 0.0;
    for (const Cube* b : cubes) {
        if (!closed(*b)) continue;
        Vec3 corners[8];
        for (int k = 0; k < 8; ++k) corners[k] = b->corners[k]->position;
        const FacePlanes planes = facePlanes(corners);
        for (const Cube* a : cubes) {
            if (a == b || !closed(*a) || share(*a, *b)) continue;
            for (const auto& e : kEdges) {
                for (int s = 0; s <= kEdgeSamples; ++s) {
                    const Vec3 p = lerp(a->corners[e[0]]->position, a->corners[e[1]]->position,
                                        static_cast<float>(s) / kEdgeSamples);
                    worst = std::max(worst, static_cast<double>(depthInside(planes, p).depth) / b->edge);
                }
            }
        }
    }
    return worst;
}

Vec3 centre(const Cube& c) {
    Vec3 sum{};
    for (const MassPoint* p : c.corners) sum = Vec3{sum.x + p->position.x, sum.y + p->position.y, sum.z + p->position.z};
    return Vec3{sum.x / 8, sum.y / 8, sum.z / 8};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: contact_probe SCRIPT [--every K] [--from STEP]\n");
        return 2;
    }
    std::uint64_t every = 2000, from = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--every") every = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--from") from = std::strtoull(argv[i + 1], nullptr, 10);
    }
    std::string text, error;
    std::vector<ScriptCommand> commands;
    ScriptError bad;
    if (!readScriptFile(argv[1], text, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!parseScript(text, commands, bad)) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], bad.line, bad.message.c_str());
        return 2;
    }
    startWorld();
    std::uint64_t steps = 0;
    double worstDepth = 0.0, worstSpeed = 0.0;
    std::vector<Vec3> last;
    for (const ScriptCommand& c : commands) {
        if (c.kind != CommandKind::Step) {
            applyCommand(c);
            continue;
        }
        for (std::uint32_t n = 0; n < c.steps; ++n) {
            stepWorld();
            if (++steps % every != 0) continue;
            const std::vector<Cube*>& cubes = sceneCubes();
            double speed = 0.0;
            for (std::size_t i = 0; i < cubes.size(); ++i) {
                const Vec3 now = centre(*cubes[i]);
                if (last.size() == cubes.size()) {
                    const Vec3 d{now.x - last[i].x, now.y - last[i].y, now.z - last[i].z};
                    const double moved = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
                    speed = std::max(speed, moved / (every * double(kTimeStep)) / cubes[i]->edge);
                }
                if (i < last.size()) last[i] = now; else last.push_back(now);
            }
            const double depth = deepest();
            std::printf("step %8llu  deepest %.4f edge  fastest centre %.4f edges/s  kinetic %.3f\n",
                        static_cast<unsigned long long>(steps), depth, speed, sceneEnergy().kinetic);
            if (steps >= from) {
                worstDepth = std::max(worstDepth, depth);
                worstSpeed = std::max(worstSpeed, speed);
            }
        }
    }
    std::printf("from step %llu on: deepest %.4f edge, fastest centre %.4f edges/s\n",
                static_cast<unsigned long long>(from), worstDepth, worstSpeed);
    return 0;
}

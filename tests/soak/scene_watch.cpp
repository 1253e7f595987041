#include "scene_watch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/grab.h"
#include "sim/world.h"

namespace {

struct SceneShape {
    std::size_t movingPoints;
    std::size_t springs;
    std::vector<Vec3> fixedEnds;  // points outside the chain that end springs
};

// Row of n cubes: 8 corners and 28 springs, then 4 corners and 22 springs per attached cube.
SceneShape rowShape(std::size_t cubes) { return {4 * cubes + 4, 28 + 22 * (cubes - 1), {}}; }

bool shapeFor(unsigned char key, SceneShape& shape) {
    if (key >= '1' && key <= '7') {
        shape = rowShape(static_cast<std::size_t>(key - '0'));
        return true;
    }
    switch (key) {
        case 's': shape = rowShape(20); return true;
        case 'q':
            // Four cubes whose near face (corners 0, 3, 4, 7 of the first) is cut out of the chain.
            shape = rowShape(4);
            shape.movingPoints -= 4;
            shape.fixedEnds = {{0, -2, 5}, {-1, -2, 5}, {0, -2, 6}, {-1, -2, 6}};
            return true;
        case 'p':
            // Three cubes and four suspension springs to anchors outside the chain.
            shape = rowShape(3);
            shape.springs += 4;
            shape.fixedEnds = {{0, 4, 5.5f}, {0, 5, 5.5f}, {-1, 5, 5.5f}, {-1, 4, 5.5f}};
            return true;
        default: return false;
    }
}

bool sameBits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof(Vec3)) == 0; }
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }
bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool lessXyz(const Vec3& a, const Vec3& b) {
    if (a.x != b.x) return a.x < b.x;
    if (a.y != b.y) return a.y < b.y;
    return a.z < b.z;
}

std::string describe(const Vec3& v) {
    std::ostringstream out;
    out << '(' << v.x << ", " << v.y << ", " << v.z << ')';
    return out.str();
}

}  // namespace

std::string SceneWatch::restarted(unsigned char key) {
    SceneShape shape;
    if (!shapeFor(key, shape)) return "key " + std::to_string(key) + " restarts no scene";
    expectedTime_ = 0.0f;
    head_ = chainHead;
    moving_.clear();
    // Walk one past the expected length at most: a cycle must not hang the watch.
    for (MassPoint* p = chainHead->next; p != nullptr && moving_.size() <= shape.movingPoints; p = p->next) {
        moving_.push_back(p);
    }
    if (moving_.size() != shape.movingPoints) {
        return "scene " + std::string(1, static_cast<char>(key)) + " has " + std::to_string(moving_.size()) +
               " moving points, expected " + std::to_string(shape.movingPoints);
    }
    std::vector<const MassPoint*> sortedMoving(moving_.begin(), moving_.end());
    std::sort(sortedMoving.begin(), sortedMoving.end());

    made_.clear();
    fixed_.clear();
    fixed_.push_back({head_, head_->position, head_->velocity});
    for (const SpringListNode* cell = springList; cell->next != nullptr && made_.size() <= shape.springs;
         cell = cell->next) {
        made_.push_back(cell->spring);
        for (const MassPoint* end : {cell->spring->a, cell->spring->b}) {
            const bool moves = std::binary_search(sortedMoving.begin(), sortedMoving.end(), end);
            const bool known = std::any_of(fixed_.begin(), fixed_.end(), [&](const Fixed& f) { return f.point == end; });
            if (!moves && !known) fixed_.push_back({end, end->position, end->velocity});
        }
    }
    if (made_.size() != shape.springs) {
        return "scene " + std::string(1, static_cast<char>(key)) + " lists " + std::to_string(made_.size()) +
               " springs, expected " + std::to_string(shape.springs);
    }
    std::sort(made_.begin(), made_.end());
    listed_.reserve(made_.size());

    // The fixed ends must be exactly the scene's pinned corners or anchors (the head, which
    // is corner 0 in the wall scene, counts among them only if it ends a spring).
    std::vector<Vec3> ends;
    for (const Fixed& f : fixed_) {
        const bool endsSpring = f.point != head_ || key == 'q';
        if (endsSpring) ends.push_back(f.position);
    }
    std::vector<Vec3> expected = shape.fixedEnds;
    std::sort(ends.begin(), ends.end(), lessXyz);
    std::sort(expected.begin(), expected.end(), lessXyz);
    const bool sameEnds = ends.size() == expected.size() &&
                          std::equal(ends.begin(), ends.end(), expected.begin(), [](const Vec3& a, const Vec3& b) {
                              return sameBits(a, b);
                          });
    if (!sameEnds) {
        return "scene " + std::string(1, static_cast<char>(key)) + " has " + std::to_string(ends.size()) +
               " fixed spring ends, not its pinned corners or anchors";
    }

    reachable_ = std::move(sortedMoving);
    for (const Fixed& f : fixed_) reachable_.push_back(f.point);
    std::sort(reachable_.begin(), reachable_.end());

    for (const MassPoint* p : moving_) {
        if (!finite(p->position) || !finite(p->velocity) || !finite(p->force)) return "a restart made a non-finite point";
    }
    return check();
}

void SceneWatch::stepped() { expectedTime_ = expectedTime_ + 0.0005f; }

std::string SceneWatch::check() {
    if (chainHead != head_) return "chainHead changed without a restart";

    // The chain: the same points in the same order, ending in a null link.
    std::size_t n = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next, ++n) {
        if (n == moving_.size()) return "the chain runs past its " + std::to_string(n) + " points (a cycle?)";
        if (p != moving_[n]) return "chain point " + std::to_string(n) + " is not the one the scene made";
    }
    if (n != moving_.size()) return "the chain ends after " + std::to_string(n) + " of its points";

    // The spring list: springs of this scene, each once, ending in exactly one terminator.
    listed_.clear();
    const SpringListNode* cell = springList;
    for (; cell->next != nullptr; cell = cell->next) {
        if (listed_.size() == made_.size()) return "springList runs past the springs the scene made (a cycle?)";
        if (cell->spring == nullptr) return "springList has an empty cell before its end";
        listed_.push_back(cell->spring);
    }
    if (cell->spring != nullptr) return "springList's last cell holds a spring";
    std::sort(listed_.begin(), listed_.end());
    if (std::adjacent_find(listed_.begin(), listed_.end()) != listed_.end()) return "a spring is listed twice";
    for (const Spring* s : listed_) {
        if (!std::binary_search(made_.begin(), made_.end(), s)) return "a listed spring is not of this scene";
        if (!std::binary_search(reachable_.begin(), reachable_.end(), s->a) ||
            !std::binary_search(reachable_.begin(), reachable_.end(), s->b)) {
            return "a listed spring ends at a point that is neither moving nor fixed";
        }
    }

    for (const Fixed& f : fixed_) {
        if (!sameBits(f.point->position, f.position) || !sameBits(f.point->velocity, f.velocity)) {
            return "fixed point at " + describe(f.position) + " moved to " + describe(f.point->position);
        }
    }

    if (!sameBits(simTime, expectedTime_)) {
        std::ostringstream out;
        out.precision(9);
        out << "simTime " << simTime << " differs from the sum of the steps, " << expectedTime_;
        return out.str();
    }
    if (pushStepsLeft < 0) return "pushStepsLeft fell below 0";
    return {};
}

bool SceneWatch::anyNonFinite() const {
    return std::any_of(moving_.begin(), moving_.end(), [](const MassPoint* p) {
        return !finite(p->position) || !finite(p->velocity) || !finite(p->force);
    });
}

std::string SceneWatch::checkFinite() const {
    for (std::size_t i = 0; i < moving_.size(); ++i) {
        const MassPoint& p = *moving_[i];
        if (!finite(p.position) || !finite(p.velocity) || !finite(p.force)) {
            return "moving point " + std::to_string(i) + " is not finite: position " + describe(p.position) +
                   ", velocity " + describe(p.velocity) + ", force " + describe(p.force);
        }
    }
    return {};
}

std::string SceneWatch::checkGrab() const {
    if (grab.point == nullptr) return grab.number == -1 ? std::string{} : "the grab holds nothing but keeps a number";
    if (grab.number < 0 || static_cast<std::size_t>(grab.number) >= moving_.size() ||
        moving_[static_cast<std::size_t>(grab.number)] != grab.point) {
        return "the grab holds a point that is not moving point " + std::to_string(grab.number) + " of this scene";
    }
    if (!finite(grab.target)) return "the grab's target is not finite: " + describe(grab.target);
    return {};
}

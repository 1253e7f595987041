#include "model/step_tables.h"

#include <algorithm>

namespace {

// Room at least doubles, so that making a scene object by object costs amortised constant time.
template <class T>
void keepRoom(std::vector<T>& v, std::size_t n) {
    if (n > v.capacity()) v.reserve(std::max(n, 2 * v.capacity()));
}

}  // namespace

void StepTables::grow(std::size_t pointCount, std::size_t springCount, std::size_t elementCount) {
    keepRoom(chain, pointCount);
    keepRoom(chainRows, pointCount);
    keepRoom(fixedRows, pointCount);
    keepRoom(pointOf, pointCount);
    keepRoom(role, pointCount);
    keepRoom(rows, pointCount);
    keepRoom(force, pointCount);
    keepRoom(springs, springCount);
    keepRoom(ends, springCount + kSpringGroup);
    keepRoom(stiffness, springCount + kSpringGroup);
    keepRoom(restLength, springCount + kSpringGroup);
    keepRoom(tearForce, springCount + kSpringGroup);
    keepRoom(listPosition, springCount);
    keepRoom(damping, springCount);
    keepRoom(forceless, springCount);
    keepRoom(elements, elementCount);
    keepRoom(corners, elementCount);
    keepRoom(restVolume, elementCount);
    keepRoom(chainPosition, elementCount);
    reservedPoints_ = pointCount;
    reservedSprings_ = springCount;
    reservedElements_ = elementCount;
}

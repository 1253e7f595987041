#pragma once

// The scene as the step reads it: the points as flat rows, and the listed springs and the
// volume elements as tables of row numbers, in their list and chain order, with copies of each
// spring's stiffness, rest length and tear force and each element's rest volume. The objects
// stay the scene's state: the step builds the tables from them whenever the scene's links have
// changed or a key was pressed, and copies the new rest lengths and volumes after each plastic
// yield, the one change to them while a scene runs. A scene's storage keeps room for its tables
// as objects are made, so that the step fills them without allocating.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/lanes.h"

struct MassPoint;
struct Spring;
struct SpringListNode;
struct VolumeElement;

// A point's position and velocity, each x, y, z and a fourth lane that nothing reads.
struct PointRow {
    Lanes position;
    Lanes velocity;
};

// The rows of a spring's ends and of an element's corners.
struct SpringEnds {
    std::uint32_t a;
    std::uint32_t b;
};
struct ElementCorners {
    std::uint32_t c[4];
};

// How a point takes part in a step.
enum class RowRole : std::uint8_t {
    unused,   // read by no pass
    moving,   // in the chain: cleared, pushed, integrated
    cleared,  // an end of a listed spring outside the chain: cleared, never moved
    carried,  // only a corner of elements: its force carries over and gathers volume forces
};

// Springs are handled eight at a time; the tables by list position run this many entries past
// the last spring, copies of it, so that every group of eight reads eight entries.
constexpr std::size_t kSpringGroup = 8;

struct StepTables {
    // Keeps room for scenes of this many points, springs and elements.
    void reserve(std::size_t pointCount, std::size_t springCount, std::size_t elementCount) {
        if (pointCount > reservedPoints_ || springCount > reservedSprings_ || elementCount > reservedElements_) {
            grow(pointCount, springCount, elementCount);
        }
    }

    bool built = false;
    bool unfit = false;  // the last build failed, and no link has changed through an operation since

    // What the tables were built from, in order.
    MassPoint* chainHead = nullptr;
    std::vector<MassPoint*> chain;         // the moving points, in chain order
    SpringListNode* listHead = nullptr;    // the head cell of the scene's list
    SpringListNode* terminator = nullptr;  // and its terminator
    std::vector<Spring*> springs;          // the listed springs, in list order
    std::vector<VolumeElement*> elements;  // the elements, in chain order

    // A point's row is its slot in the scene's storage.
    std::vector<std::uint32_t> chainRows;    // by chain position
    std::vector<std::uint32_t> fixedRows;    // rows of the other points that the step reads
    std::vector<SpringEnds> ends;            // by list position (padded)
    std::vector<float> stiffness;            // by list position (padded)
    std::vector<float> restLength;           // by list position (padded)
    std::vector<float> tearForce;            // by list position (padded)
    std::vector<ElementCorners> corners;     // by element chain position
    std::vector<float> restVolume;           // by element chain position
    std::vector<MassPoint*> pointOf;         // by row
    std::vector<RowRole> role;               // by row
    std::vector<std::uint32_t> listPosition;  // by spring slot: position in the list, or kNotListed
    std::vector<std::uint32_t> chainPosition;  // by element slot: position in the chain, or kNotListed
    static constexpr std::uint32_t kNotListed = static_cast<std::uint32_t>(-1);

    // Filled and read within one step.
    std::vector<PointRow> rows;            // by row
    std::vector<Lanes> force;              // by row: x, y, z and a lane that nothing reads
    std::vector<Lanes> damping;            // by list position: damping force on a
    std::vector<std::uint32_t> forceless;  // list positions of springs that add nothing this step

private:
    void grow(std::size_t pointCount, std::size_t springCount, std::size_t elementCount);

    std::size_t reservedPoints_ = 0;
    std::size_t reservedSprings_ = 0;
    std::size_t reservedElements_ = 0;
};

#pragma once

#include "model/mass_point.h"
#include "sim/world.h"

// The room acts on one point at a time. Every bound is inclusive. Defined here so that the
// step's integration inlines them.

// On the floor patch: floorZ - floorBand <= z <= floorZ and roomMinX <= x <= roomMaxX.
inline bool isOnFloor(const MassPoint& p) {
    return p.position.z <= floorZ && p.position.z >= floorZ - floorBand && p.position.x <= roomMaxX &&
           p.position.x >= roomMinX;
}

// After the velocity update: reverses y at or beyond a wall, z on the floor and at or above
// the ceiling, then applies floor friction to x and y.
inline void bounceVelocity(MassPoint& p) {
    if (p.position.y <= roomMinY || p.position.y >= roomMaxY) p.velocity.y = -p.velocity.y;
    if (isOnFloor(p)) p.velocity.z = -p.velocity.z;
    if (p.position.z >= roomMaxZ) p.velocity.z = -p.velocity.z;
    if (isOnFloor(p)) {
        p.velocity.x = floorFriction * p.velocity.x;
        p.velocity.y = floorFriction * p.velocity.y;
    }
}

// After the position update: moves the point back onto the walls and the ceiling and snaps
// a point in the floor band onto the floor.
inline void clampPosition(MassPoint& p) {
    if (p.position.y <= roomMinY) p.position.y = roomMinY;
    if (p.position.y >= roomMaxY) p.position.y = roomMaxY;
    if (p.position.z >= roomMaxZ) p.position.z = roomMaxZ;
    if (isOnFloor(p)) p.position.z = floorZ;
}

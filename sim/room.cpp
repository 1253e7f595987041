#include "sim/room.h"

#include "model/mass_point.h"
#include "sim/world.h"

bool isOnFloor(const MassPoint& p) {
    return p.position.z <= floorZ && p.position.z >= floorZ - floorBand && p.position.x <= roomMaxX &&
           p.position.x >= roomMinX;
}

void bounceVelocity(MassPoint& p) {
    if (p.position.y <= roomMinY || p.position.y >= roomMaxY) p.velocity.y = -p.velocity.y;
    if (isOnFloor(p)) p.velocity.z = -p.velocity.z;
    if (p.position.z >= roomMaxZ) p.velocity.z = -p.velocity.z;
    if (isOnFloor(p)) {
        p.velocity.x = floorFriction * p.velocity.x;
        p.velocity.y = floorFriction * p.velocity.y;
    }
}

void clampPosition(MassPoint& p) {
    if (p.position.y <= roomMinY) p.position.y = roomMinY;
    if (p.position.y >= roomMaxY) p.position.y = roomMaxY;
    if (p.position.z >= roomMaxZ) p.position.z = roomMaxZ;
    if (isOnFloor(p)) p.position.z = floorZ;
}

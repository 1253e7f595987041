#pragma once

struct MassPoint;

// The room acts on one point at a time. Every bound is inclusive.

// On the floor patch: floorZ - floorBand <= z <= floorZ and roomMinX <= x <= roomMaxX.
bool isOnFloor(const MassPoint& p);
// After the velocity update: reverses y at or beyond a wall, z on the floor and at or above
// the ceiling, then applies floor friction to x and y.
void bounceVelocity(MassPoint& p);
// After the position update: moves the point back onto the walls and the ceiling and snaps
// a point in the floor band onto the floor.
void clampPosition(MassPoint& p);

#pragma once

#include "model/vec3.h"

struct Spring;
struct SpringListNode;

// A point mass. Points behind the chain head (the PointChain) are the scene's moving points;
// a point in no chain never moves and serves as a fixed anchor for springs and elements.
struct MassPoint {
    // Joins the PointChain that starts at chainHead as its last point; a null chainHead
    // makes a point in no chain. Velocity is copied; damping before mass.
    MassPoint(float x, float y, float z, const Vec3& velocity, float damping, float mass, MassPoint* chainHead);

    // Appends a spring that ends at this point to its own list.
    void attachSpring(Spring* spring);
    void addForce(const Vec3& v);

    // Semi-implicit Euler: each velocity component becomes ((f - v*damping) / mass) * dt + v.
    void integrateVelocity(float dt);
    // Each position component becomes p + dt * v, with the velocity just updated.
    void integratePosition(float dt) {
        position.x = position.x + dt * velocity.x;
        position.y = position.y + dt * velocity.y;
        position.z = position.z + dt * velocity.z;
    }

    float mass;        // mass units
    Vec3 position;     // scene units, z up
    Vec3 velocity;     // units/s
    Vec3 force;        // accumulated during the current step, mass units x units/s^2
    float damping;     // the point's own linear drag, force per unit of velocity
    SpringListNode* springs;  // head cell of the point's own list; only appended to, never shortened
    MassPoint* next = nullptr;  // next point of the PointChain, null at its end
};

#pragma once

#include "model/lanes.h"
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
    inline void integrateVelocity(float dt);
    // The same with the force given as x, y, z and a fourth lane that is not used.
    inline void integrateVelocity(Lanes f, float dt);
    // Each position component becomes p + dt * v, with the velocity just updated.
    inline void integratePosition(float dt);

    float mass;        // mass units
    Vec3 position;     // scene units, z up
    Vec3 velocity;     // units/s
    Vec3 force;        // accumulated during the current step, mass units x units/s^2
    float damping;     // the point's own linear drag, force per unit of velocity
    SpringListNode* springs;  // head cell of the point's own list; only appended to, never shortened
    MassPoint* next = nullptr;  // next point of the PointChain, null at its end
};

// Defined here so that the step's passes over the chain inline them. The three components go
// through the same operations side by side in lanes.
void MassPoint::integrateVelocity(float dt) { integrateVelocity(loadVec3(force), dt); }

void MassPoint::integrateVelocity(Lanes f, float dt) {
    const Lanes v = loadVec3After(velocity);
    const Lanes fresh = ((f - v * Lanes{damping, damping, damping, damping}) / Lanes{mass, mass, mass, mass}) *
                            Lanes{dt, dt, dt, dt} +
                        v;
    velocity.x = fresh[0];
    velocity.y = fresh[1];
    velocity.z = fresh[2];
}

void MassPoint::integratePosition(float dt) {
    position.x = position.x + dt * velocity.x;
    position.y = position.y + dt * velocity.y;
    position.z = position.z + dt * velocity.z;
}

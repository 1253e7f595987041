#include "model/mass_point.h"

#include "model/scene_storage.h"
#include "model/spring_list.h"

MassPoint::MassPoint(float x, float y, float z, const Vec3& startVelocity, float ownDamping, float ownMass,
                     MassPoint* chainHead)
    : mass(ownMass), position{x, y, z}, velocity(startVelocity), damping(ownDamping), springs(newSpringList()) {
    if (chainHead == nullptr) return;
    // Join the chain behind its last point. Building a scene appends thousands of points, so
    // the walk starts from the last point remembered for this chain.
    EndHints& hints = sceneStorage().hints;
    MassPoint* last = hints.chainHead == chainHead ? hints.chainLast : chainHead;
    while (last->next != nullptr) last = last->next;
    last->next = this;
    hints.chainHead = chainHead;
    hints.chainLast = this;
}

void MassPoint::attachSpring(Spring* spring) { springs->append(spring); }

void MassPoint::addForce(const Vec3& v) {
    force.x += v.x;
    force.y += v.y;
    force.z += v.z;
}

void MassPoint::integrateVelocity(float dt) {
    velocity.x = ((force.x - velocity.x * damping) / mass) * dt + velocity.x;
    velocity.y = ((force.y - velocity.y * damping) / mass) * dt + velocity.y;
    velocity.z = ((force.z - velocity.z * damping) / mass) * dt + velocity.z;
}

void MassPoint::integratePosition(float dt) {
    position.x = position.x + dt * velocity.x;
    position.y = position.y + dt * velocity.y;
    position.z = position.z + dt * velocity.z;
}

#include "model/mass_point.h"

#include "model/force_laws.h"
#include "model/scene_storage.h"
#include "model/spring_list.h"

MassPoint::MassPoint(float x, float y, float z, const Vec3& startVelocity, float ownDamping, float ownMass,
                     MassPoint* chainHead)
    : mass(ownMass), position{x, y, z}, velocity(startVelocity), damping(ownDamping), springs(newPointSpringList()) {
    if (chainHead == nullptr) return;
    // Join the chain behind its last point. Building a scene appends thousands of points, so
    // the walk starts from the last point remembered for this chain.
    EndHints& hints = sceneStorage().hints;
    MassPoint* last = hints.chainHead == chainHead ? hints.chainLast : chainHead;
    while (last->next != nullptr) last = last->next;
    last->next = this;
    hints.chainHead = chainHead;
    hints.chainLast = this;
    ChainPredecessors& links = sceneStorage().chainBefore;
    if (links.head == chainHead) links.before[this] = last;
    ++sceneStorage().linkEdits;
}

void MassPoint::attachSpring(Spring* spring) { springs->appendToPointList(spring); }

void MassPoint::addForce(const Vec3& v) {
    force.x += v.x;
    force.y += v.y;
    force.z += v.z;
}

void MassPoint::integrateVelocity(float dt) {
    velocity.x = updatedVelocity(velocity.x, force.x, damping, mass, dt);
    velocity.y = updatedVelocity(velocity.y, force.y, damping, mass, dt);
    velocity.z = updatedVelocity(velocity.z, force.z, damping, mass, dt);
}

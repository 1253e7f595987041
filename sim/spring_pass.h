#pragma once

// Has the next applySpringForces measure, on its walk over the springs, every spring's damping
// force with this coefficient (force per unit of length change per second). The next
// applySpringDamping with the same coefficient adds those forces instead of walking the springs
// again: the step calls nothing in between that moves a point. A walk in which a spring tears
// measures nothing, and the damping pass then walks the list as it now stands.
void measureDampingOnNextSpringWalk(float coefficient);

#pragma once

// The scene's mechanical energy, for display (the page's plot): read from the world, never
// fed back into the step. Mass units x (scene units / s)^2, summed in double.
struct SceneEnergy {
    double kinetic = 0.0;        // sum of mass * |velocity|^2 / 2 over the moving points
    double gravitational = 0.0;  // potential of the gravity the step applies, zero at floorZ
    double spring = 0.0;         // sum of stiffness * (length - restLength)^2 / 2 over listed springs
};

// The step gives every moving point the same gravity, the gravity setting (9.81 by design)
// times the mass of the lead cube's corner 0, whatever its own mass; the gravitational energy is the potential of that force
// (zero while gravity is off). Volume elements and the push add no energy term.
SceneEnergy sceneEnergy();

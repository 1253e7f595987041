#pragma once

#include "sim/world.h"  // sceneCubes

// The prepared scenes. Each begins with resetScene() and stores its results in the scene
// globals (springList, chainHead, volumeElements, leadCube, secondCube, tailCube).

// Releases the current scene and starts an empty one: a new empty springList, a new chain
// head at the origin, simTime 0, and no cubes or elements. Flags, push and pacing state stay.
void resetScene();

// A row of n cubes (1 to 7) along +y from origin (0, 0, 2); leadCube is the first.
void buildRowScene(int n);
// A row of twenty cubes of edge 0.5 reaching the far wall; leadCube ends as the last.
void buildSmallCubesScene();
// A row of four cubes whose first cube's near face is pinned to the near wall.
void buildWallScene();
// Three cubes of mass 3 hanging from four fixed anchors; no volume elements.
void buildPendulumScene();

// Attaches a cube with low tear force to base and hangs its eight elements behind volumeElements.
Cube* attachCube(const Cube& base);

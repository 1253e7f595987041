#pragma once

// Scenes written out as commands instead of chosen by key. Each operation builds into the
// current scene at once, with the constructors the prepared scenes use, so a scene written as
// the prepared ones are built leaves the world exactly as its key does. Cubes are numbered
// from 1 in the order the scene made them (the prepared scenes' cubes too). The values have
// been checked by the script reader (sizes and masses positive, and so on); a cube number
// that the scene does not have makes an operation do nothing.

#include "model/vec3.h"

// A free cube: corner 0 at `origin`, reaching toward -x, +y and +z by `edge`.
struct FreeCubeArgs {
    Vec3 origin;      // scene units
    float edge;       // scene units
    float stiffness;  // of its 28 springs, force per unit of length change (before the stiffness scale)
    float mass;       // of each corner
    float damping;    // each corner's own drag, force per unit/s
    float tearForce;  // of its springs
    bool elements;    // with its eight volume elements
};

// An empty scene: no cubes, no springs, simTime 0. Flags, settings and the push stay.
void startEmptyScene();
// A free cube. The first cube of a scene becomes its lead cube.
void buildFreeCube(const FreeCubeArgs& cube);
// `count` cubes, each against the far face of the cube made last (edge, stiffness, mass and
// damping from it), with new springs of `tearForce`.
void attachCubes(int count, float tearForce, bool elements);
// Takes the corners in `corners` (bits) of cube `cube` out of the moving chain: they stay where
// they are for good, and hold the body through their springs and elements.
void pinCorners(int cube, unsigned corners);
// A fixed point at `at` joined to corner `corner` of cube `cube` by a spring (end a the anchor);
// a rest length of 0 takes the start distance.
void anchorCorner(const Vec3& at, int cube, int corner, float stiffness, float tearForce, float restLength);
// The camera follows cube `cube`, and gravity takes the mass of its corner 0.
void chooseLeadCube(int cube);
// Reads the step's order of the scene now, as the keys do, so that the next step allocates nothing.
void finishBuilding();

#pragma once

// The step's passes over the flat tables of the scene (see model/step_tables.h). Together, in
// the order of stepWorld, they give every point the very bits that the passes over the objects
// give: each force receives the same additions in the same order, each through the same
// float operations.

struct StepTables;
struct Vec3;

// Copies the position and velocity of every point the tables use into its row, and starts its
// force: zero for moving points and ends of listed springs, the force it has for the others.
// Returns false, with rows partly loaded, when the chain is no longer the one the tables were
// built from.
bool loadRows(StepTables& tables);

// The elastic force of every listed spring, in list order, after a plastic yield while
// plasticOn is set and with tearing while breakableOn is set; each spring's damping force
// (coefficient in force per unit of length change per second) is measured on the way and kept
// for addRecordedDamping.
void addSpringForces(StepTables& tables, float dampingCoefficient);
// The damping forces measured by addSpringForces, in list order.
void addRecordedDamping(StepTables& tables);

// Adds f to the force of every moving point.
void addToMovingRows(StepTables& tables, const Vec3& f);

// The volume force of every element, in chain order, with stiffness k (force per unit^3).
// Elements hung on behind the tables' last element, or a chain that no longer starts with the
// tables' first, still get their forces, and the tables are marked for building anew.
void addVolumeForces(StepTables& tables, float k);

// Stores the force of every point the tables use, and integrates the moving points: velocity
// update and the room's velocity rules, position update and the room's position rules.
void storeAndIntegrate(StepTables& tables, float dt);

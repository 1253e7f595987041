#pragma once

class SceneStorage;
struct Spring;
struct StepTables;

// Whether the heads and the scene's list are those the tables were built from: the same
// chain head, list cells and listed springs, in the same order. The moving points are checked
// as their rows are loaded, and the elements as their forces are added. A spring's ends and an
// element's corners never change once made, so they are not compared.
bool listMatchesTables(const StepTables& tables);

// Builds the tables from the current scene. Returns false, leaving them unbuilt, when the scene
// does not fit them: a point or spring made outside the scene's storage, a spring listed twice,
// or an element made outside it or met twice. The step then goes object by object.
bool buildTables(StepTables& tables, const SceneStorage& storage);

// After `spring` yielded: copies its new rest length, those of the edges of its elements and
// their new rest volumes into the tables.
void copyRestStateAfterYield(StepTables& tables, const Spring& spring);

// Has the step build its tables anew before the next step, reading every spring's stiffness,
// rest length and tear force and every element's rest volume again. Every key press calls it; code that changes those by hand
// between steps calls it too.
void markSceneEdited();

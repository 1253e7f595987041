#pragma once

class SceneStorage;
struct Spring;
struct StepTables;

// Whether the tables still stand for the scene: built, with the same chain head, the same head
// cell of the scene's list and its terminator still last. The tables are marked for building
// anew by every operation that links or unlinks a spring or hangs on elements, and by every key
// press; the moving points are checked link by link as their rows are loaded, and the element
// chain's first and last links as their forces are added. Code that relinks cells or elements
// by hand between steps calls markSceneEdited(). A spring's ends and an element's corners never
// change once made.
bool headsMatchTables(const StepTables& tables);

// Builds the tables from the current scene. Returns false, leaving them unbuilt, when the scene
// does not fit them: a point or spring made outside the scene's storage, a spring listed twice,
// or an element made outside it or met twice. The step then goes object by object.
bool buildTables(StepTables& tables, const SceneStorage& storage);

// Whether the last build failed and the heads are still those it met: the step then stays object
// by object without trying again, until an operation changes the links or a key is pressed.
bool stillUnfit(const StepTables& tables);

// After `spring` yielded: copies its new rest length, those of the edges of its elements and
// their new rest volumes into the tables.
void copyRestStateAfterYield(StepTables& tables, const Spring& spring);

// Has the step build its tables anew before the next step, reading every spring's stiffness,
// rest length and tear force and every element's rest volume again. Every key press calls it; code that changes those by hand
// between steps calls it too.
void markSceneEdited();

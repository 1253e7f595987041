#pragma once

class SceneStorage;
struct StepTables;

// Whether the tables were built from the scene as it stands: the same chain head and moving
// points, the same listed springs and the same elements, each in the same order. A spring's
// ends and an element's corners never change once made, so they are not compared.
bool tablesMatchScene(const StepTables& tables);

// Builds the tables from the current scene. Returns false, leaving them unbuilt, when the scene
// does not fit them: a point or spring made outside the scene's storage, a spring listed twice,
// or more elements than the storage made. The step then goes object by object.
bool buildTables(StepTables& tables, const SceneStorage& storage);

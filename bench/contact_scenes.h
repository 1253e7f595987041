#pragma once

// Scenes in which cubes touch, for the step traces, the push sweep, the soak and the step's
// allocation count. Each is built from the scene commands into a new scene, under the switches
// and settings as they are (contact is the caller's to switch on), and its order is read, so
// that its first step allocates nothing.

enum class ContactScene {
    Tower,           // five unit cubes stacked on the floor, 0.05 apart
    Pile,            // five blocks of different edges, masses, stiffnesses and drags, dropped onto each other
    CornerDrop,      // a cube of edge 0.6 dropped onto the top corner of a unit cube standing on the floor
    Crate,           // 27 unit cubes in a 3 x 3 x 3 stack on the floor, 0.02 apart
    TornRow,         // a row of ten hung at one end by weak links: with tearing on (key z) it falls in pieces
    Slab,            // examples/scenes/slab.sim: 1024 cubes of edge 0.15 in 32 rows, landing in a ripple
    SlabWithBlocks,  // the slab with three blocks of other sizes and masses dropped onto it
};
inline constexpr ContactScene kContactScenes[] = {ContactScene::Tower,   ContactScene::Pile,
                                                  ContactScene::CornerDrop, ContactScene::Crate,
                                                  ContactScene::TornRow, ContactScene::Slab,
                                                  ContactScene::SlabWithBlocks};

const char* contactSceneName(ContactScene scene);
void buildContactScene(ContactScene scene);

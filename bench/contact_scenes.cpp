#include "contact_scenes.h"

#include <initializer_list>

#include "interaction/scene_commands.h"

namespace {

// A cube as the script's `cube` builds it, with the script's defaults.
struct Block {
    float x, y, z;
    float edge = 1.0f;
    float mass = 1.0f;
    float stiffness = 1660.0f;
    float damping = 0.2f;
    bool elements = true;
    float tear = 700.0f;
};

void block(const Block& b) {
    buildFreeCube(FreeCubeArgs{Vec3{b.x, b.y, b.z}, b.edge, b.stiffness, b.mass, b.damping, b.tear, b.elements});
}

// The slab of examples/scenes/slab.sim: each row 0.17 nearer -x and 0.04 higher than the last.
void slab() {
    for (int row = 0; row < 32; ++row) {
        block({1.8f - 0.17f * static_cast<float>(row), 0.0f, 1.5f + 0.04f * static_cast<float>(row), 0.15f, 1.0f, 5000.0f});
        attachCubes(31, 700.0f, true);
    }
    chooseLeadCube(513);
}

}  // namespace

const char* contactSceneName(ContactScene scene) {
    switch (scene) {
        case ContactScene::Tower: return "tower";
        case ContactScene::Pile: return "pile";
        case ContactScene::CornerDrop: return "corner drop";
        case ContactScene::Crate: return "crate";
        case ContactScene::TornRow: return "torn row";
        case ContactScene::Slab: return "slab";
        case ContactScene::SlabWithBlocks: return "slab with blocks";
    }
    return "?";
}

void buildContactScene(ContactScene scene) {
    startEmptyScene();
    switch (scene) {
        case ContactScene::Tower:
            for (int k = 0; k < 5; ++k) block({0.0f, 0.0f, 0.05f + 1.05f * static_cast<float>(k)});
            break;
        case ContactScene::Pile:
            block({0.5f, 0.0f, 0.1f, 1.5f, 3.0f});
            block({0.2f, 0.3f, 2.0f});
            block({-0.2f, 0.2f, 3.5f, 0.7f, 0.5f, 400.0f, 0.05f});
            block({0.6f, 0.8f, 5.0f, 0.5f, 2.0f, 3000.0f});
            block({0.0f, -0.3f, 6.5f, 1.2f, 0.3f, 1660.0f, 0.2f, false});
            break;
        case ContactScene::CornerDrop:
            block({0.0f, 0.0f, 0.01f});
            block({-0.7f, 0.7f, 2.0f, 0.6f});
            break;
        case ContactScene::Crate:
            for (int layer = 0; layer < 3; ++layer) {
                for (int row = 0; row < 3; ++row) {
                    for (int k = 0; k < 3; ++k) {
                        block({-1.02f * static_cast<float>(row), 1.02f * static_cast<float>(k),
                               0.02f + 1.02f * static_cast<float>(layer)});
                    }
                }
            }
            break;
        case ContactScene::TornRow:
            // A row of nine lying on the floor, and above it a row of ten hung at its first cube
            // by four anchors, as examples/scenes/tearing-chain.sim hangs one, with weak links:
            // it swings down onto the row below and, with tearing on, breaks into pieces that
            // fall onto it and onto each other.
            block({0.0f, 0.0f, 0.01f});
            attachCubes(8, 700.0f, true);
            block({0.0f, 0.0f, 6.0f, 1.0f, 1.0f, 1660.0f, 0.2f, false, 7000.0f});
            attachCubes(9, 350.0f, false);
            for (const int corner : {0, 4, 7, 3}) {
                const Vec3 at{corner == 0 || corner == 4 ? 0.0f : -1.0f, -1.0f, corner < 4 ? 6.0f : 7.0f};
                anchorCorner(at, 10, corner, 1000.0f, 7000.0f, 0.5f);
            }
            break;
        case ContactScene::Slab: slab(); break;
        case ContactScene::SlabWithBlocks:
            slab();
            block({0.5f, 1.0f, 3.5f});
            block({-1.5f, 2.5f, 4.0f, 0.6f, 2.0f});
            block({-2.2f, 0.5f, 5.0f, 1.2f, 0.5f});
            break;
    }
    finishBuilding();
}

#include "cube_rows.h"

#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/scene_storage.h"
#include "model/volume_element.h"
#include "sim/world.h"

namespace {
constexpr int kCubesPerRow = 10;
constexpr float kRowSpacing = 1.5f;  // scene units between the origins of neighbouring rows
}  // namespace

void buildCubeRows(int cubes) {
    resetScene();
    int made = 0;
    for (int row = 0; made < cubes; ++row) {
        Cube* tail = make<Cube>(-kRowSpacing * static_cast<float>(row), 0.0f, 2.0f, 0.2f, 1.0f, standardStiffness,
                                standardEdge, springList, chainHead, tearForceLow);
        sceneCubes().push_back(tail);  // numbered as the scene commands number cubes, so contact sees it
        VolumeElement* elements = tail->buildElements();
        if (row == 0) {
            leadCube = tail;
            volumeElements = elements;
        } else {
            appendElementChain(volumeElements, elements);
        }
        ++made;
        for (int k = 1; k < kCubesPerRow && made < cubes; ++k, ++made) tail = attachCube(*tail);
    }
}

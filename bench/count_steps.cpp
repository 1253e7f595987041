// Runs a fixed number of steps of rows of cubes, for instruction counts under callgrind.
// Usage: tremblo_count CUBES STEPS [contact|off]
//   contact: with contact between cubes on. With either word the scene's order is read when it
//   is built, as the front ends do, so that a count of the steps less a count without them is
//   the steps alone; without it the first step reads it.
#include <cstdlib>
#include <cstring>

#include "cube_rows.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/time_step.h"
#include "sim/world.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    gravityOn = false;
    if (argc > 3 && std::strcmp(argv[3], "contact") == 0) settings.contact = 1.0f;
    buildCubeRows(std::atoi(argv[1]));
    if (argc > 3) sceneOrder();
    for (int i = 0, n = std::atoi(argv[2]); i < n; ++i) stepWorld();
    return 0;
}

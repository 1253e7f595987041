// Runs a fixed number of steps of rows of cubes, for instruction counts under callgrind.
// Usage: tremblo_count CUBES STEPS
#include <cstdlib>

#include "cube_rows.h"
#include "sim/time_step.h"
#include "sim/world.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    gravityOn = false;
    buildCubeRows(std::atoi(argv[1]));
    for (int i = 0, n = std::atoi(argv[2]); i < n; ++i) stepWorld();
    return 0;
}

// Runs a fixed number of steps of rows of cubes, for instruction counts under callgrind.
// Usage: tremblo_count CUBES STEPS [contact]   (contact: with contact between cubes on)
#include <cstdlib>

#include "cube_rows.h"
#include <cstring>

#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    gravityOn = false;
    if (argc > 3 && std::strcmp(argv[3], "contact") == 0) settings.contact = 1.0f;
    buildCubeRows(std::atoi(argv[1]));
    for (int i = 0, n = std::atoi(argv[2]); i < n; ++i) stepWorld();
    return 0;
}

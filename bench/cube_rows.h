#pragma once

// Bigger bodies built from the same parts as the prepared scenes: rows of ten unit cubes along
// +y, each row a free cube with attached cubes behind it, rows side by side along -x, 1.5
// apart. Every cube gets its eight volume elements; leadCube is the first cube.

// Releases the current scene and builds `cubes` cubes in all (the last row may be shorter).
void buildCubeRows(int cubes);

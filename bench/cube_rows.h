#pragma once

// Bigger bodies built from the same parts as the prepared scenes: rows of ten unit cubes along
// +y, each row a free cube with attached cubes behind it, rows side by side along -x, 1.5
// apart. Every cube gets its eight volume elements and is one of the scene's cubes (sceneCubes),
// as a scene written as commands has them; leadCube is the first cube. Rows are 0.5 apart, so no
// two bodies touch.

// Releases the current scene and builds `cubes` cubes in all (the last row may be shorter).
void buildCubeRows(int cubes);

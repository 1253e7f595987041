#pragma once

// What the current scene holds, for status lines and summaries.

// Points behind the chain's head (the ones the step moves).
int countMovingPoints();
// Springs in the list (torn ones have left it).
int countActiveSprings();
// True when every moving point's position and velocity is finite.
bool movingPointsFinite();

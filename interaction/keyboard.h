#pragma once

// The keyboard callback: '1'..'7', 's', 'q', 'p' restart a scene; 'g', 'v', 'i', 'u', 'z',
// 'x' flip a flag; every other key (upper case included) does nothing. x and y, the mouse
// position, are ignored.
void onKey(unsigned char key, int x, int y);

// True for the keys that restart a scene.
bool startsScene(unsigned char key);

#include "interaction/keyboard.h"

#include "interaction/scenes.h"
#include "sim/step_order.h"
#include "sim/world.h"

void onKey(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
        case '1': case '2': case '3': case '4': case '5': case '6': case '7':
            buildRowScene(key - '0');
            break;
        case 's': buildSmallCubesScene(); break;
        case 'q': buildWallScene(); break;
        case 'p': buildPendulumScene(); break;
        case 'g': gravityOn = !gravityOn; break;
        case 'v':
        case 'i': volumeOn = !volumeOn; break;
        case 'u': plasticOn = !plasticOn; break;
        case 'z': breakableOn = !breakableOn; break;
        case 'x': pushPlaneYZ = !pushPlaneYZ; break;
        default: break;
    }
    // The step's order of a new scene is read now, so that stepping allocates nothing.
    sceneOrder();
}

bool startsScene(unsigned char key) { return (key >= '1' && key <= '7') || key == 's' || key == 'q' || key == 'p'; }

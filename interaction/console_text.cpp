#include "interaction/console_text.h"

const char* const consoleTexts[kConsoleTextCount] = {
    "tremblo 0.1\n",
    "*********************\n\n",
    "press '1' up to '7' to restart with 'x' cubes\n",
    "press 'x' to use forces in xz direction, x again for yz direction.\n",
    "press '3' to restart with three cubes\n",
    "press 'p' to restart with a pendulum\n",
    "press 'q' to restart with a cube, sticky to the wall.\n",
    "press 'z' to make the springs destroyable/undestroyable\n",
    "press 'u' to make the springs plastic/elastic\n",
    "press 'g' to turn on/off the gravity\n",
    "press 'v' to turn on/off the volume constraint\n",
};

// Minimal interaction until the mouse and keyboard commands land.
#include <cstdlib>

#include "input/input.h"
#include "platform/platform.h"

void onMouse(int, int, int, int) {}
void onMotion(int, int) {}

void onIdle()
{
    platformSleep(5);
}

void onKeyboard(unsigned char key, int, int)
{
    if (key == 27)
        exit(0);
}

void rotatePalette(int) {}

// Interaction: mouse zoom and pan, keyboard commands and palette rotation.
// GLUT callbacks, main thread only, always between frames.
#pragma once

void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onIdle();
void onKeyboard(unsigned char key, int x, int y);
void rotatePalette(int direction);

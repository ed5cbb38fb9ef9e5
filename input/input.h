// Interaction: mouse zoom and pan, keyboard commands and palette rotation.
// GLUT callbacks, main thread only, always between frames. The decisions
// (zoom and pan arithmetic, what a key means, the limit rules, the table
// rotation) are pure functions below, callable without a window.
#pragma once

#include <cstdint>

#include "state/app_state.h"

void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onIdle();
void onKeyboard(unsigned char key, int x, int y);
void rotatePalette(int direction);

// One zoom step of 10 pixel steps per edge, inward or (zoomOut) outward, and
// the step recomputed from the new extent over `width`. Returns false and
// changes nothing when the step would ruin the view: width not positive, a
// zoom-in that leaves no extent or no longer moves xMin, a zoom-out whose
// edges or step are not finite.
bool zoomView(SavedView* edges, double* step, int width, bool zoomOut);

// The view a pan gives: the snapshot shifted by the pointer's total offset
// from the press. Returns false, leaving `view` alone, when an edge would
// not be finite.
bool panView(const SavedView& saved, int pressX, int pressY, int x, int y, double stepX,
             double stepY, SavedView* view);

enum KeyCommand {
    KeyNone,       // no command: the title is refreshed
    KeyQuit,       // Escape
    KeyFpuC,       // '1'
    KeyFpuAsm,     // '2'
    KeySse,        // '3'
    KeyGpu,        // '4'
    KeyRedraw,     // space
    KeyLimit,      // '+' or '-': limitStep says which way and how far
    KeyRotateUp,   // '*'
    KeyRotateDown, // '/'
    KeyBuffering,  // 'd'
    KeyStats,      // 's'
    KeyHelp,       // 'h'
    KeyBenchmark,  // 'b'
};

struct KeyAction {
    KeyCommand command;
    int limitStep;  // +1, -1, +20, -20 for KeyLimit; 0 otherwise
};

// What a key code means, with or without shift. Escape is recognised on the
// code as received; every other code is folded with 0x20 first, so capitals
// act as lower case and some control codes as commands.
KeyAction decodeKey(unsigned char code, bool shift);

// The limit after '+' or '-' by `step`: kept when the new value would fall
// below 1 or reach 9999.
int32_t steppedLimit(int32_t maxIters, int step);

// The GPU program unrolls one block per iteration, so its limit is at most 60.
constexpr int32_t GpuIterationCap = 60;
int32_t cappedForGpu(int32_t maxIters);

// Carries out a key with the given GLUT modifier bits; onKeyboard reads the
// modifiers and hands on.
void runKey(unsigned char code, int modifiers);

// Moves the table of PaletteEntries colours by one entry: direction > 0 gives
// each count the colour of the next lower one (the last wraps to entry 0),
// direction < 0 the next higher one (entry 0 wraps to the last).
void rotatePaletteTable(uint8_t* table, int direction);

// The application shell: start-up, the display and reshape callbacks, the
// projection, the title, the key help and the palette, wiring the folders
// below together. Main thread only.
#pragma once

#include <cstddef>

#include "state/app_state.h"

// Start-up and GLUT callbacks.
int runApplication(int argc, char** argv);
void onDisplay();
void onReshape(int w, int h);
void updateProjection();
void updateTitle();
void printHelp();
void buildPalette(int count, uint8_t red, uint8_t green, uint8_t blue);
// Points app.shell at the operations above, for the folders below to call.
void connectShell();

// What every program of ours does first: a closed standard stream gets
// /dev/null before the X connection can take its number, a console reader
// that goes away ends nothing, and stdout is line-buffered.
void prepareConsole();
// Start-up from the processor report on: the shell's operations, the
// processor report and participants - 1 workers, the start mode, the window
// with its callbacks, the OpenGL state and version report, with `withHelp`
// the key help, and the palette. The explorer and the frame benchmark share it.
void startExplorer(int* argc, char** argv, int participants, bool withHelp);

// vexa_bench --frames: the window zooming in, frame by frame, timed.
struct BenchOptions;
int runFrameBenchmark(const BenchOptions& options, int argc, char** argv);

// Pure pieces, callable without a window.
void composeTitle(char* out, size_t outSize, const char* title, int width, int height, int maxIters,
                  int mode, int cpuCount, const char* renderer);
bool glVersionHasArrays(const char* version);  // true for 1.1 and later
// Records the SSE probe's answer and picks the starting mode from it.
void chooseStartMode(bool sseAvailable);
// Starts up to `requested` workers through `start`; stops at the first
// refusal and returns how many run.
int createWorkers(int requested, bool (*start)(void (*)(int), int, PlatformThread*, uint32_t*));

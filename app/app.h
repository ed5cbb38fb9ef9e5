// The application shell: the one process-wide state record, start-up, the
// display and reshape callbacks, the projection, the title, the key help
// and the palette. Everything declared here runs on the main thread unless
// a field's comment says a worker reads it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

class IterationBuffer;

// Computation back-ends. The value 2 is never used.
enum : int32_t { ModeFpuC = 0, ModeFpuAsm = 1, ModeSse = 3, ModeGpu = 4 };

constexpr int32_t InsideMarker = -1;  // count of a point that never escaped
constexpr int PaletteEntries = 10000;
constexpr int ProgramTextSize = 3757;  // text of 60 unrolled steps plus terminator

struct SavedView {
    double xMin, yMin, xMax, yMax;
};

// All mutable process state. Workers read the fields marked (W) during a
// frame; the main thread changes them only between frames.
struct AppState {
    const char* appTitle = "Vexa v3.0.0b";
    int32_t computeMode = ModeFpuAsm;  // (W) active back-end
    int32_t maxIters = 40;             // (W) iteration limit, 1 ... 9998 by key

    // The view. Column k of row r is xMin + k*stepX + i*(yMin + r*stepY);
    // row 0 is the top. yMax moves with zoom and pan but nothing derives from it.
    double xMin = -2.0, yMin = -1.5, xMax = 1.0, yMax = 1.5;  // (W)
    double bailout = 4.0;                                      // (W) squared escape radius
    double stepX = 0.0, stepY = 0.0;                           // (W) plane units per pixel
    int32_t width = 0, height = 0;                             // (W) window size in pixels

    char titleBuffer[256] = {};
    int32_t windowId = 0;
    const char* glVersion = nullptr;  // owned by OpenGL
    bool arraysAvailable = true;      // rows may be drawn with vertex arrays
    bool doubleBuffered = false;      // draw to the back buffer and swap
    uint8_t* palette = nullptr;       // PaletteEntries RGB triples

    int32_t cpuCount = 0;  // (W) frame participants: main thread + workers
    bool sseAvailable = false;
    PlatformThread* threadHandles = nullptr;
    uint32_t* threadIds = nullptr;

    // Frame hand-off. The main thread sets pendingWorkers, then publishes the
    // frame's ticket (sequence, participants, rows) with release; each worker
    // with a share acquires the ticket and lowers the counter once with
    // release; the main thread acquires the counter at 0 before it changes
    // anything the workers read.
    std::atomic<int32_t> pendingWorkers{0};
    std::atomic<uint64_t> frameTicket{0};

    IterationBuffer* iterationBuffer = nullptr;  // (W) counts of the current frame
    uint8_t* rowColors = nullptr;                // scratch: 3 bytes per column
    float* rowVertices = nullptr;                // scratch: 2 floats per column
    bool resizePending = false;                  // re-create the buffers next CPU frame

    // Mouse, written by onMouse only.
    int32_t pressX = 0, pressY = 0;
    bool leftDown = false, middleDown = false, rightDown = false;
    SavedView savedView = {};
    int32_t modifiers = 0;  // modifier bits of the last key press

    // GPU program of the latest build.
    char programText[ProgramTextSize] = {};
    uint32_t programId = 0;

    // Benchmark timing, read by the benchmark only.
    int64_t counterFrequency = 0, counterStart = 0, counterEnd = 0;
    double elapsedSeconds = 0.0;
};

extern AppState app;

// Start-up and GLUT callbacks.
int runApplication(int argc, char** argv);
void onDisplay();
void onReshape(int w, int h);
void updateProjection();
void updateTitle();
void printHelp();
void buildPalette(int count, uint8_t red, uint8_t green, uint8_t blue);

// Pure pieces, callable without a window.
void composeTitle(char* out, size_t outSize, const char* title, int width, int height, int maxIters,
                  int mode, int cpuCount, const char* renderer);
bool glVersionHasArrays(const char* version);  // true for 1.1 and later
// Records the SSE probe's answer and picks the starting mode from it.
void chooseStartMode(bool sseAvailable);
// Starts up to `requested` workers through `start`; stops at the first
// refusal and returns how many run.
int createWorkers(int requested, bool (*start)(void (*)(int), int, PlatformThread*, uint32_t*));

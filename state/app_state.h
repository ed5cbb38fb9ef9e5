// The one process-wide state record, on the ground floor: every folder reads
// it, and it includes nothing of ours but the platform layer. The fields are
// grouped by who writes them; (W) marks exactly the fields a worker thread
// touches while it computes a frame. Of those, workers write only the two
// atomic counters; the main thread changes the rest only between frames,
// after every worker has lowered pendingWorkers.
//
// The rest of the process-wide state lives beside the code that owns it:
// the iteration buffer's class-wide storage (compute/iteration_buffer.cpp),
// the row scratch's capacity (render/draw.cpp), the frame sequence number
// (render/frame.cpp) and the vertex-program entry-point tables
// (gpu/binding.cpp, gpu/arb_layer.cpp).
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

// The view the program starts with, and the benchmark's view.
constexpr SavedView StartView = {-2.0, -1.5, 1.0, 1.5};
constexpr double StartBailout = 4.0;

// Operations of the application shell that lower folders ask for: the key
// commands, the mouse and the benchmark refresh the projection and the title,
// key h prints the help. Start-up points them at the shell's operations; a
// null entry (no shell, as in tests of one folder) does nothing.
struct ShellOperations {
    void (*updateProjection)();
    void (*updateTitle)();
    void (*printHelp)();
};

struct AppState {
    // Settings, written by the key commands and the benchmark.
    const char* appTitle = "Vexa v" VEXA_RELEASE;  // VEXA_RELEASE from CMakeLists.txt
    int32_t computeMode = ModeFpuAsm;  // (W) active back-end
    int32_t maxIters = 40;             // (W) iteration limit, 1 ... 9998 by key

    // The view, written by reshape, zoom, pan and the benchmark. Column k of
    // row r is xMin + k*stepX + i*(yMin + r*stepY); row 0 is the top. yMax
    // moves with zoom and pan but nothing derives from it.
    double xMin = StartView.xMin, yMin = StartView.yMin;  // (W)
    double xMax = StartView.xMax, yMax = StartView.yMax;
    double bailout = StartBailout;   // (W) squared escape radius of the x87 kernel
    double stepX = 0.0, stepY = 0.0;  // (W) plane units per pixel, always equal
    int32_t width = 0;                // (W) window width in pixels: counts per row
    int32_t height = 0;               // window height in pixels: rows

    // Window and GL, written by start-up, reshape and key d.
    char titleBuffer[256] = {};
    int32_t windowId = 0;
    const char* glVersion = nullptr;  // owned by OpenGL
    bool arraysAvailable = true;      // rows may be drawn with vertex arrays
    bool doubleBuffered = false;      // draw to the back buffer and swap
    uint8_t* palette = nullptr;       // PaletteEntries RGB triples; rotated by keys * and /
    ShellOperations shell = {};       // set once by start-up

    // Threads and the frame hand-off, written by start-up and the frame pass.
    // The main thread sets pendingWorkers, then publishes the frame's ticket
    // (sequence, participants, rows) with release; each worker with a share
    // acquires the ticket and lowers the counter once with release; the main
    // thread acquires the counter at 0 before it changes anything marked (W).
    int32_t cpuCount = 0;  // participants of a frame: main thread + workers
    bool sseAvailable = false;
    PlatformThread* threadHandles = nullptr;
    uint32_t* threadIds = nullptr;
    std::atomic<int32_t> pendingWorkers{0};      // (W) lowered by each worker with a share
    std::atomic<uint64_t> frameTicket{0};        // (W) read by every worker, acquire
    std::atomic<int32_t> refusedRows{0};         // (W) rows of the frame no kernel computed
    IterationBuffer* iterationBuffer = nullptr;  // (W) counts of the current frame
    bool resizePending = false;                  // re-create the buffers next CPU frame
    // Row scratch, owned by the row drawing (reserveRowScratch).
    uint8_t* rowColors = nullptr;  // 3 bytes per column
    float* rowVertices = nullptr;  // 2 floats per column

    // Mouse, written by onMouse.
    int32_t pressX = 0, pressY = 0;
    bool leftDown = false, middleDown = false, rightDown = false;
    SavedView savedView = {};

    // Keyboard, written by onKeyboard.
    int32_t modifiers = 0;  // GLUT modifier bits of the last key press

    // GPU program of the latest build, written by the GPU mode.
    char programText[ProgramTextSize] = {};
    uint32_t programId = 0;

    // Benchmark timing, written and read by the benchmark only.
    int64_t counterFrequency = 0, counterStart = 0, counterEnd = 0;
    double elapsedSeconds = 0.0;
};

extern AppState app;

// Puts the start-up view and bailout back into the record.
void useStartView();

// Calls up into the shell, where start-up has connected it.
inline void refreshProjection()
{
    if (app.shell.updateProjection)
        app.shell.updateProjection();
}

inline void refreshTitle()
{
    if (app.shell.updateTitle)
        app.shell.updateTitle();
}

inline void showHelp()
{
    if (app.shell.printHelp)
        app.shell.printHelp();
}

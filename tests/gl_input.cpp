// The interaction callbacks against the real GL and GLUT: the redisplays they
// request, what they leave in the state, the projection, title and draw
// buffer, and the palette rotation read back pixel by pixel.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "compute/compute.h"
#include "gl_support.h"
#include "input/input.h"
#include "render/render.h"

namespace {

int displayCalls = 0;

// Redisplays that `action` requested, counted by running the event loop
// once with a counting display callback.
int redisplaysOf(const std::function<void()>& action)
{
    glutDisplayFunc([] { ++displayCalls; });
    for (int i = 0; i < 3; ++i)
        glutMainLoopEvent();
    displayCalls = 0;
    action();
    glutMainLoopEvent();
    glutDisplayFunc([] {});
    return displayCalls;
}

std::string titleFor(int iters, const char* mode)
{
    return "Vexa v3.0.0b 500*500 i=" + std::to_string(iters) + " " + std::to_string(app.cpuCount) +
           "xCPU " + mode;
}

void expectEdges(double xMin, double xMax, double yMin, double yMax)
{
    EXPECT_DOUBLE_EQ(app.xMin, xMin);
    EXPECT_DOUBLE_EQ(app.xMax, xMax);
    EXPECT_DOUBLE_EQ(app.yMin, yMin);
    EXPECT_DOUBLE_EQ(app.yMax, yMax);
}

void releaseButtons()
{
    app.leftDown = app.middleDown = app.rightDown = false;
}

void resetForInput()
{
    releaseButtons();
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    resetAppForGl(500, 500, ModeSse);
    app.sseAvailable = probeSse();
}

// A projection no callback would set, to see whether one was set.
void loadMarkerProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScaled(3.0, 5.0, 1.0);
}

bool projectionIsMarker()
{
    double m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    return m[0] == 3.0 && m[5] == 5.0 && m[12] == 0.0;
}

}  // namespace

TEST(MouseGl, HeldButtonsZoomOneStepPerIdleCall)
{
    // Left zooms in, right out, both held: out wins. One step moves each
    // edge by ten pixels of 0.006: in, the extent 2.88 over 500 columns; out, 3.12.
    struct Case { std::vector<int> buttons; double d; };
    for (const Case& c : {Case{{GLUT_LEFT_BUTTON}, 0.06}, Case{{GLUT_RIGHT_BUTTON}, -0.06},
                          Case{{GLUT_LEFT_BUTTON, GLUT_RIGHT_BUTTON}, -0.06}}) {
        resetForInput();
        for (int button : c.buttons)
            onMouse(button, GLUT_DOWN, 250, 250);
        EXPECT_EQ(redisplaysOf(onIdle), 1);
        expectEdges(-2.0 + c.d, 1.0 - c.d, -1.5 + c.d, 1.5 - c.d);
        EXPECT_DOUBLE_EQ(app.stepX, (3.0 - 2 * c.d) / 500);
        EXPECT_EQ(app.stepY, app.stepX);
    }
    // Released, or only the middle button: nothing moves, nothing is redrawn.
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 250, 250);
    onMouse(GLUT_RIGHT_BUTTON, GLUT_UP, 250, 250);
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 250, 250);
    const double xMin = app.xMin;
    EXPECT_EQ(redisplaysOf(onIdle), 0);
    EXPECT_EQ(app.xMin, xMin);
    // Nor in a minimised window.
    resetForInput();
    onReshape(0, 0);
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
    EXPECT_EQ(redisplaysOf(onIdle), 0);
    expectEdges(-2.0, 1.0, -1.5, 1.5);
    releaseButtons();
}

TEST(MouseGl, ZoomLeavesTheProjectionAloneOutsideGpuMode)
{
    resetForInput();
    loadMarkerProjection();
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
    onIdle();
    EXPECT_TRUE(projectionIsMarker());
    // In the GPU mode the projection is in plane coordinates and must follow.
    app.computeMode = ModeGpu;
    onIdle();
    EXPECT_FALSE(projectionIsMarker());
    releaseButtons();
    resetForInput();
}

TEST(MouseGl, MiddleDragPansFromTheSnapshot)
{
    resetForInput();
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 100, 100);
    EXPECT_EQ(redisplaysOf([] { onMotion(150, 80); }), 1);
    expectEdges(-2.3, 0.7, -1.38, 1.62);
    // Many motions end where the last one says: no drift.
    for (int i = 0; i < 200; ++i)
        onMotion(100 + i % 37, 100 - i % 11);
    onMotion(150, 80);
    expectEdges(-2.3, 0.7, -1.38, 1.62);
    EXPECT_DOUBLE_EQ(app.stepX, 0.006);

    // A wheel event changes no flag but restarts the pan from here.
    onMouse(3, GLUT_DOWN, 150, 80);
    EXPECT_TRUE(app.middleDown);
    onMotion(160, 80);
    expectEdges(-2.36, 0.64, -1.38, 1.62);

    // With the button up motion does nothing at all.
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 160, 80);
    EXPECT_EQ(redisplaysOf([] { onMotion(300, 300); }), 0);
    expectEdges(-2.36, 0.64, -1.38, 1.62);
}

TEST(MouseGl, PanDuringZoomRebuildsEdgesFromTheSnapshot)
{
    resetForInput();
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 100, 100);
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    onIdle();
    onIdle();
    const double zoomedStep = app.stepX;
    onMotion(110, 100);
    // The two zoom steps are discarded; the step keeps the zoomed value.
    expectEdges(-2.0 - 10 * zoomedStep, 1.0 - 10 * zoomedStep, -1.5, 1.5);
    EXPECT_EQ(app.stepX, zoomedStep);
    releaseButtons();
}

TEST(KeysGl, ModeKeysSwitchKernelProjectionAndTitle)
{
    resetForInput();
    loadMarkerProjection();
    EXPECT_EQ(redisplaysOf([] { runKey('1', 0); }), 1);
    EXPECT_EQ(app.computeMode, ModeFpuC);
    EXPECT_EQ(std::string(app.titleBuffer), titleFor(40, "FPU C"));
    EXPECT_FALSE(projectionIsMarker());  // the pixel projection again

    runKey(0x12, 0);  // control-R acts as '2'
    EXPECT_EQ(app.computeMode, ModeFpuAsm);
    EXPECT_EQ(std::string(app.titleBuffer), titleFor(40, "FPU ASM"));
    runKey('3', 0);
    EXPECT_EQ(app.computeMode, app.sseAvailable ? ModeSse : ModeFpuAsm);
    glGetError();  // the vertex-program disable is refused where there is none

    // Without SSE '3' only retitles.
    app.computeMode = ModeFpuC;
    app.sseAvailable = false;
    app.titleBuffer[0] = 0;
    loadMarkerProjection();
    EXPECT_EQ(redisplaysOf([] { runKey('3', 0); }), 0);
    EXPECT_EQ(app.computeMode, ModeFpuC);
    EXPECT_TRUE(projectionIsMarker());
    EXPECT_EQ(std::string(app.titleBuffer), titleFor(40, "FPU C"));
    resetForInput();
}

TEST(KeysGl, EveryKeyButEscapeRetitlesAndCommandsRedraw)
{
    // The limit arithmetic is the unit tests'; here each key must reach it,
    // leave a fresh title, and ask for a redraw or not.
    resetForInput();
    struct Case { unsigned char code; int modifiers, iters, redraws; };
    for (Case c : {Case{'+', 0, 41, 1}, {'+', GLUT_ACTIVE_SHIFT, 61, 1}, {'\r', GLUT_ACTIVE_SHIFT, 41, 1},
                   {'x', 0, 41, 0}, {' ', 0, 41, 1}, {0, 0, 41, 1}, {'*', 0, 41, 0}, {'/', 0, 41, 0},
                   {'s', 0, 41, 0}, {'h', 0, 41, 0}}) {
        app.titleBuffer[0] = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(redisplaysOf([&] { runKey(c.code, c.modifiers); }), c.redraws) << (int)c.code;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::string(app.titleBuffer), titleFor(c.iters, "SSE")) << (int)c.code;
    }
    app.maxIters = 1;  // at the limit the key still redraws
    EXPECT_EQ(redisplaysOf([] { runKey('-', 0); }), 1);
    EXPECT_EQ(std::string(app.titleBuffer), titleFor(1, "SSE"));
}

TEST(KeysGl, DTwiceReturnsToTheFrontBuffer)
{
    resetForInput();
    glDrawBuffer(GL_FRONT);
    GLint buffer = 0;
    EXPECT_EQ(redisplaysOf([] { runKey('d', 0); }), 1);
    EXPECT_TRUE(app.doubleBuffered);
    glGetIntegerv(GL_DRAW_BUFFER, &buffer);
    EXPECT_EQ(buffer, GL_BACK);
    runKey('D', GLUT_ACTIVE_SHIFT);
    EXPECT_FALSE(app.doubleBuffered);
    glGetIntegerv(GL_DRAW_BUFFER, &buffer);
    EXPECT_EQ(buffer, GL_FRONT);
    resetForInput();
}

namespace {

int occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Every code but Escape, without and then with shift; the benchmark only
// when asked. Each pass meets '*' and '/' twice each (also as 0x0A, 0x0F),
// 'd' twice (d, D), 'h' and 's' twice each (h, H, s, S), and '4' last
// among the mode keys (after 0x14): so the table and the buffering come
// back as they were, the help and the stats line come out four times, the
// view never moves, and the window ends in the GPU mode, titled for it.
void pressEveryKey(bool withBenchmark)
{
    const std::vector<uint8_t> palette =
        app.palette ? std::vector<uint8_t>(app.palette, app.palette + 3 * PaletteEntries)
                    : std::vector<uint8_t>();
    const bool doubleBuffered = app.doubleBuffered;
    const SavedView view = {app.xMin, app.yMin, app.xMax, app.yMax};
    testing::internal::CaptureStdout();
    for (int shift = 0; shift < 2; ++shift) {
        for (int code = 0; code < 256; ++code) {
            if (code == 27 || ((code | 0x20) == 'b' && !withBenchmark))
                continue;
            runKey((unsigned char)code, shift ? GLUT_ACTIVE_SHIFT : 0);
            glutMainLoopEvent();
        }
        withBenchmark = false;
    }
    const std::string said = testing::internal::GetCapturedStdout();
    glGetError();
    EXPECT_EQ(occurrences(said, "Stats not yet supported.\n"), 4);
    EXPECT_EQ(occurrences(said, "\nKeys:\n"), 4);
    if (app.palette) {
        EXPECT_EQ(std::vector<uint8_t>(app.palette, app.palette + 3 * PaletteEntries), palette);
    }
    EXPECT_EQ(app.doubleBuffered, doubleBuffered);
    expectEdges(view.xMin, view.xMax, view.yMin, view.yMax);
    ASSERT_EQ(app.computeMode, ModeGpu);
    EXPECT_GE(app.maxIters, 1);
    EXPECT_LE(app.maxIters, 60);
    EXPECT_EQ(std::string(app.titleBuffer),
              "Vexa v3.0.0b " + std::to_string(app.width) + "*" + std::to_string(app.height) +
                  " i=" + std::to_string(app.maxIters) + " GPU " +
                  (const char*)glGetString(GL_RENDERER));
}

}  // namespace

TEST(KeysGl, AnyCodeInAnyStateIsSafe)
{
    // Before the first frame: no size, no buffer.
    resetForInput();
    onReshape(0, 0);
    pressEveryKey(false);
    // After a frame, then in the GPU mode with the buffer still there.
    resetForInput();
    renderFrame(app.maxIters, app.computeMode);
    pressEveryKey(false);
    app.computeMode = ModeGpu;
    pressEveryKey(false);
    // Without a buffer or a palette.
    resetForInput();
    uint8_t* palette = app.palette;
    app.palette = nullptr;
    pressEveryKey(false);
    app.palette = palette;
    // After a benchmark, before the next frame.
    resetForInput();
    renderFrame(app.maxIters, app.computeMode);
    pressEveryKey(true);
    runKey('1', 0);  // the GPU mode's program off again
    resetForInput();
}

namespace {

const Rgb green = {0, 255, 0};

// The window after the palette `built` turned by `shift`: the buffer's done
// rows in their colours, inside points black, all else left green.
std::vector<Rgb> rotatedPicture(const std::vector<uint8_t>& built, int shift)
{
    std::vector<Rgb> picture(500 * 500, green);
    const IterationBuffer& buffer = *app.iterationBuffer;
    for (int r = 0; r < std::min(buffer.rows(), 500); ++r)
        for (int k = 0; buffer.isRowDone(r) && k < std::min(buffer.columns(), 500); ++k) {
            int32_t n = buffer.rowValues(r)[k];
            const uint8_t* c = &built[3 * (((n - shift) % PaletteEntries + PaletteEntries) % PaletteEntries)];
            picture[r * 500 + k] = n == InsideMarker ? Rgb{0, 0, 0} : Rgb{c[0], c[1], c[2]};
        }
    return picture;
}

std::vector<uint8_t> paletteCopy()
{
    return std::vector<uint8_t>(app.palette, app.palette + 3 * PaletteEntries);
}

void clearToGreen()
{
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
}

}  // namespace

TEST(PaletteRotationGl, RedrawsTheDoneRowsWithTheRotatedColours)
{
    resetForInput();
    renderFrame(app.maxIters, app.computeMode);
    const std::vector<uint8_t> built = paletteCopy();
    const std::vector<Rgb> first = readPixelsTopDown(500, 500);
    ASSERT_EQ(first, rotatedPicture(built, 0));
    // Rows not done yet (here the odd ones) are left alone.
    for (int r = 1; r < 500; r += 2)
        app.iterationBuffer->setRowDone(r, false);
    clearToGreen();
    rotatePalette(+1);
    EXPECT_EQ(readPixelsTopDown(500, 500), rotatedPicture(built, 1));
    for (int r = 1; r < 500; r += 2)
        app.iterationBuffer->setRowDone(r, true);
    clearToGreen();
    rotatePalette(-1);
    EXPECT_EQ(readPixelsTopDown(500, 500), first);
    EXPECT_EQ(paletteCopy(), built);
}

TEST(PaletteRotationGl, KeepsToTheBufferItHas)
{
    resetForInput();
    const std::vector<uint8_t> built = paletteCopy();
    // A buffer smaller than the window, as between a resize and the next frame.
    app.iterationBuffer = new IterationBuffer(100, 50);
    for (int r = 0; r < 50; ++r) {
        for (int k = 0; k < 100; ++k)
            app.iterationBuffer->rowValues(r)[k] = (r + k) % 7 == 0 ? InsideMarker : r + k;
        app.iterationBuffer->setRowDone(r, true);
    }
    clearToGreen();
    rotatePalette(+1);
    EXPECT_EQ(readPixelsTopDown(500, 500), rotatedPicture(built, 1));
    // No buffer at all: the table turns, nothing is drawn.
    delete app.iterationBuffer;
    app.iterationBuffer = nullptr;
    clearToGreen();
    rotatePalette(-1);
    EXPECT_EQ(readPixelsTopDown(500, 500), std::vector<Rgb>(500 * 500, green));
    EXPECT_EQ(paletteCopy(), built);
}

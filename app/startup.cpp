// Start-up: the console report, the workers, the SSE decision, the window,
// its callbacks and the OpenGL state, then the GLUT main loop.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/glut.h>

#include "app/app.h"
#include "compute/compute.h"
#include "input/input.h"
#include "render/render.h"

namespace {

const char* const creditsLine = "\nReal-time Mandelbrot explorer: x87, SSE and vertex-program back-ends.\n";

}  // namespace

static void startWorkerPool(int participants)
{
    app.cpuCount = participants;
    printf("Number of CPU: %d\n", app.cpuCount);
    if (app.cpuCount <= 1)
        return;
    printf("SMP support available, creating %d slave threads.\n", app.cpuCount - 1);
    app.threadHandles = (PlatformThread*)malloc(sizeof(PlatformThread) * (app.cpuCount - 1));
    app.threadIds = (uint32_t*)malloc(sizeof(uint32_t) * (app.cpuCount - 1));
    if (!app.threadHandles || !app.threadIds) {
        fputs("*ERROR* Failed to allocate calc thread pool.\n", stdout);
        app.cpuCount = 1;
        fputs("Switching to MONO CPU mode.\n", stdout);
        return;
    }
    app.cpuCount = createWorkers(app.cpuCount - 1, platformStartThread) + 1;
}

void chooseStartMode(bool sseAvailable)
{
    app.sseAvailable = sseAvailable;
    if (!app.sseAvailable) {
        fputs("SSE support NOT available (please buy a newer CPU :)\n", stdout);
        fputs("Switching to machine code FPU mode.\n", stdout);
        return;
    }
    app.computeMode = ModeSse;
    // The unit's own name: NEON on ARM, VSX on POWER, which have no SSE.
    if (const char* unit = fourLaneUnitName())
        printf("%s instructions supported. Switching to %s quadpoints computation.\n", unit, unit);
    else
        printf("%s. Switching to plain quadpoints computation.\n", noFourLaneUnitReason());
}

static void openWindow(int* argc, char** argv)
{
    glutInit(argc, argv);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(500, 500);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    app.windowId = glutCreateWindow(app.titleBuffer);
    glutSetWindowTitle(app.appTitle);
    glutSetIconTitle(app.appTitle);

    // The idle callback is cleared first and installed only after all others.
    glutReshapeFunc(onReshape);
    glutDisplayFunc(onDisplay);
    glutIdleFunc(nullptr);
    glutSetCursor(GLUT_CURSOR_CROSSHAIR);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutKeyboardFunc(onKeyboard);
    glutIdleFunc(onIdle);
}

static void initGlState()
{
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_DITHER);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_NORMALIZE);
    // Drawing starts in the visible front buffer; key d switches to double buffering.
    glDrawBuffer(GL_FRONT);
}

namespace {

const char* glText(GLenum name)
{
    const char* text = (const char*)glGetString(name);
    return text ? text : "(unknown)";
}

}  // namespace

static void reportGlVersion()
{
    app.glVersion = (const char*)glGetString(GL_VERSION);
    printf("OpenGL v%s\n", glText(GL_VERSION));
    printf("  Renderer: %s\n", glText(GL_RENDERER));
    printf("  Vendor: %s\n", glText(GL_VENDOR));
    app.arraysAvailable = glVersionHasArrays(app.glVersion);
    if (!app.arraysAvailable)
        fputs("*WARNING* OpenGL arrays not available. Render will be slower.\n", stdout);
}

int createWorkers(int requested, bool (*start)(void (*)(int), int, PlatformThread*, uint32_t*))
{
    int created = 0;
    while (created < requested) {
        PlatformThread* handle = app.threadHandles ? &app.threadHandles[created] : nullptr;
        uint32_t* id = app.threadIds ? &app.threadIds[created] : nullptr;
        if (!start(workerMain, created, handle, id)) {
            printf("*ERROR* Failed to create calc thread %d, going on with %d.\n", created + 1,
                   created);
            break;
        }
        ++created;
    }
    return created;
}

bool glVersionHasArrays(const char* version)
{
    int major = 0, minor = 0;
    if (!version || sscanf(version, "%d.%d", &major, &minor) != 2)
        return false;
    return major > 1 || (major == 1 && minor >= 1);
}

void connectShell()
{
    app.shell = {updateProjection, updateTitle, printHelp};
}

void prepareConsole()
{
    platformGuardStandardStreams();
    platformIgnoreBrokenPipe();
    // Lines must reach a pipe or a file as they are printed.
    setvbuf(stdout, nullptr, _IOLBF, 0);
}

void startExplorer(int* argc, char** argv, int participants, bool withHelp)
{
    connectShell();
    startWorkerPool(participants);
    chooseStartMode(sseModeAvailable());
    openWindow(argc, argv);
    initGlState();
    reportGlVersion();
    if (withHelp) {
        printHelp();
        fputs("\nSeen anything faster ? Then... time to change your OpenGL card !\n", stdout);
    }
    buildPalette(PaletteEntries, 70, 50, 200);
}

int runApplication(int argc, char** argv)
{
    prepareConsole();
    fputs(app.appTitle, stdout);
    fputs("\n", stdout);
    fputs(creditsLine, stdout);
    fputs("Initalizing...\n", stdout);
    snprintf(app.titleBuffer, sizeof app.titleBuffer, "%s initializing...", app.appTitle);
    startExplorer(&argc, argv, platformProcessorCount(), true);
    glutMainLoop();
    return 0;
}

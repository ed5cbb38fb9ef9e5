// Entry of the GL tests: a GLUT window on the test display, made once before
// any test runs (listing the tests needs no display).
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "compute/compute.h"
#include "gl_support.h"
#include "platform/platform.h"

std::string poolReport;
int poolParticipants = 0;

namespace {

bool startSevenThenRefuse(void (*routine)(int), int arg, PlatformThread* thread, uint32_t* id)
{
    return arg < 7 && platformStartThread(routine, arg, thread, id);
}

class GlWindow : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "vexa_gl_tests";
        static char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitWindowPosition(0, 0);
        glutInitWindowSize(500, 500);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
        glutCreateWindow("vexa gl tests");
        glutDisplayFunc([] {});
        for (int i = 0; i < 10; ++i)
            glutMainLoopEvent();
        glDisable(GL_DITHER);
        glShadeModel(GL_FLAT);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        connectShell();
        startPool();
    }

private:
    // A pool of seven workers; tests choose how many take part through
    // cpuCount. The eighth start is refused, as an exhausted OS would. The
    // capture lasts until every worker has greeted, so that no greeting
    // lands in the output a later test captures.
    void startPool()
    {
        setvbuf(stdout, nullptr, _IOLBF, 0);
        fflush(stdout);
        FILE* capture = tmpfile();
        int original = dup(1);
        dup2(fileno(capture), 1);
        poolParticipants = createWorkers(8, startSevenThenRefuse) + 1;
        app.cpuCount = poolParticipants;
        for (int waited = 0; waited < 10000 && greetingsIn(contents(capture)) < poolParticipants - 1;
             ++waited)
            platformSleep(1);
        fflush(stdout);
        dup2(original, 1);
        close(original);
        poolReport = contents(capture);
        fclose(capture);
    }

    // Read without moving the offset the writers share.
    static std::string contents(FILE* file)
    {
        std::string text;
        char chunk[4096];
        for (ssize_t n; (n = pread(fileno(file), chunk, sizeof chunk, (off_t)text.size())) > 0;)
            text.append(chunk, (size_t)n);
        return text;
    }

    static int greetingsIn(const std::string& text)
    {
        int count = 0;
        for (size_t at = 0; (at = text.find(" says: ", at)) != std::string::npos; ++at)
            ++count;
        return count;
    }
};

}  // namespace

void resetAppForGl(int w, int h, int mode)
{
    delete app.iterationBuffer;
    app.iterationBuffer = nullptr;
    app.computeMode = mode;
    app.maxIters = 40;
    useStartView();
    app.arraysAvailable = true;
    app.doubleBuffered = false;
    if (!app.palette)
        buildPalette(PaletteEntries, 70, 50, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    onReshape(w, h);
}

std::vector<Rgb> readPixelsTopDown(int w, int h)
{
    std::vector<Rgb> raw((size_t)w * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    std::vector<Rgb> rows((size_t)w * h);
    for (int r = 0; r < h; ++r)
        memcpy(&rows[(size_t)r * w], &raw[(size_t)(h - 1 - r) * w], (size_t)w * sizeof(Rgb));
    return rows;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlWindow);
    return RUN_ALL_TESTS();
}

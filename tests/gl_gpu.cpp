// The GPU mode through the real driver: every translated program accepted,
// bad texts rejected with the message, and GPU frames read back and compared
// with the program's arithmetic done here in single precision.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glut.h>

#include <cmath>
#include <cstring>
#include <string>

#include "app/app.h"
#include "gl_support.h"
#include "gpu/gpu.h"
#include "gpu/nv_to_arb.h"
#include "input/input.h"
#include "platform/platform.h"
#include "render/render.h"

namespace {

constexpr int Size = 500;

bool pressGpuKey()
{
    runKey('4', 0);
    return app.computeMode == ModeGpu;
}

std::vector<Rgb> drawFrame()
{
    renderFrame(app.maxIters, app.computeMode);
    glFinish();
    return readPixelsTopDown(Size, Size);
}

std::string show(const Rgb& c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Orbits that stay bounded and settle: well inside the main cardioid or
// the period-2 bulb.
bool wellInside(double x, double y)
{
    double p = std::sqrt((x - 0.25) * (x - 0.25) + y * y);
    bool cardioid = x < p - 2 * p * p + 0.25 - 0.05;
    bool bulb = (x + 1) * (x + 1) + y * y < 0.2 * 0.2;
    return cardioid || bulb;
}

// Compares every pixel that `select` admits with the formula; returns how
// many were compared and fails on the first few that differ.
int expectFormula(const std::vector<Rgb>& picture, int steps, bool (*select)(double, double))
{
    int compared = 0, wrong = 0;
    for (int r = 0; r < Size; ++r) {
        double y = r * app.stepY + app.yMin, x = app.xMin;  // x accumulated, as the frame sends it
        for (int k = 0; k < Size; ++k, x += app.stepX) {
            if (select && !select(x, y))
                continue;
            ++compared;
            Rgb want = gpuProgramColour((float)x, (float)y, steps);
            Rgb got = picture[(size_t)r * Size + k];
            if (!near(got, want, 2) && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << k << ", " << r << ") is " << show(got) << ", formula "
                              << show(want);
        }
    }
    EXPECT_EQ(wrong, 0);
    return compared;
}

class GpuMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetAppForGl(Size, Size, ModeFpuC);
        glDisable(GL_VERTEX_PROGRAM_NV);
        while (glGetError() != GL_NO_ERROR) {
        }
        if (!hasExtension("NV_vertex_program") && !hasExtension("ARB_vertex_program"))
            GTEST_SKIP() << "the driver offers no vertex programs";
    }
    void TearDown() override { runKey('1', 0); }
};

}  // namespace

TEST_F(GpuMode, DriverAcceptsTheProgramOfEveryLimit)
{
    // Each build loads a new name and drops the old one.
    auto isProgram = (PFNGLISPROGRAMARBPROC)platformGetProcAddress("glIsProgramARB");
    GLuint previous = 0;
    for (int n = 1; n <= 60; ++n) {
        app.maxIters = n;
        testing::internal::CaptureStdout();
        bool built = buildIterationProgram();
        std::string out = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(built && out.find("ERROR") == std::string::npos) << n << ": " << out;
        GLint position = 0;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_NV, &position);
        EXPECT_EQ(position, -1) << n << ": " << glGetString(GL_PROGRAM_ERROR_STRING_ARB);
        EXPECT_NE(app.programId, previous);
        bool arb = hasExtension("ARB_vertex_program");
        EXPECT_TRUE(!arb || (isProgram(app.programId) && !isProgram(previous))) << n;
        previous = app.programId;
    }
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_NV));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(GpuMode, MalformedTextIsAnInvalidOperationWithTheMessage)
{
    ASSERT_TRUE(bindVertexProgramEntryPoints());
    const char* const bad[] = {
        "!!VP1.0\nMOV o[HPOS], v[0];\nMOV R0, v[0].xy;\nEND",
        "!!VP1.0\nMOV o[HPOS], v[0];\nMOV R12, v[0];\nEND",
        "!!VP1.0\nMOV o[HPOS], v[0];\n",
        "MOV o[HPOS], v[0];\nEND",
    };
    for (const char* text : bad) {
        strcpy(app.programText, text);
        GLuint before = app.programId;
        testing::internal::CaptureStdout();
        loadIterationProgram((int)strlen(text));
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("ERROR: glLoadProgramNV has returned an invalid operation!\n"),
                  std::string::npos)
            << text << "\n" << out;
        if (!hasExtension("NV_vertex_program")) {
            EXPECT_NE(out.find("Error: vertex program not translated: character "),
                      std::string::npos)
                << out;
        }
        EXPECT_NE(app.programId, before);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
}

TEST_F(GpuMode, EveryBindingOverwritesTheWholeTable)
{
    ASSERT_TRUE(bindVertexProgramEntryPoints());
    VertexProgramEntryPoints first = vertexProgram;
    EXPECT_TRUE(vertexProgramTableUsable(first));
    vertexProgram.glExecuteProgramNV = (PFNGLEXECUTEPROGRAMNVPROC)&glFlush;
    vertexProgram.glTrackMatrixNV = nullptr;
    ASSERT_TRUE(bindVertexProgramEntryPoints());
    EXPECT_EQ(memcmp(&first, &vertexProgram, sizeof first), 0);
}

TEST_F(GpuMode, OneStepFrameIsTheFormulaOnEveryPixel)
{
    app.maxIters = 1;
    ASSERT_TRUE(pressGpuKey());
    std::vector<Rgb> picture = drawFrame();
    EXPECT_EQ(expectFormula(picture, 1, nullptr), Size * Size);
    // The first and last rows and columns land on their own pixels: at one
    // step green is Im(c)^2, saturated at both edges of the default view.
    // Red is x^2 + x: saturated in the first and last columns (x = -2, 0.994).
    for (int i = 0; i < Size; ++i) {
        EXPECT_EQ(picture[i].g, 255) << "row 0, column " << i;
        EXPECT_EQ(picture[(size_t)(Size - 1) * Size + i].g, 255) << "last row, column " << i;
        EXPECT_EQ(picture[(size_t)i * Size].r, 255) << "column 0, row " << i;
        EXPECT_EQ(picture[(size_t)i * Size + Size - 1].r, 255) << "last column, row " << i;
    }
    // Row 0 is at the top: blue is y(x + 1/2), saturated at row 100 (x = -1.7,
    // y = -0.9) and clamped to 0 at row 400 (y = +0.9).
    EXPECT_EQ(picture[100 * Size + 50].b, 255);
    EXPECT_EQ(picture[400 * Size + 50].b, 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(GpuMode, BoundedOrbitsMatchTheFormulaAtForty)
{
    ASSERT_TRUE(pressGpuKey());
    EXPECT_NE(std::string(app.titleBuffer).find(" i=40 GPU "), std::string::npos);
    EXPECT_GT(expectFormula(drawFrame(), 40, wellInside), 20000);
}

TEST_F(GpuMode, ZoomAndPanMoveThePictureWithoutARebuild)
{
    ASSERT_TRUE(pressGpuKey());
    GLuint id = app.programId;
    // Zoom steps through the idle callback, then a middle-button drag: each
    // frame is the formula for the view the handlers left, same program.
    onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 250, 250);
    for (int i = 0; i < 5; ++i)
        onIdle();
    onMouse(GLUT_LEFT_BUTTON, GLUT_UP, 250, 250);
    EXPECT_NEAR(app.xMax - app.xMin, 3.0 * std::pow(0.96, 5), 1e-12);
    EXPECT_GT(expectFormula(drawFrame(), 40, wellInside), 20000);
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 100, 100);
    onMotion(150, 80);
    onMouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 150, 80);
    EXPECT_NEAR(app.xMin, -2.0 + 3.0 * (1 - std::pow(0.96, 5)) / 2 - 50 * app.stepX, 1e-12);
    EXPECT_GT(expectFormula(drawFrame(), 40, wellInside), 20000);
    EXPECT_EQ(app.programId, id);
}

TEST_F(GpuMode, PlusAtSixtyKeepsSixtyAndRebuilds)
{
    app.maxIters = 100;
    ASSERT_TRUE(pressGpuKey());
    EXPECT_EQ(app.maxIters, 60);
    GLuint id = app.programId;
    runKey('+', 0);
    EXPECT_EQ(app.maxIters, 60);
    EXPECT_NE(app.programId, id);
    EXPECT_GT(expectFormula(drawFrame(), 60, wellInside), 20000);
    id = app.programId;
    runKey('-', 0);
    EXPECT_EQ(app.maxIters, 59);
    EXPECT_NE(app.programId, id);
    EXPECT_GT(expectFormula(drawFrame(), 59, wellInside), 20000);
}

TEST_F(GpuMode, CpuKeyBringsBackTheCpuPicture)
{
    std::vector<Rgb> cpu = drawFrame();
    ASSERT_TRUE(pressGpuKey());
    EXPECT_NE(drawFrame(), cpu);
    runKey('1', 0);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_NV));
    EXPECT_EQ(drawFrame(), cpu);
}

TEST_F(GpuMode, TrackedRegistersFollowTheProjectionOfEachFrame)
{
    app.maxIters = 1;
    ASSERT_TRUE(pressGpuKey());
    std::vector<Rgb> before = drawFrame();
    // Move the projection by 20 pixels to the left without telling the program.
    glMatrixMode(GL_PROJECTION);
    glTranslated(-20 * app.stepX, 0, 0);
    std::vector<Rgb> moved = drawFrame();
    // The same vertices, 20 pixels further left; the rasterizer may round a
    // colour differently at another place, by one step at most.
    int differ = 0;
    for (int r = 0; r < Size; ++r)
        for (int k = 0; k < Size - 20; ++k)
            differ += !near(moved[(size_t)r * Size + k], before[(size_t)r * Size + k + 20], 1);
    EXPECT_EQ(differ, 0);
    for (int r = 0; r < Size; ++r)
        EXPECT_EQ(moved[(size_t)r * Size + Size - 1], (Rgb{0, 0, 0})) << "row " << r;
}

// Run with a driver that offers neither extension (the test list runs this
// again with both masked off); skipped where one is offered.
TEST(GpuWithoutExtension, KeyFourReportsAndChangesOnlyTheCap)
{
    resetAppForGl(Size, Size, ModeFpuC);
    if (hasExtension("NV_vertex_program") || hasExtension("ARB_vertex_program"))
        GTEST_SKIP() << "the driver offers vertex programs";
    app.maxIters = 100;
    updateTitle();
    VertexProgramEntryPoints table = vertexProgram;
    GLuint id = app.programId;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(pressGpuKey());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Your card does not support the NV_Vertex_Program Extension!\n");
    EXPECT_EQ(app.computeMode, ModeFpuC);
    EXPECT_EQ(app.maxIters, 60);
    EXPECT_NE(std::string(app.titleBuffer).find(" i=100 "), std::string::npos) << app.titleBuffer;
    EXPECT_EQ(app.programId, id);
    EXPECT_EQ(memcmp(&table, &vertexProgram, sizeof table), 0);
}


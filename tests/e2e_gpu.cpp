// Key 4 in the running program: the GPU title and picture, and on a Mesa
// told to hide both vertex-program extensions the error and an unchanged mode.
#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include "e2e_support.h"

namespace {

std::string rendererOf(const std::string& output)
{
    const std::string tag = "  Renderer: ";
    size_t at = output.find(tag);
    if (at == std::string::npos)
        return "";
    at += tag.size();
    return output.substr(at, output.find('\n', at) - at);
}

}  // namespace

TEST(GpuKey, KeyFourShowsTheProgramsPicture)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 5000));
    vexa.key("4");
    std::string title = "Vexa v3.0.0b 500*500 i=40 GPU " + rendererOf(vexa.output());
    ASSERT_TRUE(vexa.waitForTitle(title, 5000)) << vexa.title();
    usleep(500000);
    int w = 0, h = 0;
    std::vector<Rgb> shot = vexa.screenshot(&w, &h);
    ASSERT_EQ(w, 500);
    // c = -0.2 + 0.3i (column 300, row 300) lies in the main cardioid; its
    // colour is the last step's (Re z^2 + x, Im z^2, Re z Im z + y/2).
    float x = (float)(-2.0 + 300 * 0.006), y = (float)(-1.5 + 300 * 0.006);
    float a = x, b = y, red = 0, green = 0, blue = 0;
    for (int i = 0; i < 40; ++i) {
        red = a * a + x, green = b * b, blue = a * b + y * 0.5f;
        a = red - green, b = blue + blue;
    }
    auto byte = [](float v) { return (int)std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255); };
    Rgb got = shot[300 * 500 + 300];
    EXPECT_NEAR(got.r, byte(red), 2);
    EXPECT_NEAR(got.g, byte(green), 2);
    EXPECT_NEAR(got.b, byte(blue), 2);
    EXPECT_EQ(vexa.output().find("ERROR"), std::string::npos) << vexa.output();
}

TEST(GpuKey, KeyFourWithoutExtensionsKeepsTheMode)
{
    VexaProcess vexa({"MESA_EXTENSION_OVERRIDE=-GL_ARB_vertex_program -GL_NV_vertex_program"});
    ASSERT_TRUE(vexa.started());
    std::string title = vexa.title();
    vexa.key("4");
    EXPECT_TRUE(vexa.waitForOutput(
        "Error: Your card does not support the NV_Vertex_Program Extension!\n", 5000));
    usleep(300000);
    EXPECT_EQ(vexa.title(), title);
}

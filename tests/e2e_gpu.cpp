// Key 4 in the running program: the GPU title and picture, and on a Mesa
// told to hide both vertex-program extensions the error and an unchanged mode.
#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>

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
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 20000));
    vexa.key("4");
    std::string title = "Vexa v3.0.0b 500*500 i=40 GPU " + rendererOf(vexa.output());
    ASSERT_TRUE(vexa.waitForTitle(title, 20000)) << vexa.title();
    // c = -0.2 + 0.3i (column 300, row 300) lies in the main cardioid.
    const Rgb wanted = gpuProgramColour((float)(-2.0 + 1.8), (float)(-1.5 + 1.8), 40);
    EXPECT_TRUE(vexa.waitForPicture(
        [&](const std::vector<Rgb>& shot, int w, int) {
            return w == 500 && near(shot[300 * 500 + 300], wanted, 2);
        },
        20000));
    EXPECT_EQ(vexa.output().find("ERROR"), std::string::npos) << vexa.output();
}

TEST(GpuKey, KeyFourWithoutExtensionsKeepsTheMode)
{
    VexaProcess vexa({"MESA_EXTENSION_OVERRIDE=-GL_ARB_vertex_program -GL_NV_vertex_program"});
    ASSERT_TRUE(vexa.started());
    std::string title = vexa.title();
    vexa.key("4");
    EXPECT_TRUE(vexa.waitForOutput(
        "Error: Your card does not support the NV_Vertex_Program Extension!\n", 20000));
    // A key after it shows that '4' has been handled and left the mode alone.
    vexa.key("KP_Add");
    EXPECT_TRUE(vexa.waitForTitle(std::regex_replace(title, std::regex("i=40"), "i=41"), 20000))
        << vexa.title();
}

// The built program on the test display: its start-up report, its first
// title and picture, resizing, and the end through Escape.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include "e2e_support.h"

namespace {

const char* const helpText =
    "\nKeys:\n"
    " 1: Lame FPU computation, C code.\n"
    " 2: Fast FPU computation, 100% machine code.\n"
    " 3: Quadfast SSE computation, 100% machine code.\n"
    " 4: Experimental GPU Vertex Program computation !\n"
    " d: Toggle double/single buffer (you flicker haters).\n"
    " +,-: Inc/Dec max iters (press shift for +/-20).\n"
    " /,*: Rotate palette.\n"
    " h: Shows this help.\n"
    " s: Shows stats in console.\n"
    " b: Speed benchmark in current mode (resets max iters to 40).\n"
    "    See result in the console.\n";

std::string titleFor(int width)
{
    return "Vexa v3.0.0b " + std::to_string(width) + "*500 i=40 " +
           std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + "xCPU SSE";
}

}  // namespace

TEST(Startup, ReportTitleAndPictureWhileRunning)
{
    // Standard output here is a file: the report must be there while the
    // program still runs, not only when it ends.
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 20000));
    // The workers' greetings may come anywhere after the SMP line; the
    // driver's three lines are masked.
    const std::regex greeting("Thread ([0-9]+) says: \"I'm a slave, I'm alive.\"\n");
    const std::string out = vexa.output();
    std::string got = std::regex_replace(out, greeting, "");
    got = std::regex_replace(got, std::regex("(OpenGL v|  Renderer: |  Vendor: ).+\n"), "$1<masked>\n");
    int n = (int)sysconf(_SC_NPROCESSORS_ONLN);
    std::string expected =
        "Vexa v3.0.0b\n\nReal-time Mandelbrot explorer: x87, SSE and vertex-program back-ends.\n"
        "Initalizing...\nNumber of CPU: " + std::to_string(n) + "\n";
    if (n > 1)
        expected += "SMP support available, creating " + std::to_string(n - 1) + " slave threads.\n";
    expected += "SSE instructions supported. Switching to SSE quadpoints computation.\n"
                "OpenGL v<masked>\n  Renderer: <masked>\n  Vendor: <masked>\n";
    expected += helpText;
    expected += "\nSeen anything faster ? Then... time to change your OpenGL card !\n";
    EXPECT_EQ(got, expected);
    // Each worker greets once, by its own number.
    std::vector<int> greeted, wanted;
    for (std::sregex_iterator i(out.begin(), out.end(), greeting), end; i != end; ++i)
        greeted.push_back(std::stoi((*i)[1].str()));
    for (int k = 1; k < n; ++k)
        wanted.push_back(k);
    std::sort(greeted.begin(), greeted.end());
    EXPECT_EQ(greeted, wanted);

    EXPECT_TRUE(vexa.waitForTitle(titleFor(500), 20000)) << vexa.title();
    // c = 0 (column 333, row 250) is inside: black. c = -2 - 1.5i, the
    // top-left pixel, escapes at once: palette entry 0, (70, 50, 200);
    // c = 0.994 + 1.494i, the bottom-right one, after one step: (73, 54, 198).
    EXPECT_TRUE(vexa.waitForPicture(
        [](const std::vector<Rgb>& shot, int w, int h) {
            return w == 500 && h == 500 && shot[250 * 500 + 333] == (Rgb{0, 0, 0}) &&
                   shot[0] == (Rgb{70, 50, 200}) && shot[499 * 500 + 499] == (Rgb{73, 54, 198});
        },
        20000));
}

TEST(Startup, ResizeKeepsHorizontalExtentAndRetitles)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    vexa.resize(1000, 500);
    ASSERT_TRUE(vexa.waitForTitle(titleFor(1000), 20000)) << vexa.title();
    // Step 0.003: c = 0 is column 666 on the bottom row (imaginary part
    // -1.5 + 499 * 0.003 = -0.003), inside; the top row (-1.5i) is outside.
    EXPECT_TRUE(vexa.waitForPicture(
        [](const std::vector<Rgb>& shot, int w, int h) {
            return w == 1000 && h == 500 && shot[499 * 1000 + 666] == (Rgb{0, 0, 0}) &&
                   shot[0] == (Rgb{70, 50, 200});
        },
        20000));
}

TEST(Startup, EscapeEndsWithStatusZero)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    vexa.key("Escape");
    EXPECT_EQ(vexa.waitForExit(20000), 0);
}

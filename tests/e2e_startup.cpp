// The built program on the test display: its start-up report, its first
// title and picture, resizing, and the end through Escape.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <sstream>

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

int processors()
{
    return (int)sysconf(_SC_NPROCESSORS_ONLN);
}

// The report with the workers' greetings taken out (they may come anywhere
// after the SMP line) and the driver's three lines masked.
std::string maskedReport(const std::string& out, int* greetings)
{
    std::istringstream in(out);
    std::string line, kept;
    *greetings = 0;
    std::regex greeting("Thread [0-9]+ says: \"I'm a slave, I'm alive.\"");
    while (std::getline(in, line)) {
        if (std::regex_match(line, greeting)) {
            ++*greetings;
            continue;
        }
        if (line.rfind("OpenGL v", 0) == 0 && line.size() > 8)
            line = "OpenGL v<version>";
        else if (line.rfind("  Renderer: ", 0) == 0 && line.size() > 12)
            line = "  Renderer: <renderer>";
        else if (line.rfind("  Vendor: ", 0) == 0 && line.size() > 10)
            line = "  Vendor: <vendor>";
        kept += line + "\n";
    }
    return kept;
}

}  // namespace

TEST(Startup, ReportMatchesLineByLine)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 5000));
    int n = processors();
    std::string expected = "Vexa v3.0.0b\n\n";
    int greetings = 0;
    std::string got = maskedReport(vexa.output(), &greetings);
    // The credits line is ours; take it from the output and check its shape.
    std::istringstream lines(got);
    std::string l1, l2, credits;
    std::getline(lines, l1);
    std::getline(lines, l2);
    std::getline(lines, credits);
    EXPECT_FALSE(credits.empty());
    expected += credits + "\nInitalizing...\n";
    expected += "Number of CPU: " + std::to_string(n) + "\n";
    if (n > 1)
        expected += "SMP support available, creating " + std::to_string(n - 1) + " slave threads.\n";
    expected += "SSE instructions supported. Switching to SSE quadpoints computation.\n";
    expected += "OpenGL v<version>\n  Renderer: <renderer>\n  Vendor: <vendor>\n";
    expected += helpText;
    expected += "\nSeen anything faster ? Then... time to change your OpenGL card !\n";
    EXPECT_EQ(got, expected);
    EXPECT_EQ(greetings, n - 1);
    // Each greeting names its own worker once.
    for (int k = 1; k < n; ++k)
        EXPECT_NE(vexa.output().find("Thread " + std::to_string(k) + " says:"), std::string::npos);
}

TEST(Startup, FirstTitleAndPicture)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    std::string title = "Vexa v3.0.0b 500*500 i=40 " + std::to_string(processors()) + "xCPU SSE";
    EXPECT_TRUE(vexa.waitForTitle(title, 5000)) << vexa.title();
    int w = 0, h = 0;
    std::vector<Rgb> shot = vexa.screenshot(&w, &h);
    ASSERT_EQ(w, 500);
    ASSERT_EQ(h, 500);
    // c = 0 (column 333, row 250) is inside: black. c = -2 - 1.5i, the
    // top-left pixel, escapes at once: palette entry 0, (70, 50, 200);
    // c = 0.994 + 1.494i, the bottom-right one, after one step: (73, 54, 198).
    EXPECT_EQ(shot[250 * 500 + 333], (Rgb{0, 0, 0}));
    EXPECT_EQ(shot[0], (Rgb{70, 50, 200}));
    EXPECT_EQ(shot[499 * 500 + 499], (Rgb{73, 54, 198}));
}

TEST(Startup, ResizeKeepsHorizontalExtentAndRetitles)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    vexa.resize(1000, 500);
    std::string title = "Vexa v3.0.0b 1000*500 i=40 " + std::to_string(processors()) + "xCPU SSE";
    ASSERT_TRUE(vexa.waitForTitle(title, 5000)) << vexa.title();
    usleep(500000);
    int w = 0, h = 0;
    std::vector<Rgb> shot = vexa.screenshot(&w, &h);
    ASSERT_EQ(w, 1000);
    ASSERT_EQ(h, 500);
    // Step 0.003: c = 0 is column 666 on the bottom row (imaginary part
    // -1.5 + 499 * 0.003 = -0.003), inside; the top row (-1.5i) is outside.
    EXPECT_EQ(shot[499 * 1000 + 666], (Rgb{0, 0, 0}));
    EXPECT_EQ(shot[0], (Rgb{70, 50, 200}));
}

TEST(Startup, EscapeEndsWithStatusZero)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    vexa.key("Escape");
    EXPECT_EQ(vexa.waitForExit(5000), 0);
}

TEST(Startup, ConsoleLinesReachAFileAtOnce)
{
    // Standard output here is a file: the report must be there while the
    // program still runs, not only when it ends.
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    EXPECT_NE(vexa.output().find("Initalizing...\n"), std::string::npos);
    EXPECT_NE(vexa.output().find("See result in the console.\n"), std::string::npos);
}

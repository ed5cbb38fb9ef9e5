// Key b in the running program: the report on standard output, the window
// put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "e2e_support.h"

TEST(BenchmarkKey, ReportAppearsAndWindowComesBack)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 20000));
    std::string before = vexa.title();
    vexa.key("KP_Add");  // limit 41, so the restore is visible
    std::string title41 = std::regex_replace(before, std::regex("i=40"), "i=41");
    ASSERT_TRUE(vexa.waitForTitle(title41, 20000)) << vexa.title();
    vexa.key("B");  // upper case acts as b
    ASSERT_TRUE(vexa.waitForOutput("  FPU C benchmark:\n", 60000));
    ASSERT_TRUE(vexa.waitForTitle(title41, 60000)) << vexa.title();
    std::string out = vexa.output();
    std::string report = out.substr(out.find("\nBENCHMARK"));
    const char* figure = "    [0-9]+\\.[0-9]{3} sec\n    [0-9]+\\.[0-9]{3} MegaIters/sec\n";
    std::regex shape(std::string("\nBENCHMARK \\(Using 1 CPU, no render\\)\n"
                                 " Sys perf timer freq: [1-9][0-9]* Hz\n"
                                 " size:\t500\\*500\n"
                                 " maxiters:\t9999\n"
                                 " rangex:\t-2\\.00 to 1\\.00\n"
                                 " rangey:\t-1\\.50 to 1\\.50\n"
                                 "  SSE benchmark:\n") +
                     figure + "  FPU ASM benchmark:\n" + figure + "  FPU C benchmark:\n" + figure +
                     "\n");
    EXPECT_TRUE(std::regex_match(report, shape)) << report;
    // The picture comes back at the window's size: the top-left pixel is
    // palette entry 0 and c = 0 is inside.
    EXPECT_TRUE(vexa.waitForPicture(
        [](const std::vector<Rgb>& shot, int w, int) {
            return w == 500 && shot[0] == (Rgb{70, 50, 200}) && shot[250 * 500 + 333] == (Rgb{0, 0, 0});
        },
        20000));
}

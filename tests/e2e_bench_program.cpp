// vexa_bench as built, on the test display: the frame benchmark's report,
// and the kernel table of the view without inside points. Timings are not
// judged, only the shape of every line and the exit status.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "e2e_support.h"
#include "state/app_state.h"

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

const char* const figures = " +[0-9]+\\.[0-9]{3} sec +[0-9]+\\.[0-9]{3} MegaIters/sec";

}  // namespace

TEST(BenchProgram, FewFramesReportTheirFiguresAndEndWell)
{
    int status = -1;
    const std::string out =
        runCommand(std::string(VEXA_BENCH_BINARY) + " --frames --count 3 --limit 40 --mode 2 --threads 2",
                   &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> lines = linesOf(out);
    ASSERT_GE(lines.size(), 3u) << out;
    // The start-up lines come first, in the order start-up prints them.
    EXPECT_EQ(lines[0], "Number of CPU: 2");
    EXPECT_TRUE(out.find("\nOpenGL v") != std::string::npos) << out;
    const size_t n = lines.size();
    EXPECT_EQ(lines[n - 3], "Vexa v3.0.0b 500*500 i=40 2xCPU FPU ASM");
    EXPECT_TRUE(std::regex_match(lines[n - 2],
                                 std::regex("3 frames, [0-9]+\\.[0-9]{3} sec, [0-9]+\\.[0-9]{2} frames/sec")))
        << lines[n - 2];
    EXPECT_TRUE(std::regex_match(
        lines[n - 1],
        std::regex("main thread: [0-9]+\\.[0-9]% computing rows, [0-9]+\\.[0-9]% drawing")))
        << lines[n - 1];
}

TEST(BenchProgram, KernelTableOfTheOtherViewHasEveryLine)
{
    int status = -1;
    const std::string out = runCommand(std::string(VEXA_BENCH_BINARY) + " --view --size 100", &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> lines = linesOf(out);
    // The ceiling of each vector form this processor runs, then the modes,
    // then every form this build has, in the table's order; a form with a
    // ceiling gives its share of it.
    std::vector<std::string> want;
    for (const FormRow& f : formTable()) {
        if (ceilingForm(f))
            want.push_back(std::string("ceiling/") + (f.mode == ModeSse ? "float" : "double") +
                           "[0-9]+ +(1 vector|[0-9]+ vectors) +[0-9]+\\.[0-9]{3} MegaIters/sec");
    }
    const size_t ceilings = want.size();
    // A mode says which form it runs, and a vector form how many vectors it
    // keeps in flight, as each was chosen in that process.
    const std::string inFlight = "(, [0-9]+ in flight)?";
    for (const char* mode : {"kernelSse", "kernelFpuAsm", "kernelFpuC"})
        want.push_back(std::string(mode) + figures + "( +runs " + mode + "/[a-z0-9]+" + inFlight + ")?");
    want.push_back(std::string("kernelFpuLongDouble") + figures);
    for (const FormRow& f : formTable()) {
        if (!f.kernels[0])
            continue;
        const std::string share = ceilingForm(f) ? " +[0-9]+% of ceiling" : "";
        const std::string slots = f.slots.chosen ? ", [0-9]+ in flight" : "";
        want.push_back(std::string(f.name) + "(" + figures + share + slots + "| +not available)");
    }
    ASSERT_EQ(lines.size(), want.size() + 1) << out;
    EXPECT_GT(ceilings, 0u) << "every architecture built has a vector form";
    EXPECT_EQ(lines[0], "100*100, maxiters 300, one thread, centre -0.7454+0.1127i, extent 2e-05");
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i + 1], std::regex(want[i]))) << lines[i + 1];
}

TEST(BenchProgram, HelpAndVersionAnswerOnStandardOutput)
{
    int status = -1;
    EXPECT_EQ(runCommand(std::string(VEXA_BENCH_BINARY) + " --version 2>&1", &status),
              "vexa_bench 3.0.0b\n");
    EXPECT_EQ(status, 0);
    const std::string help = runCommand(std::string(VEXA_BENCH_BINARY) + " --help 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(help.rfind("usage: vexa_bench [--view] [--size N]\n", 0), 0u) << help;
    EXPECT_EQ(runCommand(std::string(VEXA_BENCH_BINARY) + " --help 2>&1 >/dev/null"), "");
}

TEST(BenchProgram, WrongArgumentsAreNamedOnStandardErrorWithStatus2)
{
    struct Case { const char* args; const char* firstLine; };
    const Case cases[] = {
        {"--frame", "vexa_bench: unknown option '--frame'"},
        {"--frames --limit ' 5'", "vexa_bench: --limit takes a number from 1 to 9999, not ' 5'"},
        {"--count 3", "vexa_bench: --count needs --frames"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string err =
            runCommand(std::string(VEXA_BENCH_BINARY) + " " + c.args + " 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, 2) << c.args;
        EXPECT_EQ(err.substr(0, err.find('\n')), c.firstLine);
        EXPECT_NE(err.find("\nusage: vexa_bench"), std::string::npos) << err;
        EXPECT_EQ(runCommand(std::string(VEXA_BENCH_BINARY) + " " + c.args + " 2>/dev/null"), "") << c.args;
    }
}

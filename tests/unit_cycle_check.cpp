// The cycle check, seen through what it is for: rows whose every point ends
// on a fixed point or a 2-, 3- or 4-cycle are stored as inside at once even
// with a limit of 2^30, where a form without the check (or with a check
// that never finds the repeat) would iterate every point 2^30 times. Each
// form runs in a child process held to a few seconds of processor time:
// the checked forms need milliseconds, while the fastest unchecked form we
// know (16 float lanes at 9.5e9 iterations a second) needs over 25 seconds
// for one row, and no core could do it in the bound. The 3-cycle row also
// holds the schedule of saved values: its repeats come every 3 or 9 steps,
// which a save at every look (instead of at powers of two) never meets.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "form_cases.h"

namespace {

constexpr int HugeLimit = 1 << 30;
constexpr int Columns = 256;
constexpr int CpuSeconds = 3;

// Rows of 256 points 1e-7 apart, all in one component of the set's inside,
// away from its centre: each point's orbit settles on the component's
// attracting cycle and then, in every precision, repeats exactly (checked
// independently with a table of every value visited).
struct CycleRow {
    const char* name;
    double x0, y;
};
const CycleRow cycleRows[] = {
    {"fixed point", 0.1, 0.1},
    {"2-cycle", -1.1, 0.05},
    {"3-cycle", -0.11, 0.76},
    {"4-cycle", -1.30, 0.005},
};

// Computes the row in a child process. "" when every point came back as
// inside, else what went wrong.
std::string runRowInChild(RowKernel kernel, const CycleRow& row)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit bound = {CpuSeconds, CpuSeconds + 1};  // SIGXCPU, then SIGKILL
        setrlimit(RLIMIT_CPU, &bound);
        app.iterationBuffer = new IterationBuffer(Columns, 1);
        app.width = Columns;
        app.xMin = row.x0;
        app.yMin = row.y;
        app.stepX = app.stepY = 1e-7;
        app.bailout = 4.0;
        if (!kernel(0, HugeLimit))
            _exit(2);
        const int32_t* counts = app.iterationBuffer->rowValues(0);
        _exit(std::count(counts, counts + Columns, InsideMarker) == Columns ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return "the child process did not start";
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        return "more than " + std::to_string(CpuSeconds) +
               " s of processor time: the check did not find the cycle";
    if (WIFSIGNALED(status))
        return std::string("the child ended on signal ") + strsignal(WTERMSIG(status));
    switch (WEXITSTATUS(status)) {
    case 0:
        return "";
    case 1:
        return "a point not stored as inside";
    case 2:
        return "the kernel refused the row";
    default:
        return "the child exited with status " + std::to_string(WEXITSTATUS(status));
    }
}

void expectEveryRowInside(RowKernel kernel)
{
    for (const CycleRow& row : cycleRows)
        EXPECT_EQ(runRowInChild(kernel, row), "") << row.name;
}

class CycleCheck : public ::testing::TestWithParam<FormCase> {};

}  // namespace

TEST_P(CycleCheck, StoresPeriodicPointsAsInsideAtOnce)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    expectEveryRowInside(kernel);
}

INSTANTIATE_TEST_SUITE_P(Forms, CycleCheck, testing::ValuesIn(checkedFormCases()), formCaseName);

// What each mode runs in the explorer, whichever form that is here.
TEST(CycleCheck, ModeKernelsStorePeriodicPointsAsInsideAtOnce)
{
    for (int mode : {ModeSse, ModeFpuC, ModeFpuAsm}) {
        RowKernel kernel = kernelForMode(mode);
        if (!kernel) {
            EXPECT_EQ(mode, ModeSse) << "only ModeSse may lack a kernel";
            continue;
        }
        SCOPED_TRACE(mode == ModeSse ? "ModeSse" : mode == ModeFpuC ? "ModeFpuC" : "ModeFpuAsm");
        expectEveryRowInside(kernel);
    }
}

// The cycle check, seen through what it is for: rows whose every point ends
// on a fixed point or a 2-, 3- or 4-cycle are stored as inside at once even
// with a limit of 2^30, where a form without the check (or with a check
// that never finds the repeat) would iterate every point 2^30 times:
// minutes for a row. Each form runs in a child process under a watchdog, so
// such a hang fails its case instead of stalling the run. The 3-cycle row
// also holds the schedule of saved values: its repeats come every 3 or 9
// steps, which a save at every look (instead of at powers of two) never
// meets.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "form_cases.h"

namespace {

constexpr int HugeLimit = 1 << 30;
constexpr int Columns = 64;
constexpr int WatchdogSeconds = 20;

// Rows of 64 points 1e-7 apart, all in one component of the set's inside,
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(WatchdogSeconds);
    int status = 0;
    while (child > 0 && waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return "no answer within the watchdog's time: the check did not find the cycle";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (child < 0 || !WIFEXITED(status))
        return "the child process did not start or crashed";
    const char* const said[] = {"", "a point not stored as inside", "the kernel refused the row"};
    return said[WEXITSTATUS(status) % 3];
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

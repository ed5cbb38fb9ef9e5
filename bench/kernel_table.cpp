// The kernel table of vexa_bench: each mode's kernel as it runs here, then
// each form alone without the cycle check, so that the gain of the vectors
// and the gain of the check show apart. With the check, MegaIters/sec is an
// effective rate: inside points count the full limit however soon they stop.
#include <cstdio>
#include <vector>

#include "bench/bench.h"
#include "compute/compute.h"
#include "render/render.h"
#include "state/app_state.h"

namespace {

// A line of the table: a mode through computeRow, or one form alone.
struct TableLine {
    const char* name;
    int mode;
    RowKernel form;  // null: the mode's kernel as the explorer runs it
    bool available;
    const FormRow* row;  // a form's row; null for the modes
    Ceiling ceiling;     // a vector form's, measured; rate 0 for the other lines
};

// The mode kernels as each mode runs here, then every form this build has,
// in the table's order; those the processor lacks say so.
std::vector<TableLine> tableLines()
{
    const Ceiling none = {0.0, 0, 0};
    std::vector<TableLine> table = {
        {"kernelSse", ModeSse, nullptr, sseModeAvailable(), nullptr, none},
        {"kernelFpuAsm", ModeFpuAsm, nullptr, kernelForMode(ModeFpuAsm) != nullptr, nullptr, none},
        {"kernelFpuC", ModeFpuC, nullptr, kernelForMode(ModeFpuC) != nullptr, nullptr, none},
        {"kernelFpuLongDouble", ModeFpuAsm, kernelFpuLongDouble, true, nullptr, none},
    };
    for (const FormRow& f : formTable()) {
        if (!f.kernels[0])
            continue;
        RowKernel form = kernelForm(f.mode, f.form, false);
        table.push_back({f.name, f.mode, form, form != nullptr, &f, none});
    }
    return table;
}

// The ceiling of each vector form this processor runs, measured and
// printed, in the table's order: "ceiling/float8" for eight float lanes.
void printCeilings(std::vector<TableLine>& table)
{
    for (TableLine& line : table) {
        const FormRow* row = line.row;
        const CeilingRun run = row ? ceilingForm(*row) : nullptr;
        if (!run)
            continue;
        line.ceiling = measureCeiling(run);
        char name[32];
        snprintf(name, sizeof name, "ceiling/%s%d", row->mode == ModeSse ? "float" : "double", line.ceiling.lanes);
        printf("%-28s %4d %s %10.3f MegaIters/sec\n", name, line.ceiling.vectors,
               line.ceiling.vectors == 1 ? "vector " : "vectors", line.ceiling.megaItersPerSecond);
    }
}

// Passes repeated until about half a second has gone, at most 20: the
// fastest is the least disturbed by whatever else the machine does.
constexpr double PassesSeconds = 0.5;
constexpr int MostPasses = 20;

// Near the boundary between the main cardioid and a bulb, 2e-5 wide: every
// point escapes, so the check finds no cycle and can only cost.
void useOtherView()
{
    app.width = BenchmarkSize;
    app.height = BenchmarkSize;
    app.maxIters = 300;
    const double centreX = -0.7454, centreY = 0.1127, half = 1e-5;
    app.xMin = centreX - half;
    app.xMax = centreX + half;
    app.yMin = centreY - half;
    app.yMax = centreY + half;
    app.stepX = (app.xMax - app.xMin) / BenchmarkSize;
    app.stepY = app.stepX;
}

// What a line runs: a form alone without the check, or the mode's choice.
FormChoice lineChoice(const TableLine& line)
{
    return line.form ? FormChoice{line.row, false} : formForMode(line.mode);
}

// Each mode's form and each vector form's number of vectors in flight are
// timed on first use: done here, so that no pass times the choosing.
void makeChoices(const std::vector<TableLine>& table)
{
    for (const TableLine& line : table) {
        const FormChoice c = lineChoice(line);
        if (line.available && c.row && c.row->slots.chosen)
            c.row->slots.chosen(c.check);
    }
}

// For a mode, the form it runs here; for a vector form, how many vectors
// it keeps in flight here.
void printChoice(const TableLine& line)
{
    const FormChoice c = lineChoice(line);
    if (!line.form && c.row)
        printf("   runs %s", c.row->name);
    if (c.row && c.row->slots.chosen)
        printf(", %d in flight", c.row->slots.chosen(c.check));
}

BenchmarkFigures fastestPass(const TableLine& line)
{
    BenchmarkFigures best = {0.0, 0.0};
    double spent = 0.0;
    for (int pass = 0; pass < MostPasses && spent < PassesSeconds; ++pass) {
        app.iterationBuffer->clear();
        BenchmarkFigures figures = timePass(line.mode, line.form);
        spent += figures.seconds;
        if (pass == 0 || figures.seconds < best.seconds)
            best = figures;
    }
    return best;
}

}  // namespace

int printKernelTable(bool otherView, int size)
{
    if (!platformCounterFrequency(&app.counterFrequency) || app.counterFrequency <= 0) {
        fputs("ERROR: System does not support performance counters.\n", stdout);
        return 1;
    }
    if (otherView)
        useOtherView();
    else
        useBenchmarkSettings();
    // The same part of the plane in fewer, larger pixels.
    app.width = app.height = size;
    app.stepX = app.stepY = (app.xMax - app.xMin) / size;
    app.iterationBuffer = new IterationBuffer(size, size);
    if (app.iterationBuffer->rows() == 0)
        return 1;
    printf("%d*%d, maxiters %d, one thread%s\n", app.width, app.height, app.maxIters,
           otherView ? ", centre -0.7454+0.1127i, extent 2e-05" : "");
    std::vector<TableLine> table = tableLines();
    makeChoices(table);
    printCeilings(table);
    for (const TableLine& line : table) {
        if (!line.available) {
            printf("%-28s not available\n", line.name);
            continue;
        }
        BenchmarkFigures figures = fastestPass(line);
        printf("%-28s %8.3f sec %10.3f MegaIters/sec", line.name, figures.seconds,
               figures.megaItersPerSecond);
        if (line.ceiling.megaItersPerSecond > 0.0)
            printf(" %4.0f%% of ceiling", 100.0 * figures.megaItersPerSecond / line.ceiling.megaItersPerSecond);
        printChoice(line);
        putchar('\n');
    }
    return 0;
}

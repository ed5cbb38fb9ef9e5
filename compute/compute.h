// Escape-time computation: the iteration buffer that holds one frame's counts
// and the processor kernels. Kernels run on the main thread and on workers at
// once, each call on its own row.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

struct RowRecord {
    std::atomic<uint8_t> done;  // set with release after the row's counts, read with acquire
    void* pointer;
};

// The counts of the whole window, row-major. The storage is class-wide: at
// most one instance lives at a time, and construction fills the storage and
// destruction empties it. A failed construction leaves no storage, and every
// operation then answers as for an empty buffer; so do rows out of range.
class IterationBuffer {
public:
    IterationBuffer(int columns, int rows);
    virtual ~IterationBuffer();

    int32_t* rowValues(int row) const;  // null without storage
    bool isRowDone(int row) const;
    void setRowDone(int row, int flag);
    void* rowPointer(int row) const;
    void setRowPointer(int row, void* pointer);
    void resetRow(int row);
    int columns() const;
    int rows() const;
    int64_t cellCount() const;
    // Total of the done rows' counts, `marker` counted as `limit`; wraps mod 2^32.
    uint32_t sumIterations(int limit, int marker) const;
    void clear();  // every count becomes 0; done flags stay
};

// Kernels: compute row `row` of the current buffer from the view in AppState.
// They return false, writing nothing, when the row has no storage. Each name
// is what its mode runs here: the widest form this processor offers, with
// the cycle check, which stores a point whose orbit repeats exactly as
// inside at once. Every form gives the same counts as its mode's plain form.
using RowKernel = bool (*)(int row, int maxIters);
// A form's kernels, without and with the cycle check.
using KernelPair = std::array<RowKernel, 2>;
bool kernelFpuC(int row, int maxIters);
bool kernelFpuAsm(int row, int maxIters);
bool kernelFpuLongDouble(int row, int maxIters);  // portable form of kernelFpuAsm
bool kernelSse(int row, int maxIters);
// Whether ModeSse runs here: on x86 where the processor has SSE (CPUID 1
// EDX bit 25); elsewhere always, on NEON or VSX where the processor has
// it, else in the portable four-lane loop.
bool probeSse();
// The unit ModeSse runs on, for the start-up report; null where it runs the
// portable loop, and then why, in a few words.
const char* fourLaneUnitName();
const char* noFourLaneUnitReason();

// The kernel of the form `mode` runs here, or null where the mode has no
// processor kernel (ModeGpu, or ModeSse on a processor without a four-lane unit).
RowKernel kernelForMode(int mode);
// For tests: when set, every mode that has a kernel runs this one instead.
extern RowKernel modeKernelStandIn;
// Whether ModeSse can run here: the processor has the unit and this build its kernel.
bool sseModeAvailable();

// The forms of the mode kernels. Each mode has a plain form: the four-lane
// loop (ModeSse), the scalar double loop (ModeFpuC), the x87 machine code
// (ModeFpuAsm). LongDouble is ModeFpuAsm's portable form, Portable the
// four-lane loop's where there is no vector unit; the others run several
// vectors of ModeSse's float lanes or ModeFpuC's double lanes at once.
enum KernelForm : int { FormPlain, FormLongDouble, FormSse2, FormAvx2, FormAvx512, FormNeon, FormVsx, FormVx, FormPortable };

// What a form needs of the processor, one bit each. AVX2 and AVX-512F count
// only where the OS saves their registers.
enum : uint32_t {
    FeatureX87 = 1, FeatureSse = 2, FeatureSse2 = 4, FeatureAvx2 = 8, FeatureAvx512 = 16, FeatureNeon = 32,
    FeatureVsx = 64, FeatureVx = 128  // IBM Z's vector float
};

// Where a ceiling run leaves lane 0 of its first vector, which starts at
// z = 0 with c = (cx, cy); and the sum of every vector's lane 0, z and
// count, so that no vector's work is dead to the compiler.
struct CeilingEnd {
    double zr, zi;
    int64_t count;
    double sum;
};
// The ceiling of a vector form's lanes: `vectors` independent vectors of
// points that never escape run the form's step, its escape compare and its
// masked count add `steps` times, and nothing else, so no form of those
// lanes iterates faster. Returns the lanes of one vector; 0, running
// nothing, for a number of vectors it does not offer (see CeilingVectors).
using CeilingRun = int (*)(int vectors, int64_t steps, double cx, double cy, CeilingEnd* end);
// The numbers of vectors a ceiling run offers: the runs are compiled for
// these, and the benchmark tries each.
using CeilingCounts = std::integer_sequence<int, 1, 2, 3, 4, 6, 8, 12, 16>;
template <int... Counts>
constexpr std::array<int, sizeof...(Counts)> listOf(std::integer_sequence<int, Counts...>)
{
    return {Counts...};
}
constexpr auto CeilingVectors = listOf(CeilingCounts{});

// How many vectors a vector form keeps in flight: the numbers it is built
// for, and the one each of its kernels (without and with the check) runs
// with here, the fastest on sample rows, timed on first use. The counts
// are the same whichever it is.
struct SlotChoice {
    int (*chosen)(bool check);  // null for the forms without a choice
    std::vector<int> candidates;
    void (*runSample)(bool check);  // the kernel's row iteration on the sample rows the choice is timed on
};
// For tests: when set, each vector form built for this many vectors runs
// with it instead of its choice.
extern int slotsStandIn;

struct FormRow {
    const char* name;  // as vexa_bench prints it
    int mode;
    KernelForm form;
    uint32_t needs;       // the features the form needs
    uint32_t checkNeeds;  // and those its kernel with the cycle check needs besides
    KernelPair kernels;   // without and with the check; null where this build lacks the form
    CeilingRun ceiling;   // the vector forms' ceiling; null for the others and where not built
    SlotChoice slots;
};

// Every form of every architecture, the fastest first within each mode.
const std::vector<FormRow>& formTable();

struct FormChoice {
    const FormRow* row;  // null: no form of the mode runs
    bool check;
};
// The form `mode` runs on a processor with `features`: the first row this
// build has whose needs they meet, with the check; where no checked kernel
// runs, the first one without it.
FormChoice chooseForm(int mode, uint32_t features);
// The forms whose checked kernel `mode` may run with `features`, timed on
// the sample rows: every vector form of the mode these allow, widest first.
// A narrower one can be faster with the check, where lanes that stop at
// different times leave less of a vector idle.
std::vector<const FormRow*> checkedCandidates(int mode, uint32_t features);
// The form each mode runs here: chooseForm's, or with the check the
// fastest of its candidates, timed once on first use.
FormChoice formForMode(int mode);

// What CPUID reports: leaf 1 EDX and ECX, leaf 7 (sub-leaf 0) EBX, and XCR0
// (0 where the OS has not enabled XGETBV).
struct CpuidBits {
    uint32_t leaf1Edx, leaf1Ecx, leaf7Ebx;
    uint64_t xcr0;
};
uint32_t featuresFromCpuid(const CpuidBits& bits);
// This processor's features, read once.
uint32_t processorFeatures();

// The row of `mode`'s `form` where this build has it, else null.
const FormRow* builtForm(int mode, KernelForm form);
// Its kernel where this processor runs it too, else null. Tests and the
// benchmark use it to run one form alone.
RowKernel kernelForm(int mode, KernelForm form, bool cycleCheck);
// The row's ceiling where this build has it and this processor runs it,
// with what the form's checked kernel needs besides (it counts as that one
// does); else null.
CeilingRun ceilingForm(const FormRow& row);

// Makes every vector of the float forms fall back to the four-lane loop, as
// one does when a lane comes back inside after escaping; for tests, since
// no such lane is known.
extern bool forceFourLaneFallback;

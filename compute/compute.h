// Escape-time computation: the iteration buffer that holds one frame's counts
// and the processor kernels. Kernels run on the main thread and on workers at
// once, each call on its own row.
#pragma once

#include <atomic>
#include <cstdint>

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
bool kernelFpuC(int row, int maxIters);
bool kernelFpuAsm(int row, int maxIters);
bool kernelFpuLongDouble(int row, int maxIters);  // portable form of kernelFpuAsm
bool kernelSse(int row, int maxIters);
// Whether the processor has the four-lane float unit ModeSse runs on: SSE
// on x86 (CPUID), NEON (always there) on 64-bit ARM.
bool probeSse();
// What that unit is called on this processor, for the start-up report.
const char* fourLaneUnitName();

// The kernel that `mode` runs in this build, or null where the mode has no
// processor kernel (ModeGpu, or ModeSse in a build without a four-lane unit).
RowKernel kernelForMode(int mode);
// For tests: when set, every mode that has a kernel runs this one instead.
extern RowKernel modeKernelStandIn;
// Whether ModeSse can run here: the processor has the unit and this build its kernel.
bool sseModeAvailable();

// The forms of a mode's kernel. Plain is the four-lane loop (ModeSse: SSE on
// x86, NEON on ARM), the scalar double loop (ModeFpuC) or the x87 machine
// code (ModeFpuAsm; the long double steps where there is no x87);
// LongDouble is the portable form of ModeFpuAsm. The vector forms run
// several vectors of ModeSse's float lanes or ModeFpuC's double lanes at
// once: AVX2 and AVX-512F on x86, two-lane SSE2 (doubles only) on x86, NEON
// on 64-bit ARM.
enum KernelForm : int { FormPlain, FormAvx2, FormAvx512, FormLongDouble, FormSse2, FormNeon };

// The form of `mode` with or without the cycle check, or null where this
// build or this processor cannot run it. Tests and the benchmark use it to
// run one form alone.
RowKernel kernelForm(int mode, KernelForm form, bool cycleCheck);
// Whether this build has that form at all, whether or not this processor
// runs it. The x87 machine code, ModeFpuAsm's plain form, is built for x86 only.
bool formBuilt(int mode, KernelForm form);

// Makes every vector of the float forms fall back to the four-lane loop, as
// one does when a lane comes back inside after escaping; for tests, since
// no such lane is known.
extern bool forceFourLaneFallback;

// What the processor tells about its vector units: CPUID leaf 1 ECX, leaf 7
// (sub-leaf 0) EBX, and XCR0 (0 where the OS has not enabled XGETBV).
struct VectorFeatureBits {
    uint32_t leaf1Ecx;
    uint32_t leaf7Ebx;
    uint64_t xcr0;
};
// The widest AVX form those bits allow: FormAvx512, FormAvx2 or FormPlain.
KernelForm chooseKernelForm(const VectorFeatureBits& bits);
// The widest AVX form of this processor in this build, decided once:
// FormPlain where there is none (and on processors other than x86).
KernelForm processorKernelForm();

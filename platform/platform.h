// The operating-system services vexa uses, behind one OS-neutral interface.
// Nothing outside platform/ talks to the OS directly; everything here is
// safe to call from any thread unless its comment says otherwise.
#pragma once

#include <atomic>
#include <cstdint>

struct PlatformThread {
    uint64_t handle;  // opaque, as the OS gave it
};

// Opens /dev/null on each of the standard descriptors 0, 1 and 2 that is
// closed, so that nothing opened later (the X connection) takes its number
// and receives the console's lines. Call first thing, on the main thread.
void platformGuardStandardStreams();

// A console whose reader has gone away must not end the program: writes to
// it then fail, and the lines are dropped, instead of raising SIGPIPE.
void platformIgnoreBrokenPipe();

// Number of processors online; at least 1.
int platformProcessorCount();

// Starts `routine(arg)` on a new detached thread that runs at once.
// Returns false when the OS refuses the thread.
bool platformStartThread(void (*routine)(int), int arg, PlatformThread* thread, uint32_t* threadId);

void platformSleep(int milliseconds);

// Lowers `counter` by one and returns the new value. The read-modify-write
// releases this thread's earlier writes to whoever later acquires the counter.
int32_t platformInterlockedDecrement(std::atomic<int32_t>& counter);

// High-resolution counter: frequency in counts per second and a reading.
// Both return false when no such counter exists.
bool platformCounterFrequency(int64_t* countsPerSecond);
bool platformCounterRead(int64_t* counts);

// Address of an OpenGL entry point by name, or null. Needs a current context.
void* platformGetProcAddress(const char* name);

// Executes CPUID with `leaf` and sub-leaf 0; regs receives EAX, EBX, ECX,
// EDX. Returns false where the processor has no CPUID instruction or no
// such leaf.
bool platformCpuid(uint32_t leaf, uint32_t regs[4]);

// Reads XCR0, the register states the OS saves on a switch, with XGETBV.
// Returns false where the OS has not enabled XGETBV (CPUID leaf 1, ECX
// bit 27, OSXSAVE) or the processor has no such instruction.
bool platformReadXcr0(uint64_t* value);

// Whether the processor has the optional vector unit of this architecture's
// forms, as the kernel reports it: NEON on 32-bit ARM (HWCAP_NEON), vector
// float on IBM Z (the vector-enhancements facility, z14 on:
// HWCAP_S390_VXRS_EXT). False on other processors.
bool platformHasVectorUnit();

// The x87's precision control, per thread: the mantissa bits (24, 53 or 64)
// its results are rounded to; 0, and no effect, where there is no x87.
// Builds that do their double arithmetic on the x87 (32-bit x86 without
// SSE2 code) keep 53 in every thread, set before main and by each thread
// started here, so that double means IEEE double there too; the extended
// kernels take 64 for the length of a row.
int platformX87Precision();
void platformSetX87Precision(int bits);

// The floating-point mode every kernel computes in: round to nearest, with
// tiny results kept (no flush-to-zero, no denormals-are-zero). The counts of
// every form rest on it. Threads start in it here, and the row dispatch
// puts it back before each row, since a library in the process (the GL
// driver runs code on the main thread) may change it.
bool platformFloatModeIsDefault();
void platformSetDefaultFloatMode();

// POSIX/Linux implementation of the platform layer: pthreads, nanosleep,
// the steady clock, GLX entry-point lookup, the compiler's CPUID header and
// XGETBV, the kernel's hardware capabilities on 32-bit ARM and IBM Z.
#include "platform/platform.h"

#include <GL/glx.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cfenv>

#include <chrono>
#include <new>

#include "platform/arch.h"
#ifdef VEXA_ARMHF
#include <asm/hwcap.h>
#endif
#if defined(VEXA_ARMHF) || defined(VEXA_S390X)
#include <sys/auxv.h>
#endif

#ifdef VEXA_X86
#include <cpuid.h>
#endif

void platformGuardStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is fd itself, as the lower ones are open.
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

void platformIgnoreBrokenPipe()
{
    signal(SIGPIPE, SIG_IGN);
}

int platformProcessorCount()
{
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? (int)count : 1;
}

#ifdef VEXA_X86

namespace {

// Bits 8-9 of the x87 control word: 0 single, 2 double, 3 extended.
constexpr uint16_t PrecisionMask = 0x300;

uint16_t readX87Control()
{
    uint16_t control = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    return control;
}

void writeX87Control(uint16_t control)
{
    __asm__ volatile("fldcw %0" : : "m"(control));
}

}  // namespace

int platformX87Precision()
{
    const int field = (readX87Control() & PrecisionMask) >> 8;
    return field == 0 ? 24 : field == 2 ? 53 : 64;
}

void platformSetX87Precision(int bits)
{
    const uint16_t field = bits <= 24 ? 0x000 : bits <= 53 ? 0x200 : 0x300;
    writeX87Control((uint16_t)((readX87Control() & ~PrecisionMask) | field));
}

#else

int platformX87Precision()
{
    return 0;
}

void platformSetX87Precision(int)
{
}

#endif

namespace {

#ifdef VEXA_X86
// The SSE unit's control register: rounding (bits 13-14), flush-to-zero
// (15) and denormals-are-zero (6); masked exceptions stay as they are. An
// i686 without SSE has no such register.
constexpr uint32_t MxcsrNonDefault = 0x6000u | 0x8000u | 0x40u;
// The x87's rounding control, bits 10-11 of its control word; C's doubles
// run on the x87 in 32-bit builds.
constexpr uint16_t X87Rounding = 0xC00;

bool hasMxcsr()
{
#ifdef VEXA_X86_64
    return true;
#else
    static const bool has = [] {
        uint32_t regs[4];
        return platformCpuid(1, regs) && (regs[3] & (1u << 25));
    }();
    return has;
#endif
}

uint32_t readMxcsr()
{
    uint32_t csr = 0;
    if (hasMxcsr())
        __asm__ volatile("stmxcsr %0" : "=m"(csr));
    return csr;
}

bool floatModeIsDefault()
{
    return (readMxcsr() & MxcsrNonDefault) == 0 && (readX87Control() & X87Rounding) == 0;
}

void setDefaultFloatMode()
{
    uint32_t csr = readMxcsr() & ~MxcsrNonDefault;
    if (hasMxcsr())
        __asm__ volatile("ldmxcsr %0" : : "m"(csr));
    writeX87Control((uint16_t)(readX87Control() & ~X87Rounding));
}

#elif defined(VEXA_ARM64)
// FPCR: rounding (bits 22-23), flush-to-zero (24) and its half-precision
// twin (19).
constexpr uint64_t FpcrNonDefault = (3ull << 22) | (1ull << 24) | (1ull << 19);

uint64_t readFpcr()
{
    uint64_t fpcr;
    __asm__ volatile("mrs %0, fpcr" : "=r"(fpcr));
    return fpcr;
}

bool floatModeIsDefault()
{
    return (readFpcr() & FpcrNonDefault) == 0;
}

void setDefaultFloatMode()
{
    const uint64_t fpcr = readFpcr() & ~FpcrNonDefault;
    __asm__ volatile("msr fpcr, %0" : : "r"(fpcr));
}

#else

bool floatModeIsDefault()
{
    return fegetround() == FE_TONEAREST;
}

void setDefaultFloatMode()
{
    fesetround(FE_TONEAREST);
}

#endif

// From before main, the main thread computes in the default mode.
[[maybe_unused]] const bool mainThreadFloatMode = (setDefaultFloatMode(), true);

#ifdef VEXA_X87_DOUBLE_MATH
// Double arithmetic runs on the x87 here: from before main every result is
// rounded to 53 bits, as on every other processor.
constexpr int ThreadPrecision = 53;
[[maybe_unused]] const bool mainThreadPrecision = (platformSetX87Precision(ThreadPrecision), true);
#else
constexpr int ThreadPrecision = 0;
#endif

struct ThreadStart {
    void (*routine)(int);
    int arg;
};

void* runThread(void* raw)
{
    ThreadStart start = *(ThreadStart*)raw;
    delete (ThreadStart*)raw;
    // A new thread inherits its creator's mode, whatever a library made of it.
    setDefaultFloatMode();
    if (ThreadPrecision)
        platformSetX87Precision(ThreadPrecision);
    start.routine(start.arg);
    return nullptr;
}

std::atomic<uint32_t> nextThreadId{1};

}  // namespace

bool platformStartThread(void (*routine)(int), int arg, PlatformThread* thread, uint32_t* threadId)
{
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, arg};
    if (!start)
        return false;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t id;
    int failed = pthread_create(&id, &attr, runThread, start);
    pthread_attr_destroy(&attr);
    if (failed) {
        delete start;
        return false;
    }
    if (thread)
        thread->handle = (uint64_t)id;
    if (threadId)
        *threadId = nextThreadId.fetch_add(1);
    return true;
}

void platformSleep(int milliseconds)
{
    timespec wait{milliseconds / 1000, (long)(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

int32_t platformInterlockedDecrement(std::atomic<int32_t>& counter)
{
    return counter.fetch_sub(1, std::memory_order_acq_rel) - 1;
}

bool platformCounterFrequency(int64_t* countsPerSecond)
{
    using Period = std::chrono::steady_clock::period;
    if (Period::num != 1)
        return false;
    *countsPerSecond = (int64_t)Period::den;
    return true;
}

bool platformCounterRead(int64_t* counts)
{
    *counts = (int64_t)std::chrono::steady_clock::now().time_since_epoch().count();
    return true;
}

void* platformGetProcAddress(const char* name)
{
    return (void*)glXGetProcAddressARB((const GLubyte*)name);
}

bool platformCpuid(uint32_t leaf, uint32_t regs[4])
{
#ifdef VEXA_X86
    unsigned a, b, c, d;
    if (!__get_cpuid_count(leaf, 0, &a, &b, &c, &d))
        return false;
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
    return true;
#else
    (void)leaf;
    (void)regs;
    return false;
#endif
}

bool platformReadXcr0(uint64_t* value)
{
#ifdef VEXA_X86
    uint32_t regs[4];
    if (!platformCpuid(1, regs) || !((regs[2] >> 27) & 1u))
        return false;
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    *value = ((uint64_t)high << 32) | low;
    return true;
#else
    (void)value;
    return false;
#endif
}

bool platformHasVectorUnit()
{
#if defined(VEXA_ARMHF)
    return (getauxval(AT_HWCAP) & HWCAP_NEON) != 0;
#elif defined(VEXA_S390X)
    return (getauxval(AT_HWCAP) & HWCAP_S390_VXRS_EXT) != 0;
#else
    return false;
#endif
}

bool platformFloatModeIsDefault()
{
    return floatModeIsDefault();
}

void platformSetDefaultFloatMode()
{
    if (!floatModeIsDefault())
        setDefaultFloatMode();
}

// Which kernel a mode runs here. The form is chosen once, from what the
// processor and the OS offer; the mode kernels call through it.
#include <initializer_list>

#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "platform/platform.h"
#include "state/app_state.h"

namespace {

constexpr uint32_t Sse = 1u << 25;           // CPUID 1 EDX
constexpr uint32_t Sse2 = 1u << 26;          // CPUID 1 EDX
constexpr uint32_t Osxsave = 1u << 27;       // CPUID 1 ECX: XGETBV enabled by the OS
constexpr uint32_t Avx2 = 1u << 5;           // CPUID 7 EBX
constexpr uint32_t Avx512f = 1u << 16;       // CPUID 7 EBX
constexpr uint64_t YmmState = 0x6;           // XCR0: SSE and AVX upper halves
constexpr uint64_t ZmmState = 0xE6;          // XCR0: those, opmasks and both ZMM parts

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define VEXA_X86 1  // the builds that compile the SSE, SSE2 and AVX forms

uint32_t leaf1Edx()
{
    uint32_t regs[4];
    return platformCpuid(1, regs) ? regs[3] : 0;
}

VectorFeatureBits readVectorFeatureBits()
{
    VectorFeatureBits bits = {0, 0, 0};
    uint32_t regs[4];
    if (platformCpuid(1, regs))
        bits.leaf1Ecx = regs[2];
    if (platformCpuid(7, regs))
        bits.leaf7Ebx = regs[1];
    if (!platformReadXcr0(&bits.xcr0))
        bits.xcr0 = 0;
    return bits;
}
#endif

// Whether the processor runs a vector form, apart from whether it is built.
bool processorRuns(KernelForm form)
{
    switch (form) {
    case FormAvx2:
    case FormAvx512:
        return processorKernelForm() != FormPlain && form <= processorKernelForm();
    case FormSse2:
        return processorHasSse2();
    case FormNeon:
#ifdef __aarch64__
        return true;
#else
        return false;
#endif
    default:
        return true;
    }
}

// The table of a vector form's instruction set: empty where this build has
// none, or for a form that is not a vector form.
VectorForms vectorFormsOf(KernelForm form)
{
    switch (form) {
    case FormAvx2:
        return avx2VectorForms();
    case FormAvx512:
        return avx512VectorForms();
    case FormSse2:
        return sse2VectorForms();
    case FormNeon:
        return neonVectorForms();
    default:
        return {};
    }
}

// The vector form of `mode` in this build, whether or not the processor runs it.
RowKernel builtVectorForm(int mode, KernelForm form, bool cycleCheck)
{
    const VectorForms table = vectorFormsOf(form);
    if (mode == ModeSse)
        return table.sse[cycleCheck];
    return mode == ModeFpuC ? table.fpuC[cycleCheck] : nullptr;
}

// The fastest form of `mode` this processor runs: the widest vectors, with
// the check. Where no checked form runs (the four-lane loop on a processor
// with SSE but not SSE2), the plain form without it.
RowKernel fastestForm(int mode)
{
    for (KernelForm form : {FormAvx512, FormAvx2, FormNeon, FormSse2, FormPlain})
        if (RowKernel kernel = kernelForm(mode, form, true))
            return kernel;
    return kernelForm(mode, FormPlain, false);
}

// The form each mode runs, decided on first use.
RowKernel chosenKernel(int mode)
{
    static const RowKernel sse = fastestForm(ModeSse);
    static const RowKernel fpuC = fastestForm(ModeFpuC);
    return mode == ModeSse ? sse : fpuC;
}

}  // namespace

KernelForm chooseKernelForm(const VectorFeatureBits& bits)
{
    if (!(bits.leaf1Ecx & Osxsave))
        return FormPlain;
    // The AVX-512 forms are compiled with AVX2 implied, so they need both.
    if (!(bits.leaf7Ebx & Avx2) || (bits.xcr0 & YmmState) != YmmState)
        return FormPlain;
    if ((bits.leaf7Ebx & Avx512f) && (bits.xcr0 & ZmmState) == ZmmState)
        return FormAvx512;
    return FormAvx2;
}

KernelForm processorKernelForm()
{
#ifdef VEXA_X86
    static const KernelForm form = chooseKernelForm(readVectorFeatureBits());
    return form;
#else
    return FormPlain;
#endif
}

bool processorHasSse2()
{
#ifdef VEXA_X86
    static const bool has = (leaf1Edx() & Sse2) != 0;
    return has;
#else
    return false;
#endif
}

bool probeSse()
{
#ifdef VEXA_X86
    return (leaf1Edx() & Sse) != 0;
#elif defined(__aarch64__)
    return true;
#else
    return false;
#endif
}

const char* fourLaneUnitName()
{
#ifdef __aarch64__
    return "NEON";
#else
    return "SSE";
#endif
}

RowKernel kernelForm(int mode, KernelForm form, bool cycleCheck)
{
    switch (form) {
    case FormPlain:
        if (mode == ModeFpuC)
            return cycleCheck ? kernelFpuCScalar : kernelFpuCScalarUnchecked;
        if (mode == ModeFpuAsm)
            return formBuilt(mode, form) ? cycleCheck ? kernelFpuAsm : kernelFpuAsmUnchecked : nullptr;
        if (mode != ModeSse || !fourLaneKernelBuilt || !probeSse())
            return nullptr;
        // The checked loop counts with SSE2's integer lanes on x86.
        if (!cycleCheck)
            return kernelSseFourLanesUnchecked;
#ifdef VEXA_X86
        if (!processorHasSse2())
            return nullptr;
#endif
        return kernelSseFourLanes;
    case FormAvx2:
    case FormAvx512:
    case FormSse2:
    case FormNeon:
        return processorRuns(form) ? builtVectorForm(mode, form, cycleCheck) : nullptr;
    case FormLongDouble:
        if (mode != ModeFpuAsm)
            return nullptr;
        return cycleCheck ? kernelFpuLongDouble : kernelFpuLongDoubleUnchecked;
    }
    return nullptr;
}

bool formBuilt(int mode, KernelForm form)
{
    if (form == FormLongDouble)
        return mode == ModeFpuAsm;
    if (form != FormPlain)
        return builtVectorForm(mode, form, true) != nullptr;
    if (mode == ModeSse)
        return fourLaneKernelBuilt;
#ifdef VEXA_X86
    return mode == ModeFpuC || mode == ModeFpuAsm;
#else
    return mode == ModeFpuC;
#endif
}

RowKernel modeKernelStandIn = nullptr;

RowKernel kernelForMode(int mode)
{
    RowKernel kernel = nullptr;
    switch (mode) {
    case ModeFpuC:
        kernel = kernelFpuC;
        break;
    case ModeFpuAsm:
        kernel = kernelFpuAsm;
        break;
    case ModeSse:
        kernel = chosenKernel(ModeSse) ? kernelSse : nullptr;
        break;
    }
    return kernel && modeKernelStandIn ? modeKernelStandIn : kernel;
}

bool sseModeAvailable()
{
    return probeSse() && kernelForMode(ModeSse) != nullptr;
}

bool kernelSse(int row, int maxIters)
{
    RowKernel kernel = chosenKernel(ModeSse);
    return kernel ? kernel(row, maxIters) : false;
}

bool kernelFpuC(int row, int maxIters)
{
    return chosenKernel(ModeFpuC)(row, maxIters);
}

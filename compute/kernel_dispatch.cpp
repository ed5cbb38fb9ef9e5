// Which kernel a mode runs here. The vector form is chosen once, from what
// the processor and the OS offer; the mode kernels call through it.
#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "platform/platform.h"
#include "state/app_state.h"

namespace {

constexpr uint32_t Osxsave = 1u << 27;       // CPUID 1 ECX: XGETBV enabled by the OS
constexpr uint32_t Avx2 = 1u << 5;           // CPUID 7 EBX
constexpr uint32_t Avx512f = 1u << 16;       // CPUID 7 EBX
constexpr uint64_t YmmState = 0x6;           // XCR0: SSE and AVX upper halves
constexpr uint64_t ZmmState = 0xE6;          // XCR0: those, opmasks and both ZMM parts

#if defined(__x86_64__) && defined(__GNUC__)
#define VEXA_VECTOR_FORMS 1  // the builds that compile the vector forms

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

RowKernel vectorForm(int mode, KernelForm form, bool cycleCheck)
{
    if (form > processorKernelForm())
        return nullptr;
    VectorForms table = form == FormAvx512 ? avx512VectorForms() : avx2VectorForms();
    if (mode == ModeSse)
        return table.sse[cycleCheck];
    return mode == ModeFpuC ? table.fpuC[cycleCheck] : nullptr;
}

// The form each mode runs, decided on first use.
RowKernel chosenKernel(int mode)
{
    static const RowKernel sse = kernelForm(ModeSse, processorKernelForm(), true);
    static const RowKernel fpuC = kernelForm(ModeFpuC, processorKernelForm(), true);
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
#ifdef VEXA_VECTOR_FORMS
    static const KernelForm form = chooseKernelForm(readVectorFeatureBits());
    return form;
#else
    return FormPlain;
#endif
}

RowKernel kernelForm(int mode, KernelForm form, bool cycleCheck)
{
    switch (form) {
    case FormPlain:
        if (mode == ModeFpuC)
            return cycleCheck ? kernelFpuCScalar : kernelFpuCScalarUnchecked;
        if (mode == ModeFpuAsm)
            return cycleCheck ? kernelFpuAsm : kernelFpuAsmUnchecked;
        if (mode == ModeSse && fourLaneKernelBuilt)
            return cycleCheck ? kernelSseFourLanes : kernelSseFourLanesUnchecked;
        return nullptr;
    case FormAvx2:
    case FormAvx512:
        return vectorForm(mode, form, cycleCheck);
    case FormLongDouble:
        if (mode != ModeFpuAsm)
            return nullptr;
        return cycleCheck ? kernelFpuLongDouble : kernelFpuLongDoubleUnchecked;
    }
    return nullptr;
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
        kernel = fourLaneKernelBuilt ? kernelSse : nullptr;
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

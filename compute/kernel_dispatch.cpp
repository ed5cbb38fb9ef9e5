// The table of forms and which of them each mode runs: the processor's
// features are read once, and each mode takes the first form of the table
// they allow. The mode kernels call through that choice.
#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "platform/platform.h"
#include "state/app_state.h"

namespace {

std::vector<FormRow> buildFormTable()
{
    const VectorForms avx512 = avx512Forms(), avx2 = avx2Forms(), sse = sseForms(), neon = neonForms(),
                      vsx = vsxForms(), vx = vxForms();
    // AVX-512 forms are compiled with AVX2 implied, so they need both.
    constexpr uint32_t Avx512 = FeatureAvx512 | FeatureAvx2;
    // The benchmark lists the forms in this order too.
    return {
        {"kernelSse/avx512", ModeSse, FormAvx512, Avx512, 0, avx512.sse, avx512.sseCeiling, avx512.sseSlots},
        {"kernelSse/avx2", ModeSse, FormAvx2, FeatureAvx2, 0, avx2.sse, avx2.sseCeiling, avx2.sseSlots},
        {"kernelSse/neon", ModeSse, FormNeon, FeatureNeon, 0, neon.sse, neon.sseCeiling, neon.sseSlots},
        {"kernelSse/sse2", ModeSse, FormSse2, FeatureSse | FeatureSse2, 0, sse.sse, sse.sseCeiling, sse.sseSlots},
        {"kernelSse/vsx", ModeSse, FormVsx, FeatureVsx, 0, vsx.sse, vsx.sseCeiling, vsx.sseSlots},
        {"kernelSse/vx", ModeSse, FormVx, FeatureVx, 0, vx.sse, vx.sseCeiling, vx.sseSlots},
        // The plain loop where SSE2 is missing; its check counts with SSE2's integer lanes.
        {"kernelSse/sse", ModeSse, FormPlain, FeatureSse, FeatureSse2, sseLoopForms(), nullptr, {}},
        {"kernelSse/loop", ModeSse, FormPlain, FeatureNeon, 0, neonLoopForms(), nullptr, {}},
        {"kernelSse/portable", ModeSse, FormPortable, 0, 0, portableLoopForms(), nullptr, {}},
        {"kernelFpuAsm/x87", ModeFpuAsm, FormPlain, FeatureX87, 0, x87Forms(), nullptr, {}},
        {"kernelFpuC/avx512", ModeFpuC, FormAvx512, Avx512, 0, avx512.fpuC, avx512.fpuCCeiling,
         avx512.fpuCSlots},
        {"kernelFpuC/avx2", ModeFpuC, FormAvx2, FeatureAvx2, 0, avx2.fpuC, avx2.fpuCCeiling, avx2.fpuCSlots},
        {"kernelFpuC/neon", ModeFpuC, FormNeon, FeatureNeon, 0, neon.fpuC, neon.fpuCCeiling, neon.fpuCSlots},
        {"kernelFpuC/vsx", ModeFpuC, FormVsx, FeatureVsx, 0, vsx.fpuC, vsx.fpuCCeiling, vsx.fpuCSlots},
        {"kernelFpuC/sse2", ModeFpuC, FormSse2, FeatureSse2, 0, sse.fpuC, sse.fpuCCeiling, sse.fpuCSlots},
        {"kernelFpuC/scalar", ModeFpuC, FormPlain, 0, 0, scalarDoubleForms(), nullptr, {}},
        {"kernelFpuLongDouble/portable", ModeFpuAsm, FormLongDouble, 0, 0, longDoubleForms(), nullptr, {}},
    };
}

bool meets(uint32_t features, uint32_t needs)
{
    return (features & needs) == needs;
}

// CPUID 1 EDX and ECX, CPUID 7 EBX, and XCR0's register states.
constexpr uint32_t Fpu = 1u << 0, Sse = 1u << 25, Sse2 = 1u << 26;  // leaf 1 EDX
constexpr uint32_t Osxsave = 1u << 27;                             // leaf 1 ECX: XGETBV enabled by the OS
constexpr uint32_t Avx2 = 1u << 5, Avx512f = 1u << 16;            // leaf 7 EBX
constexpr uint64_t YmmState = 0x6;  // SSE and AVX upper halves
constexpr uint64_t ZmmState = 0xE6;  // those, opmasks and both ZMM parts

uint32_t readProcessorFeatures()
{
#if defined(VEXA_X86)
    CpuidBits bits = {0, 0, 0, 0};
    uint32_t regs[4];
    if (platformCpuid(1, regs))
        bits.leaf1Edx = regs[3], bits.leaf1Ecx = regs[2];
    if (platformCpuid(7, regs))
        bits.leaf7Ebx = regs[1];
    if (!platformReadXcr0(&bits.xcr0))
        bits.xcr0 = 0;
    return featuresFromCpuid(bits);
#elif defined(VEXA_ARM64)
    return FeatureNeon;
#elif defined(VEXA_ARMHF)
    return platformHasVectorUnit() ? (uint32_t)FeatureNeon : 0u;
#elif defined(VEXA_S390X)
    return platformHasVectorUnit() ? (uint32_t)FeatureVx : 0u;
#elif defined(VEXA_VSX)
    return FeatureVsx;
#else
    return 0;
#endif
}

void runCheckedOnSample(int k, void* rows)
{
    static_cast<const FormRow* const*>(rows)[k]->slots.runSample(true);
}

// The first form the features allow, or with the check the fastest of its
// candidates on the sample rows.
FormChoice measuredChoice(int mode, uint32_t features)
{
    const FormChoice first = chooseForm(mode, features);
    const std::vector<const FormRow*> rows = checkedCandidates(mode, features);
    if (!first.check || rows.size() < 2 || rows[0] != first.row)
        return first;
    return {rows[fastestCandidate((int)rows.size(), runCheckedOnSample, (void*)rows.data())], true};
}

}  // namespace

// Decided on first use, for every mode at once; indexed by the mode.
FormChoice formForMode(int mode)
{
    static const uint32_t f = processorFeatures();
    static const FormChoice chosen[] = {measuredChoice(ModeFpuC, f), measuredChoice(ModeFpuAsm, f),
                                        {nullptr, false}, measuredChoice(ModeSse, f)};
    return mode >= ModeFpuC && mode <= ModeSse ? chosen[mode] : FormChoice{nullptr, false};
}

namespace {

bool runModeKernel(int mode, int row, int maxIters)
{
    const FormChoice c = formForMode(mode);
    return c.row && c.row->kernels[c.check](row, maxIters);
}

}  // namespace

const std::vector<FormRow>& formTable()
{
    static const std::vector<FormRow> table = buildFormTable();
    return table;
}

FormChoice chooseForm(int mode, uint32_t features)
{
    for (bool check : {true, false})
        for (const FormRow& f : formTable())
            if (f.mode == mode && f.kernels[check] &&
                meets(features, f.needs | (check ? f.checkNeeds : 0)))
                return {&f, check};
    return {nullptr, false};
}

std::vector<const FormRow*> checkedCandidates(int mode, uint32_t features)
{
    std::vector<const FormRow*> rows;
    for (const FormRow& f : formTable())
        if (f.mode == mode && f.kernels[1] && f.slots.runSample && meets(features, f.needs | f.checkNeeds))
            rows.push_back(&f);
    return rows;
}

uint32_t featuresFromCpuid(const CpuidBits& bits)
{
    uint32_t features = 0;
    if (bits.leaf1Edx & Fpu)
        features |= FeatureX87;
    if (bits.leaf1Edx & Sse)
        features |= FeatureSse;
    if (bits.leaf1Edx & Sse2)
        features |= FeatureSse2;
    if (!(bits.leaf1Ecx & Osxsave))
        return features;
    if ((bits.leaf7Ebx & Avx2) && (bits.xcr0 & YmmState) == YmmState)
        features |= FeatureAvx2;
    if ((bits.leaf7Ebx & Avx512f) && (bits.xcr0 & ZmmState) == ZmmState)
        features |= FeatureAvx512;
    return features;
}

uint32_t processorFeatures()
{
    static const uint32_t features = readProcessorFeatures();
    return features;
}

const FormRow* builtForm(int mode, KernelForm form)
{
    for (const FormRow& f : formTable())
        if (f.mode == mode && f.form == form && f.kernels[0])
            return &f;
    return nullptr;
}

RowKernel kernelForm(int mode, KernelForm form, bool cycleCheck)
{
    const FormRow* f = builtForm(mode, form);
    if (!f || !meets(processorFeatures(), f->needs | (cycleCheck ? f->checkNeeds : 0)))
        return nullptr;
    return f->kernels[cycleCheck];
}

CeilingRun ceilingForm(const FormRow& row)
{
    return meets(processorFeatures(), row.needs | row.checkNeeds) ? row.ceiling : nullptr;
}

bool probeSse()
{
    return chooseForm(ModeSse, processorFeatures()).row != nullptr;
}

const char* fourLaneUnitName()
{
    const FormChoice c = chooseForm(ModeSse, processorFeatures());
    if (c.row && c.row->form == FormPortable)
        return nullptr;
    const uint32_t f = processorFeatures();
    return f & FeatureNeon ? "NEON" : f & FeatureVsx ? "VSX" : f & FeatureVx ? "VX" : "SSE";
}

const char* noFourLaneUnitReason()
{
#if defined(VEXA_ARMHF)
    return "NEON instructions not supported";  // the unit this processor could have had
#elif defined(VEXA_S390X)
    return "VX instructions not supported";
#else
    return "No four-lane unit on this processor";
#endif
}

RowKernel modeKernelStandIn = nullptr;

RowKernel kernelForMode(int mode)
{
    const FormChoice c = formForMode(mode);
    RowKernel kernel = c.row ? c.row->kernels[c.check] : nullptr;
    return kernel && modeKernelStandIn ? modeKernelStandIn : kernel;
}

bool sseModeAvailable()
{
    return kernelForMode(ModeSse) != nullptr;  // a form of ModeSse needs the unit
}

bool kernelSse(int row, int maxIters)
{
    return runModeKernel(ModeSse, row, maxIters);
}

bool kernelFpuC(int row, int maxIters)
{
    return runModeKernel(ModeFpuC, row, maxIters);
}

bool kernelFpuAsm(int row, int maxIters)
{
    return runModeKernel(ModeFpuAsm, row, maxIters);
}

// The table of forms: which forms each architecture's build has, the
// features read from CPUID bits made up here, the form chosen for made-up
// feature sets, and this processor's features against what the OS says.
// The counts cannot see a mode that runs a narrower form than it may: every
// form gives the same ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "os_processor.h"
#include "platform/arch.h"
#include "state/app_state.h"

namespace {

// A choice as the tests name it: the form, "... without the check", or "none".
std::string nameOf(FormChoice c)
{
    if (!c.row)
        return "none";
    return std::string(c.row->name) + (c.check ? "" : " without the check");
}

constexpr uint32_t X87 = FeatureX87, Sse = FeatureSse, Sse2 = FeatureSse2, Avx2 = FeatureAvx2,
                   Avx512 = FeatureAvx512, Neon = FeatureNeon, Vsx = FeatureVsx,
                   Vx = FeatureVx;
constexpr uint32_t X86 = X87 | Sse | Sse2 | Avx2 | Avx512;

}  // namespace

// A skip cannot hide a form that a build lacks: each architecture's list
// is held here, in the table's order.
TEST(FormTable, EachArchitectureBuildsItsForms)
{
#if defined(VEXA_X86)
    const std::vector<std::string> want = {
        "kernelSse/avx512",  "kernelSse/avx2",  "kernelSse/sse2",  "kernelSse/sse",
        "kernelFpuAsm/x87",  "kernelFpuC/avx512", "kernelFpuC/avx2", "kernelFpuC/sse2",
        "kernelFpuC/scalar", "kernelFpuLongDouble/portable"};
#elif defined(VEXA_ARM64)
    const std::vector<std::string> want = {"kernelSse/neon",  "kernelSse/loop",    "kernelSse/portable",
                                           "kernelFpuC/neon", "kernelFpuC/scalar", "kernelFpuLongDouble/portable"};
#elif defined(VEXA_ARMHF)
    const std::vector<std::string> want = {"kernelSse/neon", "kernelSse/loop", "kernelSse/portable",
                                           "kernelFpuC/scalar", "kernelFpuLongDouble/portable"};
#elif defined(VEXA_VSX)
    const std::vector<std::string> want = {"kernelSse/vsx", "kernelSse/portable", "kernelFpuC/vsx",
                                           "kernelFpuC/scalar", "kernelFpuLongDouble/portable"};
#elif defined(VEXA_S390X)
    const std::vector<std::string> want = {"kernelSse/vx", "kernelSse/portable", "kernelFpuC/scalar",
                                           "kernelFpuLongDouble/portable"};
#else
    const std::vector<std::string> want = {"kernelSse/portable", "kernelFpuC/scalar",
                                           "kernelFpuLongDouble/portable"};
#endif
    std::vector<std::string> built;
    for (const FormRow& f : formTable()) {
        EXPECT_EQ(f.kernels[0] != nullptr, f.kernels[1] != nullptr) << f.name;
        if (builtForm(f.mode, f.form) == &f) {
            built.push_back(f.name);
            EXPECT_NE(f.kernels[0], nullptr) << f.name;
        }
    }
    EXPECT_EQ(built, want);
}

TEST(FormTable, FeaturesFromCpuidBits)
{
    // Leaf 1 EDX bits 0 (FPU), 25 (SSE), 26 (SSE2); ECX bit 27 (OSXSAVE);
    // leaf 7 EBX bits 5 (AVX2) and 16 (AVX-512F); XCR0 bits 1-2 (XMM, YMM)
    // and 5-7 (opmask, ZMM).
    struct Case { const char* name; CpuidBits bits; uint32_t want; };
    const Case cases[] = {
        {"nothing", {0, 0, 0, 0}, 0},
        {"x87 alone", {0x1, 0, 0, 0}, X87},
        {"SSE without SSE2", {0x2000000, 0, 0, 0}, Sse},
        {"SSE2 without SSE", {0x4000000, 0, 0, 0}, Sse2},
        {"x87, SSE, SSE2", {0x6000001, 0x08000000, 0, 0x3}, X87 | Sse | Sse2},
        {"AVX2 without OSXSAVE", {0x6000000, 0x0, 0x20, 0xE7}, Sse | Sse2},
        {"AVX2, OS saves no YMM", {0, 0x08000000, 0x20, 0x3}, 0},
        {"AVX2", {0, 0x08000000, 0x20, 0x7}, Avx2},
        {"AVX2 and AVX-512F, OS saves no opmask or ZMM", {0, 0x08000000, 0x10020, 0x7}, Avx2},
        {"AVX2 and AVX-512F, OS saves ZMM but no opmask", {0, 0x08000000, 0x10020, 0xC7}, Avx2},
        {"AVX2 and AVX-512F", {0, 0x08000000, 0x10020, 0xE7}, Avx2 | Avx512},
        {"AVX-512F without AVX2", {0, 0x08000000, 0x10000, 0xE7}, Avx512},
    };
    for (const Case& c : cases)
        EXPECT_EQ(featuresFromCpuid(c.bits), c.want) << c.name;
}

// The widest form the features allow, for each mode, on this architecture.
TEST(FormTable, ChoosesTheFastestFormTheFeaturesAllow)
{
    struct Case { const char* name; uint32_t features; const char* sse; const char* fpuC; const char* fpuAsm; };
    const char* const portable = "kernelFpuLongDouble/portable";
#if defined(VEXA_X86)
    const Case cases[] = {
        {"all of x86", X86, "kernelSse/avx512", "kernelFpuC/avx512", "kernelFpuAsm/x87"},
        {"AVX2", X86 & ~Avx512, "kernelSse/avx2", "kernelFpuC/avx2", "kernelFpuAsm/x87"},
        {"AVX-512F without AVX2", X86 & ~Avx2, "kernelSse/sse2", "kernelFpuC/sse2", "kernelFpuAsm/x87"},
        {"SSE2", X87 | Sse | Sse2, "kernelSse/sse2", "kernelFpuC/sse2", "kernelFpuAsm/x87"},
        {"SSE alone", X87 | Sse, "kernelSse/sse without the check", "kernelFpuC/scalar", "kernelFpuAsm/x87"},
        {"x87 alone", X87, "none", "kernelFpuC/scalar", "kernelFpuAsm/x87"},
        {"nothing", 0, "none", "kernelFpuC/scalar", portable},
        {"NEON, VSX and VX, which no x86 build has", Neon | Vsx | Vx, "none", "kernelFpuC/scalar",
         portable},
    };
#elif defined(VEXA_ARM64)
    const Case cases[] = {
        {"NEON", Neon, "kernelSse/neon", "kernelFpuC/neon", portable},
        {"everything", X86 | Neon | Vsx | Vx, "kernelSse/neon", "kernelFpuC/neon", portable},
        {"x86's, which no ARM build has", X86, "kernelSse/portable", "kernelFpuC/scalar", portable},
        {"nothing", 0, "kernelSse/portable", "kernelFpuC/scalar", portable},
    };
#elif defined(VEXA_ARMHF)
    const Case cases[] = {
        {"NEON", Neon, "kernelSse/neon", "kernelFpuC/scalar", portable},
        {"everything", X86 | Neon | Vsx | Vx, "kernelSse/neon", "kernelFpuC/scalar", portable},
        {"no NEON", X86 | Vsx | Vx, "kernelSse/portable", "kernelFpuC/scalar", portable},
    };
#elif defined(VEXA_VSX)
    const Case cases[] = {
        {"VSX", Vsx, "kernelSse/vsx", "kernelFpuC/vsx", portable},
        {"everything", X86 | Neon | Vsx | Vx, "kernelSse/vsx", "kernelFpuC/vsx", portable},
        {"nothing", 0, "kernelSse/portable", "kernelFpuC/scalar", portable},
    };
#elif defined(VEXA_S390X)
    const Case cases[] = {
        {"vector float", Vx, "kernelSse/vx", "kernelFpuC/scalar", portable},
        {"no vector float", X86 | Neon | Vsx, "kernelSse/portable", "kernelFpuC/scalar", portable},
    };
#else
    const Case cases[] = {
        {"everything", X86 | Neon | Vsx | Vx, "kernelSse/portable", "kernelFpuC/scalar", portable},
        {"nothing", 0, "kernelSse/portable", "kernelFpuC/scalar", portable},
    };
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(nameOf(chooseForm(ModeSse, c.features)), c.sse) << c.name;
        EXPECT_EQ(nameOf(chooseForm(ModeFpuC, c.features)), c.fpuC) << c.name;
        EXPECT_EQ(nameOf(chooseForm(ModeFpuAsm, c.features)), c.fpuAsm) << c.name;
        EXPECT_EQ(nameOf(chooseForm(ModeGpu, c.features)), "none") << c.name;
    }
}

// The program's reading of this processor against what Linux reports, which
// clears AVX's flags where the OS does not save their registers.
TEST(FormTable, ProcessorFeaturesAgreeWithTheOs)
{
    uint32_t want = 0;
#if defined(VEXA_X86)
    if (const std::string why = emulatorBetweenCpuidAndOs(); !why.empty())
        GTEST_SKIP() << why;
    const std::string flags = cpuinfoField("flags");
    const struct { const char* flag; uint32_t feature; } named[] = {
        {"fpu", X87}, {"sse", Sse}, {"sse2", Sse2}, {"avx2", Avx2}, {"avx512f", Avx512}};
    for (const auto& n : named)
        if (flags.find(std::string(" ") + n.flag + " ") != std::string::npos)
            want |= n.feature;
#elif defined(VEXA_ARM64)
    want = Neon;  // in every 64-bit ARM processor
#elif defined(VEXA_ARMHF)
    want = osReportsNeon() ? Neon : 0;
#elif defined(VEXA_S390X)
    want = osReportsVectorFloat() ? Vx : 0;
#elif defined(VEXA_VSX)
    ASSERT_TRUE(osReportsVsx()) << "every POWER processor this build runs on has VSX";
    want = Vsx;
#endif
    EXPECT_EQ(processorFeatures(), want);
    // ModeSse needs SSE on x86 only; elsewhere the portable loop stands in.
#ifdef VEXA_X86
    EXPECT_EQ(probeSse(), (want & Sse) != 0);
#else
    EXPECT_TRUE(probeSse());
#endif
}

// Each mode runs the form chosen for this processor's features; with the
// check, that form or a narrower candidate that ran the sample faster.
TEST(FormTable, EachModeRunsTheFormChosenForThisProcessor)
{
    for (int mode : {ModeFpuC, ModeFpuAsm, ModeSse}) {
        const FormChoice first = chooseForm(mode, processorFeatures()), runs = formForMode(mode);
        EXPECT_EQ(kernelForMode(mode), runs.row ? runs.row->kernels[runs.check] : nullptr)
            << "mode " << mode << " should run " << nameOf(runs);
        const std::vector<const FormRow*> rows = checkedCandidates(mode, processorFeatures());
        if (first.check && rows.size() > 1 && rows[0] == first.row)
            EXPECT_TRUE(runs.check && std::find(rows.begin(), rows.end(), runs.row) != rows.end())
                << "mode " << mode << " runs " << nameOf(runs) << ", which is no candidate";
        else
            EXPECT_EQ(nameOf(runs), nameOf(first)) << "mode " << mode;
    }
    EXPECT_EQ(kernelForMode(ModeGpu), nullptr);
}

// The checked forms a mode times: its vector forms the features allow,
// widest first; none where its checked kernel is not a vector form.
TEST(FormTable, CheckedCandidatesAreTheModesVectorForms)
{
    auto names = [](int mode, uint32_t features) {
        std::vector<std::string> n;
        for (const FormRow* f : checkedCandidates(mode, features))
            n.push_back(f->name);
        return n;
    };
    using Names = std::vector<std::string>;
#if defined(VEXA_X86)
    EXPECT_EQ(names(ModeSse, X86), Names({"kernelSse/avx512", "kernelSse/avx2", "kernelSse/sse2"}));
    EXPECT_EQ(names(ModeFpuC, X86 & ~Avx512), Names({"kernelFpuC/avx2", "kernelFpuC/sse2"}));
    EXPECT_EQ(names(ModeSse, X87 | Sse), Names()) << "the checked four-lane loop counts with SSE2";
    EXPECT_EQ(names(ModeFpuC, X87), Names()) << "the scalar loop is no vector form";
#elif defined(VEXA_ARM64)
    EXPECT_EQ(names(ModeSse, Neon), Names({"kernelSse/neon"}));
    EXPECT_EQ(names(ModeFpuC, Neon), Names({"kernelFpuC/neon"}));
#else
    GTEST_SKIP() << "the candidates are listed for x86 and 64-bit ARM";
#endif
    EXPECT_EQ(names(ModeFpuAsm, ~0u), Names()) << "the x87 code is no vector form";
}

TEST(FormTable, TimingTakesTheLeastTimeAndTheFirstOfEquals)
{
    const double seconds[] = {3e-5, 1e-5, 1e-5, 2e-5};
    EXPECT_EQ(leastTime(seconds, 4), 1);
    EXPECT_EQ(leastTime(seconds, 1), 0);
    EXPECT_EQ(fastestCandidate(1, [](int, void*) { FAIL() << "one candidate is not timed"; }, nullptr), 0);
}

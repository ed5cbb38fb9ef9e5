// Every form of every processor kernel, with and without the cycle check,
// against the plain form of its mode without the check: the counts of whole
// rows, pixel by pixel, over views, widths and limits chosen to catch the
// vector tails, rows of several pieces, shared float coordinates, overflow,
// late cycles and the escape tests' edges. Each form is a case of its own,
// skipped with the reason where it cannot run. Then the choice of the vector
// form from the bits the processor reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "form_cases.h"
#include "os_processor.h"
#include "views.h"
#include "state/app_state.h"

namespace {

using Counts = std::vector<int32_t>;

constexpr int32_t Untouched = 12345;

const int widths[] = {0, 1, 3, 5, 15, 17, 33, 500, 501};

void setView(const View& v, int width)
{
    app.width = width;
    app.xMin = v.x0;
    app.yMin = v.y0;
    app.stepX = app.stepY = v.step;
    app.bailout = 4.0;
}

// The whole row of the buffer after `kernel`, counts beyond what it writes included.
Counts runRow(RowKernel kernel, int row, int maxIters)
{
    int32_t* p = app.iterationBuffer->rowValues(row);
    std::fill(p, p + app.iterationBuffer->columns(), Untouched);
    EXPECT_TRUE(kernel(row, maxIters));
    return Counts(p, p + app.iterationBuffer->columns());
}

std::string firstDifference(const Counts& got, const Counts& want)
{
    for (size_t k = 0; k < want.size(); ++k)
        if (got[k] != want[k]) {
            std::ostringstream s;
            s << "column " << k << ": " << got[k] << ", want " << want[k];
            return s.str();
        }
    return "";
}

// Rows wider than one piece of a vector form (1024 lanes): the real parts
// must run on across the pieces' seams.
const int pieceWidths[] = {1023, 1024, 1025, 2051, 4097};

class BufferedRows : public ::testing::Test {
protected:
    void SetUp() override { app.iterationBuffer = new IterationBuffer(Columns, 400); }
    void TearDown() override
    {
        delete app.iterationBuffer;
        app.iterationBuffer = nullptr;
        forceFourLaneFallback = false;
    }
    static constexpr int Columns = 4100;  // 4097 rounded to whole groups
};

class FormCounts : public BufferedRows, public ::testing::WithParamInterface<FormCase> {
protected:
    // The form against its mode's reference on the rows of `v` at `width`,
    // for each limit.
    void expectReferenceCounts(RowKernel kernel, const View& v, int width,
                               std::initializer_list<int> limits)
    {
        const int mode = GetParam().mode;
        const RowKernel reference = kernelForm(mode, referenceForm(mode), false);
        ASSERT_NE(reference, nullptr);
        for (int asked : limits)
            for (int row : v.rows) {
                const int limit = limitForTheForm(mode, asked);
                setView(v, width);
                const Counts want = runRow(reference, row, limit);
                ASSERT_EQ(firstDifference(runRow(kernel, row, limit), want), "")
                    << v.name << ", width " << width << ", limit " << limit << ", row " << row;
            }
    }
};

using FloatFormCounts = FormCounts;

}  // namespace

TEST_P(FormCounts, MatchesTheReferenceOnEveryView)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    for (const View& v : views)
        for (int width : widths)
            expectReferenceCounts(kernel, v, width, {1, 2, v.limit});
}

TEST_P(FormCounts, MatchesTheReferenceOnRowsOfSeveralPieces)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    // The start-up view runs out of the set within the first piece, so a
    // piece that started over would show the set again; the deep zoom and
    // the cycles keep every piece busy.
    for (int v : {0, 1, 6, 7})
        for (int width : pieceWidths)
            expectReferenceCounts(kernel, views[v], width, {300});
}

// The cycle check must not move the escape tests' edge at c = -2, where the
// orbit stays at 2 with |z|^2 = 4.
TEST_P(FormCounts, KeepsItsModesAnswerAtMinusTwo)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    setView(views[5], 4);
    EXPECT_EQ(runRow(kernel, 0, 9999)[0], GetParam().mode == ModeFpuC ? -1 : 0);
}

// No lane that escapes and comes back inside is known: a brute-force scan
// of about 30 million float points near c = -2 (x within 20000 ulps of -2,
// imaginary parts up to 1e-3) found none. So the fallback to the four-lane
// loop is forced here, to show that it recomputes each vector's own groups.
TEST_P(FloatFormCounts, FallingBackMatchesTheFourLaneLoop)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    forceFourLaneFallback = true;
    for (const View& v : views)
        for (int width : {1, 5, 33, 501, 1025})
            expectReferenceCounts(kernel, v, width, {2, v.limit});
}

// A buffer narrower than ceil(width / 4) groups: the float forms keep to it.
TEST_P(FloatFormCounts, KeepsToANarrowBuffer)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    const RowKernel reference = kernelForm(ModeSse, FormPlain, false);
    ASSERT_NE(reference, nullptr);
    for (int columns : {1, 5, 17, 501, 1025}) {
        delete app.iterationBuffer;
        app.iterationBuffer = new IterationBuffer(columns, 2);
        setView(views[0], columns + 3);
        const Counts want = runRow(reference, 1, 9999);
        EXPECT_NE(want.back(), Untouched);
        EXPECT_EQ(firstDifference(runRow(kernel, 1, 9999), want), "") << columns << " columns";
    }
}

INSTANTIATE_TEST_SUITE_P(Sse, FormCounts, testing::ValuesIn(formCasesBesideTheReference(ModeSse)),
                         formCaseName);
INSTANTIATE_TEST_SUITE_P(FpuC, FormCounts, testing::ValuesIn(formCasesBesideTheReference(ModeFpuC)),
                         formCaseName);
INSTANTIATE_TEST_SUITE_P(FpuAsm, FormCounts,
                         testing::ValuesIn(formCasesBesideTheReference(ModeFpuAsm)), formCaseName);
INSTANTIATE_TEST_SUITE_P(Sse, FloatFormCounts, testing::ValuesIn(formCasesBesideTheReference(ModeSse)),
                         formCaseName);

namespace {

// amd64's digests of each view's rows (tests/reference_digests prints them):
// the counts of the four-lane loop, the plain double loop and the x87 steps.
const RowDigests amd64Digests[] = {
    {{0xbcdda50233e39ae5ull, 0xf8c2d2681b2ff675ull, 0xf8c2d2681b2ff675ull}},  // start-up, row 0
    {{0x0234c4010f142121ull, 0x6d38b85408994909ull, 0x6d38b85408994909ull}},  // start-up, row 130
    {{0x4b1f41dc2e0d0b2dull, 0xcf96ba5f229f6a8dull, 0x0b84b129b2774625ull}},  // start-up, row 250
    {{0x8716804889ab0e3full, 0xbcadd9676e5b8ff5ull, 0x70418bf86c18260dull}},  // start-up, row 321
    {{0x6e6c9ecd9d1db596ull, 0x043361c32d8f92e7ull, 0x043361c32d8f92e7ull}},  // float deep zoom, row 0
    {{0x8736f28d83591946ull, 0xfe110da50f7e5b74ull, 0xfe110da50f7e5b74ull}},  // float deep zoom, row 250
    {{0x020250deb416d575ull, 0x7decb4e871e5c914ull, 0x8f8e3deeab7f0371ull}},  // double deep zoom, row 0
    {{0x020250deb416d575ull, 0x16b354d3b42e8105ull, 0xf371e0f3a0763375ull}},  // double deep zoom, row 3
    {{0xc512a2e877abaea5ull, 0x9cd62e527ded2b45ull, 0x9cd62e527ded2b45ull}},  // overflow, row 0
    {{0xc512a2e877abaea5ull, 0x9cd62e527ded2b45ull, 0x9cd62e527ded2b45ull}},  // overflow, row 1
    {{0xc512a2e877abaea5ull, 0x9cd62e527ded2b45ull, 0x9cd62e527ded2b45ull}},  // overflow after a few steps, row 0
    {{0x46df468806f8ea15ull, 0x7f2b93dd32f2ee35ull, 0x7f2b93dd32f2ee35ull}},  // overflow after a few steps, row 50
    {{0x6107aeef66c64003ull, 0x68760335fdd3134dull, 0x632c62f52d7f6333ull}},  // c = -2, row 0
    {{0xda57559b5cbff145ull, 0x2d2677b6295bdaddull, 0x2d2677b6295bdaddull}},  // 2-cycle, row 0
    {{0xda57559b5cbff145ull, 0x2d2677b6295bdaddull, 0x2d2677b6295bdaddull}},  // 2-cycle, row 1
    {{0xda57559b5cbff145ull, 0x2d2677b6295bdaddull, 0x2d2677b6295bdaddull}},  // 3-cycle, row 0
    {{0xda57559b5cbff145ull, 0x2d2677b6295bdaddull, 0x2d2677b6295bdaddull}},  // 3-cycle, row 2
    {{0xda57559b5cbff145ull, 0x2d2677b6295bdaddull, 0x2d2677b6295bdaddull}},  // 4-cycle, row 0
    {{0x20f5d55c58e6b953ull, 0xdf45537fc5e24ab2ull, 0xdf45537fc5e24ab2ull}},  // cardioid cusp, row 0
    {{0xa2d6a5608f9cec45ull, 0x158e47c25d5d5a78ull, 0x4651c16c1ba72d15ull}},  // cardioid edge, row 0
    {{0x8e47c04f09a87078ull, 0x4616975556e04dcdull, 0x1c100a3627322725ull}},  // cardioid edge, row 10
};

using AcrossArchitectures = BufferedRows;

}  // namespace

// The plain forms here give amd64's counts on every view: pixel by pixel
// the counts of reference.h's independent arithmetic, whose digests here
// are amd64's. Every other form is held to the plain form of its mode above.
TEST_F(AcrossArchitectures, PlainFormsGiveAmd64sCounts)
{
    struct Plain { const char* name; DigestKind kind; int mode; };
    const Plain plains[] = {{"four-lane loop", DigestFourLanes, ModeSse},
                            {"scalar double", DigestDouble, ModeFpuC},
                            {"x87", DigestExtended, ModeFpuAsm}};
    size_t at = 0;
    for (const View& v : views)
        for (int row : v.rows) {
            ASSERT_LT(at, sizeof amd64Digests / sizeof amd64Digests[0]) << "a row without digests";
            const RowDigests& want = amd64Digests[at++];
            for (const Plain& p : plains) {
                // x87: the machine code, on x86 alone.
                const RowKernel plain = kernelForm(p.mode, FormPlain, false);
                if (!plain)
                    continue;
                const uint64_t digest = rowDigest(v, [&](int width, int limit) {
                    const ReferenceRow reference = referenceRow(p.kind, v, width, row, limit);
                    setView(v, width);
                    EXPECT_EQ(firstDifference(runRow(plain, row, limit), reference), "")
                        << p.name << ", " << v.name << ", row " << row << ", width " << width
                        << ", limit " << limit;
                    return reference;
                });
                if (p.kind != DigestExtended || extendedIsX87) {
                    EXPECT_EQ(digest, want.of[p.kind])
                        << p.name << ", " << v.name << ", row " << row
                        << ": this machine's arithmetic gives other counts than amd64's";
                }
            }
        }
    EXPECT_EQ(at, sizeof amd64Digests / sizeof amd64Digests[0]) << "digests without a row";
}

TEST(KernelDispatch, VectorFormFromProcessorBits)
{
    // CPUID 1 ECX bit 27 (OSXSAVE); CPUID 7 EBX bits 5 (AVX2) and 16
    // (AVX-512F); XCR0 bits 1-2 (XMM, YMM) and 5-7 (opmask, ZMM).
    struct Case { const char* name; uint32_t ecx, ebx; uint64_t xcr0; KernelForm want; };
    const Case cases[] = {
        {"no AVX", 0x08000000, 0x0, 0x3, FormPlain},
        {"AVX2 without OSXSAVE", 0x0, 0x20, 0xE7, FormPlain},
        {"AVX2, OS saves no YMM", 0x08000000, 0x20, 0x3, FormPlain},
        {"AVX2", 0x08000000, 0x20, 0x7, FormAvx2},
        {"AVX2 and AVX-512F, OS saves no opmask or ZMM", 0x08000000, 0x10020, 0x7, FormAvx2},
        {"AVX2 and AVX-512F, OS saves ZMM but no opmask", 0x08000000, 0x10020, 0xC7, FormAvx2},
        {"AVX2 and AVX-512F", 0x08000000, 0x10020, 0xE7, FormAvx512},
        {"AVX-512F without AVX2", 0x08000000, 0x10000, 0xE7, FormPlain},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseKernelForm({c.ecx, c.ebx, c.xcr0}), c.want) << c.name;
}

// The kernel's reading of the processor against the flags Linux reports,
// which it clears where the OS does not save the registers.
TEST(KernelDispatch, ProcessorFormAgreesWithTheProcessorFlags)
{
    if (const std::string why = emulatorBetweenCpuidAndOs(); !why.empty())
        GTEST_SKIP() << why;
    const std::string flags = cpuinfoField("flags");
    KernelForm want = FormPlain;
#if defined(__x86_64__) || defined(__i386__)
    if (flags.find(" avx2 ") != std::string::npos)
        want = flags.find(" avx512f ") != std::string::npos ? FormAvx512 : FormAvx2;
#endif
    EXPECT_EQ(processorKernelForm(), want);
}

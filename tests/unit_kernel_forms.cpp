// Every form of every processor kernel, with and without the cycle check,
// against the plain form of its mode without the check: the counts of whole
// rows, pixel by pixel, over views, widths and limits chosen to catch the
// vector tails, rows of several pieces, shared float coordinates, overflow,
// late cycles and the escape tests' edges. Each form is a case of its own,
// skipped with the reason where it cannot run. Then the choice of the vector
// form from the bits the processor reports.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "form_cases.h"
#include "state/app_state.h"

namespace {

using Counts = std::vector<int32_t>;

constexpr int32_t Untouched = 12345;

struct View {
    const char* name;
    double x0, y0, step;
    int limit;
    std::vector<int> rows;
};

// Views of up to 501 columns. Rows are chosen through interesting points.
const View views[] = {
    {"start-up", -2.0, -1.5, 0.006, 9999, {0, 130, 250, 321}},
    // Neighbouring columns share a float coordinate; no inside points.
    {"float deep zoom", -0.7454 - 1e-5, 0.1127 - 1e-5, 4e-8, 9999, {0, 250}},
    {"double deep zoom", -0.743643887037151, 0.131825904205330, 1e-14, 9999, {0, 3}},
    {"overflow", 1e19, 1e19, 4e16, 9999, {0, 1}},
    {"overflow after a few steps", -1e6, -2e5, 4e3, 9999, {0, 50}},
    // Column 0 is c = -2: outside in the float and x87 kernels, inside in double.
    {"c = -2", -2.0, 0.0, 0.25, 9999, {0}},
    // Column 0 ends on a 2-, 3- and 4-cycle; neighbours near them.
    {"2-cycle", -1.0, 0.0, 1e-4, 9999, {0, 1}},
    {"3-cycle", -0.1226, 0.7449, 1e-5, 9999, {0, 2}},
    {"4-cycle", -1.3107, 0.0, 1e-5, 9999, {0}},
    // Just inside the cardioid near its cusp and its edge: the repeat comes late.
    {"cardioid cusp", 0.2, 0.0, 1e-4, 9999, {0}},
    {"cardioid edge", -0.4, 0.6, 1e-3, 9999, {0, 10}},
};

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

// FNV-1a over the counts of the plain form of `mode` on every row of `v`
// at several widths and limits.
uint64_t plainCountsDigest(int mode, const View& v)
{
    const RowKernel plain = kernelForm(mode, FormPlain, false);
    uint64_t digest = 14695981039346656037ull;
    for (int width : {1, 5, 33, 501, 1025})
        for (int limit : {2, v.limit})
            for (int row : v.rows) {
                setView(v, width);
                for (int32_t count : runRow(plain, row, limit))
                    for (int b = 0; b < 4; ++b)
                        digest = (digest ^ (uint8_t)((uint32_t)count >> (8 * b))) * 1099511628211ull;
            }
    return digest;
}

// The digests of amd64's plain forms, recorded there: the counts every
// architecture must give. x87: the machine code, on x86 alone.
struct Digests {
    uint64_t sse, fpuC, x87;
};
const Digests amd64Digests[] = {
    {0x8f4ea46258712b07ull, 0x992f55a74c278db5ull, 0xf3dde1e1fd858645ull},
    {0xeeefefc28f9ae7d5ull, 0xf702887847192f4eull, 0xf702887847192f4eull},
    {0x11155998a6d080c5ull, 0x200cdd4ba1288378ull, 0xde90ab4f74a77399ull},
    {0xd88e720a6f833f25ull, 0x1e4a9b3394f40c65ull, 0x1e4a9b3394f40c65ull},
    {0xc674c70f4a70eb95ull, 0x3b7ab4da8d7db515ull, 0x3b7ab4da8d7db515ull},
    {0x75b1f2b122edbf03ull, 0xf8b163f8951e1a5dull, 0x0c7cdf7f1e45b453ull},
    {0xb3ebbec9f4425065ull, 0x8c5c026f5b4f0335ull, 0x8c5c026f5b4f0335ull},
    {0xb3ebbec9f4425065ull, 0x8c5c026f5b4f0335ull, 0x8c5c026f5b4f0335ull},
    {0xe44f63743154bdc5ull, 0x8fe9ef0aeacb53adull, 0x8fe9ef0aeacb53adull},
    {0xfb59b1ad63f5d693ull, 0x6736928eaba2cff6ull, 0x6736928eaba2cff6ull},
    {0xf92d0119af7a88f4ull, 0x1c8a801a4bebc414ull, 0x1f47ba12d5a6935dull},
};

using AcrossArchitectures = BufferedRows;

}  // namespace

// The plain forms here give amd64's counts on every view; every other form
// is held to them above, so each gives amd64's counts too.
TEST_F(AcrossArchitectures, PlainFormsGiveAmd64sCounts)
{
    static_assert(sizeof amd64Digests / sizeof amd64Digests[0] == sizeof views / sizeof views[0], "");
    for (size_t i = 0; i < sizeof views / sizeof views[0]; ++i) {
        const View& v = views[i];
        if (kernelForm(ModeSse, FormPlain, false)) {
            EXPECT_EQ(plainCountsDigest(ModeSse, v), amd64Digests[i].sse) << "four-lane loop, " << v.name;
        }
        EXPECT_EQ(plainCountsDigest(ModeFpuC, v), amd64Digests[i].fpuC) << "scalar double, " << v.name;
        if (formBuilt(ModeFpuAsm, FormPlain)) {
            EXPECT_EQ(plainCountsDigest(ModeFpuAsm, v), amd64Digests[i].x87) << "x87, " << v.name;
        }
    }
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
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    line += " ";
    KernelForm want = FormPlain;
#if defined(__x86_64__) || defined(__i386__)
    if (line.find(" avx2 ") != std::string::npos)
        want = line.find(" avx512f ") != std::string::npos ? FormAvx512 : FormAvx2;
#endif
    EXPECT_EQ(processorKernelForm(), want);
}

// Every form of every processor kernel, with and without the cycle check,
// against the plain form of its mode without the check: the counts of whole
// rows, pixel by pixel, over views, widths and limits chosen to catch the
// vector tails, rows of several pieces, shared float coordinates, overflow,
// late cycles and the escape tests' edges. Each form is a case of its own,
// skipped with the reason where it cannot run. Then every plain form against
// amd64's counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "compute/compute.h"
#include "form_cases.h"
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

// The row of the reference form of `mode`, computed once for every test
// that holds a form to it: under an emulator the references are most of the
// time these tests take. Computed without the forced fallback, as the mode
// runs.
const Counts& referenceCounts(int mode, const View& v, int width, int row, int limit)
{
    static std::map<std::tuple<int, const View*, int, int, int>, Counts> computed;
    Counts& counts = computed[{mode, &v, width, row, limit}];
    if (counts.empty()) {
        const RowKernel reference = kernelForm(mode, referenceForm(mode), false);
        if (!reference) {
            ADD_FAILURE() << "mode " << mode << " has no reference form here";
            counts.assign(app.iterationBuffer->columns(), Untouched);
            return counts;
        }
        const bool fallback = forceFourLaneFallback;
        forceFourLaneFallback = false;
        setView(v, width);
        counts = runRow(reference, row, limit);
        forceFourLaneFallback = fallback;
    }
    return counts;
}

class BufferedRows : public ::testing::Test {
protected:
    void SetUp() override { app.iterationBuffer = new IterationBuffer(Columns, 400); }
    void TearDown() override
    {
        delete app.iterationBuffer;
        app.iterationBuffer = nullptr;
        forceFourLaneFallback = false;
        slotsStandIn = 0;
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
        for (int asked : limits)
            for (int row : v.rows) {
                const int limit = limitForTheForm(mode, asked);
                const Counts& want = referenceCounts(mode, v, width, row, limit);
                setView(v, width);
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

// The rows of a view share their real parts, which each thread keeps from
// row to row: a view that differs from the last in its start, its step or
// its width alone, or one come back to, must get real parts of its own.
TEST_P(FormCounts, ViewsDifferingInOneSettingGetTheirOwnRealParts)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    static const View first = {"first", -1.5, 0.5, 0.0025, 300, {0}};
    static const View moved = {"moved", -1.4, 0.5, 0.0025, 300, {0}};
    static const View finer = {"finer", -1.4, 0.5, 0.002, 300, {0}};
    for (const View* v : {&first, &moved, &finer, &first})
        for (int width : {501, 33, 1100, 501})
            expectReferenceCounts(kernel, *v, width, {300});
}

// However many vectors a form keeps in flight, each lane's arithmetic is
// the same: every number it is built for gives the reference's counts, and
// the one chosen here is one of them.
TEST_P(FormCounts, EveryNumberOfVectorsInFlightGivesTheSameCounts)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    const SlotChoice& slots = builtForm(GetParam().mode, GetParam().form)->slots;
    if (slots.candidates.size() < 2)
        GTEST_SKIP() << "this form keeps one number of vectors in flight";
    const int chosen = slots.chosen(GetParam().check);
    EXPECT_NE(std::find(slots.candidates.begin(), slots.candidates.end(), chosen), slots.candidates.end())
        << "chose " << chosen << " vectors";
    for (int inFlight : slots.candidates) {
        SCOPED_TRACE(std::to_string(inFlight) + " vectors in flight");
        slotsStandIn = inFlight;
        for (const View& v : views)
            for (int width : {33, 501})
                expectReferenceCounts(kernel, v, width, {2, v.limit});
    }
}

// Once no chunk of a row is left and half the vectors in flight or fewer
// still run, having run long, they go on in fewer slots. At y = 0.5 one row
// leaves the set at once and ends on a few vectors inside the cardioid, the
// other starts there; every number of vectors a form starts with must keep
// the counts through the hand-over.
TEST_P(FormCounts, RowsEndingOnAFewLongVectorsKeepTheirCounts)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    static const View ending = {"ending inside", -1.5, 0.5, 0.0025, 1000, {0}};
    static const View starting = {"starting inside", -0.4, 0.5, 0.0025, 1000, {0}};
    std::vector<int> inFlight = builtForm(GetParam().mode, GetParam().form)->slots.candidates;
    if (inFlight.empty())
        inFlight = {0};  // the form's one number
    for (int n : inFlight) {
        SCOPED_TRACE(std::to_string(n) + " vectors in flight");
        slotsStandIn = n;
        for (const View* v : {&ending, &starting})
            for (int width : {65, 501})
                expectReferenceCounts(kernel, *v, width, {1000});
    }
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

// A result as the loop of its type keeps it.
inline float asStored(float value)
{
    return asFloat(value);
}
inline double asStored(double value)
{
    return value;
}

// Whether an orbit of c, once |z|^2 has passed 4, comes back inside within
// `after` steps, in the steps of the four-lane loop (S = float) or the
// double loop; false too where it never escapes within `limit`.
template <class S>
bool comesBackInside(S cx, S cy, int limit, int after)
{
    S zr = cx, zi = cy;
    int escapedAt = -1;
    for (int n = 0; n < limit + after && (escapedAt < 0 ? n < limit : n < escapedAt + after); ++n) {
        const S zr2 = asStored(zr * zr), zi2 = asStored(zi * zi), t = asStored(zi * zr);
        const S sum = asStored(zi2 + zr2);
        const bool inside = sizeof(S) == sizeof(float) ? sum < 4 : sum <= 4;  // NaN: outside
        if (escapedAt >= 0 && inside)
            return true;
        if (escapedAt < 0 && !inside)
            escapedAt = n;
        zi = sizeof(S) == sizeof(float) ? asStored(asStored(t + t) + cy) : 2 * zi * zr + cy;
        zr = asStored(asStored(zr2 - zi2) + cx);
    }
    return false;
}

// The vector forms stop watching for lanes that come back inside where
// |c|^2 is below 3.99: past |z| = 2 such an orbit only grows. Checked with
// the plain steps over the needle's tip near c = -2, where orbits leave
// slowest with |z| nearest 2, and around the whole circle of that radius.
TEST(SettledLanes, NeverComeBackInsideAfterEscaping)
{
    std::vector<std::pair<double, double>> cs;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 50; ++j)
            cs.push_back({-1.99749 + 0.0075 * i / 100, 1e-3 * j / 50});
    for (int a = 0; a < 4000; ++a)
        cs.push_back({1.99749 * std::cos(a * M_PI / 2000), 1.99749 * std::sin(a * M_PI / 2000)});
    for (const auto& c : cs) {
        ASSERT_LT(c.first * c.first + c.second * c.second, 3.99);
        EXPECT_FALSE(comesBackInside<float>((float)c.first, (float)c.second, 1000, 100))
            << "float c = " << c.first << " + " << c.second << "i";
        EXPECT_FALSE(comesBackInside<double>(c.first, c.second, 1000, 100))
            << "double c = " << c.first << " + " << c.second << "i";
    }
}

// A subnormal part of c counts: c = -1.9 + 2^-130 i leaves the real axis,
// where the set is, and escapes; with that part flushed to zero the orbit
// would stay inside for ever. Some units flush subnormal floats (32-bit
// ARM's NEON); no form may.
TEST_F(BufferedRows, FloatFormsKeepSubnormalPartsOfC)
{
    const View v = {"imaginary part 2^-130", -1.9, 0x1p-130, 1e-7, 9999, {0}};
    const ReferenceRow want = referenceRowFourLanes(v.x0, v.y0, v.step, 33, 0, v.limit);
    ASSERT_NE(want[0], -1) << "this c must escape, or the row shows nothing";
    for (const FormCase& c : formCasesOf(ModeSse))
        if (const RowKernel kernel = kernelForm(ModeSse, c.form, c.check)) {
            setView(v, 33);
            EXPECT_EQ(firstDifference(runRow(kernel, 0, v.limit), want), "") << c.name;
        }
}

// A buffer narrower than ceil(width / 4) groups: the float forms keep to it.
TEST_P(FloatFormCounts, KeepsToANarrowBuffer)
{
    VEXA_FORM_OR_SKIP(kernel, GetParam());
    const RowKernel reference = kernelForm(ModeSse, referenceForm(ModeSse), false);
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
    {{0x7c24876dbaaedca5ull, 0x780bf4cb98ed6865ull, 0x780bf4cb98ed6865ull}},  // start-up, row 0
    {{0x13de993847eeef59ull, 0x791f33df80792e97ull, 0x791f33df80792e97ull}},  // start-up, row 130
    {{0x92e418bb6705ebc7ull, 0xcfdc5e648e47b822ull, 0x4806b4938c503002ull}},  // start-up, row 250
    {{0xe53f99dd7134407aull, 0x91b2ebc07e8aa19dull, 0xfb68b9b1ce896818ull}},  // start-up, row 321
    {{0x7bf0e03b5e2e8345ull, 0xaa199e7a4aebcdc5ull, 0xaa199e7a4aebcdc5ull}},  // float deep zoom, row 0
    {{0x7bf0e03b5e2e8345ull, 0xaa199e7a4aebcdc5ull, 0xaa199e7a4aebcdc5ull}},  // float deep zoom, row 250
    {{0x8848ba479cee6c85ull, 0x85383574866636a0ull, 0x3ea26efdebc261daull}},  // double deep zoom, row 0
    {{0x8848ba479cee6c85ull, 0x23502a9f8f2a5064ull, 0xe1b2603ccb99227dull}},  // double deep zoom, row 3
    {{0x5947cf8a1733dc25ull, 0xaf66fba9db1b64a5ull, 0xaf66fba9db1b64a5ull}},  // overflow, row 0
    {{0x5947cf8a1733dc25ull, 0xaf66fba9db1b64a5ull, 0xaf66fba9db1b64a5ull}},  // overflow, row 1
    {{0x5947cf8a1733dc25ull, 0xaf66fba9db1b64a5ull, 0xaf66fba9db1b64a5ull}},  // overflow after a few steps, row 0
    {{0x3d1843f9059b8a5dull, 0x62aac4697ad8151dull, 0x62aac4697ad8151dull}},  // overflow after a few steps, row 50
    {{0xd78ebcf4ca0a5935ull, 0xef5e7cde89527d45ull, 0xd004e9a9b56dd3a5ull}},  // c = -2, row 0
    {{0x11fb5628dadffae5ull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // 2-cycle, row 0
    {{0x11fb5628dadffae5ull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // 2-cycle, row 1
    {{0x11fb5628dadffae5ull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // 3-cycle, row 0
    {{0x11fb5628dadffae5ull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // 3-cycle, row 2
    {{0x11fb5628dadffae5ull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // 4-cycle, row 0
    {{0x3b4d59f5b68f994bull, 0x10089626a675fdc5ull, 0x10089626a675fdc5ull}},  // cardioid cusp, row 0
    {{0x96e9e54373cabb0cull, 0x2af74b5cd1c3984eull, 0xf9c3eb96bf4aea3bull}},  // cardioid edge, row 0
    {{0x4803050396d54d7full, 0x94b37a3249f14359ull, 0xab563f9f4aafa163ull}},  // cardioid edge, row 10
};

using AcrossArchitectures = BufferedRows;

}  // namespace

// The plain forms here give amd64's counts on every view: their rows'
// digests are those of reference.h's independent arithmetic on amd64. Where
// a digest differs, or cannot be held to amd64's, the rows are compared
// pixel by pixel with that arithmetic here, to say where. Every other form
// is held to the plain form of its mode above.
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
                // x87: the machine code, on x86 alone. The four-lane loop:
                // the unit's, or the portable one where there is no unit.
                if (p.mode == ModeFpuAsm && !builtForm(ModeFpuAsm, FormPlain))
                    continue;
                const bool comparable = p.kind != DigestExtended || extendedIsX87;
                // The plain form's row, as long as reference.h's.
                auto plainRow = [&](int width, int limit) {
                    const Counts& got = referenceCounts(p.mode, v, width, row, limit);
                    return Counts(got.begin(), got.begin() + referenceRowLength(p.kind, width));
                };
                const uint64_t digest = rowDigest(v, plainRow);
                if (comparable && digest == want.of[p.kind])
                    continue;
                for (int width : digestWidths)
                    for (int limit : {2, v.limit}) {
                        const ReferenceRow here = referenceRow(p.kind, v, width, row, limit);
                        EXPECT_EQ(firstDifference(plainRow(width, limit), here), "")
                            << p.name << ", " << v.name << ", row " << row << ", width " << width
                            << ", limit " << limit;
                    }
                EXPECT_TRUE(!comparable || digest == want.of[p.kind])
                    << p.name << ", " << v.name << ", row " << row
                    << ": this machine's arithmetic gives other counts than amd64's";
            }
        }
    EXPECT_EQ(at, sizeof amd64Digests / sizeof amd64Digests[0]) << "digests without a row";
}

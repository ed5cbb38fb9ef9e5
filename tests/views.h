// The views the kernel forms are held to, and the digests of amd64's counts
// on them. The digests come from the independent arithmetic of reference.h
// (tests/reference_digests prints them), never from the kernels.
#pragma once

#include <cfloat>
#include <cstdint>
#include <vector>

#include "reference.h"

struct View {
    const char* name;
    double x0, y0, step;
    int limit;
    std::vector<int> rows;
};

// Views of up to 501 columns. Rows are chosen through interesting points.
inline const View views[] = {
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

// The widths each row of a view is digested at, each at limit 2 and the
// view's: the plain forms have no pieces, so their groups' tails are what
// widths can show.
inline const int digestWidths[] = {1, 5, 33, 501};

// The three ways a row is computed: the four-lane loop in float, the plain
// double loop, the x87 steps in extended precision.
enum DigestKind { DigestFourLanes, DigestDouble, DigestExtended, DigestKinds };

// Whether this build's long double is the x87's format, so that the
// extended reference gives amd64's counts.
constexpr bool extendedIsX87 = LDBL_MANT_DIG == 64;

inline ReferenceRow referenceRow(DigestKind kind, const View& v, int width, int row, int limit)
{
    switch (kind) {
    case DigestFourLanes:
        return referenceRowFourLanes(v.x0, v.y0, v.step, width, row, limit);
    case DigestDouble:
        return referenceRowDouble(v.x0, v.y0, v.step, width, row, limit);
    default:
        return referenceRowExtended(v.x0, v.y0, v.step, width, row, limit);
    }
}

// How many counts referenceRow gives: the four-lane loop writes whole groups.
inline size_t referenceRowLength(DigestKind kind, int width)
{
    return kind == DigestFourLanes ? (size_t)(width + 3) / 4 * 4 : (size_t)width;
}

// FNV-1a over the counts' bytes, low byte first on every machine, of one
// row of a view at every width and limit, from `rowAt(width, limit)`.
template <typename RowAt>
uint64_t rowDigest(const View& v, RowAt rowAt)
{
    uint64_t digest = 14695981039346656037ull;
    for (int width : digestWidths)
        for (int limit : {2, v.limit})
            for (int32_t count : rowAt(width, limit))
                for (int b = 0; b < 4; ++b)
                    digest = (digest ^ (uint8_t)((uint32_t)count >> (8 * b))) * 1099511628211ull;
    return digest;
}

// amd64's digests, one per row of each view in order, for each kind.
struct RowDigests {
    uint64_t of[DigestKinds];
};

// The real parts of a row's points, the same for every row of a view. Each
// is the last plus a step, so building them is a chain of dependent
// additions: on a row whose points escape within a few hundred iterations it
// took 7 % of the row's time. Each thread keeps the last view's instead.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "compute/kernel_forms.h"

namespace {

struct FreeStorage {
    void operator()(void* p) const { std::free(p); }
};

// One thread's real parts and what they were built from: the first value,
// the step (each compared by its bits) and how many.
template <class S>
struct RowReals {
    std::unique_ptr<S, FreeStorage> values;
    S first[4], step;
    int64_t count = -1;
};

// Room for `count` values and a whole vector of padding after them, on the
// alignment the widest vector loads need.
template <class S>
S* allocateReals(int64_t count)
{
    if (count < 0)
        return nullptr;
    const size_t bytes = ((size_t)(count + RowRealsPadding) * sizeof(S) + 63) / 64 * 64;
    return static_cast<S*>(std::aligned_alloc(64, bytes));
}

template <class S>
bool sameBits(const S* a, const S* b, int n)
{
    return std::memcmp(a, b, n * sizeof(S)) == 0;
}

// The `count` real parts built from `first` and `step`: those r holds, or
// new ones that `build` writes; null where no room can be had.
template <class S, class Build>
const S* keptReals(RowReals<S>& r, const S* first, int lanes, S step, int64_t count, Build build)
{
    if (r.values && r.count == count && sameBits(r.first, first, lanes) && sameBits(&r.step, &step, 1))
        return r.values.get();
    r.values.reset(allocateReals<S>(count));
    r.count = -1;
    if (!r.values)
        return nullptr;
    build(r.values.get());
    std::fill(r.values.get() + count, r.values.get() + count + RowRealsPadding, (S)INFINITY);
    std::memcpy(r.first, first, lanes * sizeof(S));
    r.step = step;
    r.count = count;
    return r.values.get();
}

}  // namespace

const double* doubleRowReals(int columns)
{
    thread_local RowReals<double> reals;
    const double first = app.xMin, step = app.stepX;
    return keptReals(reals, &first, 1, step, columns, [&](double* x) {
        double run = first;
        for (int i = 0; i < columns; ++i) {
            x[i] = run;
            run = run + step;
        }
    });
}

const float* fourLaneRowReals(int64_t groups)
{
    thread_local RowReals<float> reals;
    float first[4];
    startFourLanes(0, first);
    const float advance = fourLaneAdvance();
    return keptReals(reals, first, 4, advance, 4 * groups, [&](float* x) {
        float lane[4] = {first[0], first[1], first[2], first[3]};
        for (int64_t g = 0; g < groups; ++g)
            for (int k = 0; k < 4; ++k) {
                x[4 * g + k] = lane[k];
                lane[k] = roundToFloat(lane[k] + advance);
            }
    });
}

// The colour table: each channel runs a triangle wave, turning back when it
// passes 240 (a step below 0 wraps above 240 and turns back the same way).
#include <cstdlib>

#include "app/app.h"

namespace {

// Steps one channel; on passing 240 the direction flips and the stored value repeats.
void stepChannel(uint8_t* value, int* delta)
{
    *value = (uint8_t)(*value + *delta);
    if (*value > 240) {
        *delta = -*delta;
        *value = (uint8_t)(*value + *delta);
    }
}

}  // namespace

void buildPalette(int count, uint8_t red, uint8_t green, uint8_t blue)
{
    free(app.palette);
    app.palette = count > 0 ? (uint8_t*)malloc((size_t)count * 3) : nullptr;
    if (!app.palette)
        return;
    uint8_t r = red, g = green, b = blue;
    int dR = 3, dG = 4, dB = -2;
    for (int i = 0; i < count; ++i) {
        app.palette[3 * i] = r;
        app.palette[3 * i + 1] = g;
        app.palette[3 * i + 2] = b;
        stepChannel(&r, &dR);
        stepChannel(&g, &dG);
        stepChannel(&b, &dB);
    }
}

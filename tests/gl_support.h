// Shared helpers for tests that draw through the real GL: one GLUT window of
// 500 x 500 on the test display, drawing into and reading from its back buffer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline bool near(const Rgb& a, const Rgb& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// The GPU program's colour for c = x + iy, in single precision: red, green,
// blue from the last of `steps` steps, clamped and scaled.
inline Rgb gpuProgramColour(float x, float y, int steps)
{
    float a = x, b = y, red = 0, green = 0, blue = 0;
    for (int i = 0; i < steps; ++i) {
        red = a * a + x, green = b * b, blue = a * b + y * 0.5f;
        a = red - green, b = blue + blue;  // R1.z - R1.w, where R1.w is exactly -blue
    }
    auto byte = [](float v) { return (uint8_t)std::lround(std::min(std::max(v, 0.0f), 1.0f) * 255); };
    return {byte(red), byte(green), byte(blue)};
}

// Puts AppState back to its start-up values for a window of w x h pixels,
// with the palette built and the projection set (as the first reshape does).
void resetAppForGl(int w, int h, int mode);

// Reads the w x h pixels at the bottom-left of the window; row 0 of the
// result is the top row of that region, as the picture's rows run.
std::vector<Rgb> readPixelsTopDown(int w, int h);

// What creating the test's worker pool printed (its eighth start is refused).
extern std::string poolReport;
extern int poolParticipants;  // the main thread and the workers that started

// Shared helpers for tests that draw through the real GL: one GLUT window of
// 500 x 500 on the test display, drawing into and reading from its back buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// After the picture moved by (dx, dy) pixels: of the pixels still showing
// old content, how many match the moved old picture and how many the
// unmoved one. Both pictures are w x h, row 0 at the top.
struct ShiftMatch {
    int same, unshifted, compared;
};
inline ShiftMatch compareShifted(const std::vector<Rgb>& before, const std::vector<Rgb>& after,
                                 int w, int h, int dx, int dy)
{
    ShiftMatch m{0, 0, 0};
    for (int y = dy > 0 ? dy : 0; y < (dy < 0 ? h + dy : h); ++y)
        for (int x = dx > 0 ? dx : 0; x < (dx < 0 ? w + dx : w); ++x) {
            ++m.compared;
            m.same += after[y * w + x] == before[(y - dy) * w + x - dx];
            m.unshifted += after[y * w + x] == before[y * w + x];
        }
    return m;
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

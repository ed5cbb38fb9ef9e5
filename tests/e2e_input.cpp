// The running program driven by real keys and buttons: the title after each
// key, the console keys, and the palette rotation, zoom and pan seen in
// screenshots.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "e2e_support.h"

namespace {

std::string titleWith(int iters, const std::string& mode)
{
    int n = (int)sysconf(_SC_NPROCESSORS_ONLN);
    return "Vexa v3.0.0b 500*500 i=" + std::to_string(iters) + " " + std::to_string(n) + "xCPU " +
           mode;
}

int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The picture once it has settled: two screenshots 200 ms apart agree.
std::vector<Rgb> settledPicture(const VexaProcess& vexa)
{
    std::vector<Rgb> last, settled;
    vexa.waitForPicture(
        [&](const std::vector<Rgb>& shot, int w, int h) {
            if (w == 500 && h == 500 && shot == last) {
                settled = shot;
                return true;
            }
            last = shot;
            usleep(200000);
            return false;
        },
        30000);
    return settled;
}

bool waitForPixel(const VexaProcess& vexa, int x, int y, Rgb wanted)
{
    return vexa.waitForPicture(
        [&](const std::vector<Rgb>& shot, int w, int h) {
            return w == 500 && h == 500 && shot[y * 500 + x] == wanted;
        },
        20000);
}

int blackPixels(const std::vector<Rgb>& picture)
{
    return (int)std::count(picture.begin(), picture.end(), Rgb{0, 0, 0});
}

// Holds `button` for half a second at a time, each time letting the picture
// settle, until the settled picture is `enough` or 30 s have passed: the
// zoom a hold gives depends on how fast the frames come.
std::vector<Rgb> holdUntil(const VexaProcess& vexa, int button,
                           const std::function<bool(const std::vector<Rgb>&)>& enough)
{
    std::vector<Rgb> settled;
    waitUntil([&] {
        vexa.mouseDown(button);
        usleep(500000);
        vexa.mouseUp(button);
        settled = settledPicture(vexa);
        return settled.empty() || enough(settled);
    }, 30000);
    return settled;
}

// Palette entry 0 is the colour of c = -2 - 1.5i (the top-left pixel, count
// 0); its neighbours in the table are entries 9999 and 1.
const Rgb entry0 = {70, 50, 200};
const Rgb entry1 = {73, 54, 198};
const Rgb entry9999 = {172, 206, 46};

}  // namespace

TEST(InputE2e, LimitAndModeKeysWithAndWithoutShift)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForTitle(titleWith(40, "SSE"), 20000));
    // '+' is typed with shift: +20; Enter acts as '-'.
    const std::tuple<const char*, int, const char*> steps[] = {
        {"KP_Add", 41, "SSE"},      {"shift+KP_Add", 61, "SSE"},      {"plus", 81, "SSE"},
        {"KP_Subtract", 80, "SSE"}, {"shift+KP_Subtract", 60, "SSE"}, {"minus", 59, "SSE"},
        {"Return", 58, "SSE"},      {"1", 58, "FPU C"},               {"2", 58, "FPU ASM"},
        {"3", 58, "SSE"}};
    for (auto [keysym, iters, mode] : steps) {
        vexa.key(keysym);
        EXPECT_TRUE(vexa.waitForTitle(titleWith(iters, mode), 20000)) << keysym << ": " << vexa.title();
    }
    // Shift and '-' type '_', which is no command: the next key counts from 58.
    vexa.key("shift+minus");
    vexa.key("KP_Add");
    EXPECT_TRUE(vexa.waitForTitle(titleWith(59, "SSE"), 20000)) << vexa.title();
}

TEST(InputE2e, ConsoleKeysInEitherCase)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(vexa.waitForOutput("time to change your OpenGL card !\n", 20000));
    vexa.key("s");
    vexa.key("shift+s");
    EXPECT_TRUE(vexa.waitForOutput("Stats not yet supported.\nStats not yet supported.\n", 20000));
    vexa.key("h");
    vexa.key("shift+h");
    waitUntil([&] { return occurrences(vexa.output(), "\nKeys:\n") >= 3; }, 20000);
    EXPECT_EQ(occurrences(vexa.output(), "\nKeys:\n"), 3);
    EXPECT_EQ(occurrences(vexa.output(), "    See result in the console.\n"), 3);
    EXPECT_EQ(vexa.title(), titleWith(40, "SSE"));
}

TEST(InputE2e, PaletteRotatesAtOnceInBothBufferings)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    ASSERT_TRUE(waitForPixel(vexa, 0, 0, entry0));
    for (auto [keysym, colour] : {std::pair{"asterisk", entry9999}, {"slash", entry0},
                                  {"KP_Divide", entry1}, {"KP_Multiply", entry0}}) {
        vexa.key(keysym);
        EXPECT_TRUE(waitForPixel(vexa, 0, 0, colour)) << keysym;
    }
    // Double buffered, the rotation is swapped onto the screen. The keys are
    // handled in the order they were typed.
    vexa.key("d");
    vexa.key("asterisk");
    EXPECT_TRUE(waitForPixel(vexa, 0, 0, entry9999));
    // Back to the front buffer: the next frame shows the same colours.
    vexa.key("shift+d");
    vexa.key("space");
    std::vector<Rgb> picture = settledPicture(vexa);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(picture[0], entry9999);
    EXPECT_EQ(picture[250 * 500 + 333], (Rgb{0, 0, 0}));
    EXPECT_EQ(vexa.title(), titleWith(40, "SSE"));
}

TEST(InputE2e, HeldButtonsZoomInAndOut)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    vexa.mouseMove(250, 250);
    std::vector<Rgb> start = settledPicture(vexa);
    ASSERT_FALSE(start.empty());
    // The centre -0.5 lies inside the set: zooming in there grows the black.
    std::vector<Rgb> zoomedIn = holdUntil(vexa, 1, [&](const std::vector<Rgb>& picture) {
        return blackPixels(picture) > blackPixels(start) * 11 / 10;
    });
    ASSERT_FALSE(zoomedIn.empty());  // settles: no zoom once released
    EXPECT_GT(blackPixels(zoomedIn), blackPixels(start) * 11 / 10);

    std::vector<Rgb> zoomedOut = holdUntil(vexa, 3, [&](const std::vector<Rgb>& picture) {
        return blackPixels(picture) < blackPixels(zoomedIn) * 9 / 10;
    });
    ASSERT_FALSE(zoomedOut.empty());
    EXPECT_LT(blackPixels(zoomedOut), blackPixels(zoomedIn) * 9 / 10);
    EXPECT_EQ(vexa.title(), titleWith(40, "SSE"));  // the view is not in the title
}

TEST(InputE2e, MiddleDragMovesThePictureWithThePointer)
{
    VexaProcess vexa;
    ASSERT_TRUE(vexa.started());
    std::vector<Rgb> before = settledPicture(vexa);
    ASSERT_FALSE(before.empty());
    vexa.mouseMove(100, 100);
    vexa.mouseDown(2);
    vexa.mouseMove(125, 90);
    vexa.mouseMove(150, 80);
    vexa.mouseUp(2);
    std::vector<Rgb> after = settledPicture(vexa);
    ASSERT_FALSE(after.empty());
    // What was at (x - 50, y + 20) is now at (x, y), but for a few pixels
    // that the rounding of the shifted edges may change.
    int same = 0, unshifted = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 50; x < 500; ++x) {
            same += after[y * 500 + x] == before[(y + 20) * 500 + x - 50];
            unshifted += after[y * 500 + x] == before[y * 500 + x];
        }
    EXPECT_GT(same, 450 * 480 * 99 / 100);
    EXPECT_LT(unshifted, 450 * 480 * 9 / 10);
    // The strip uncovered on the left shows what lay beyond the old edge.
    EXPECT_FALSE(after[250 * 500 + 10] == (Rgb{0, 0, 0}));
}

// The console that is not there: a program started with its standard output
// closed, and one whose console reader goes away, keep their window working.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

std::string titleWith(int iters)
{
    return "Vexa v3.0.0b 500*500 i=" + std::to_string(iters) + " " +
           std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + "xCPU SSE";
}

// The start-up picture is there: the top-left pixel is palette entry 0 and
// c = 0 (column 333, row 250) is inside.
bool startPictureShows(const VexaProcess& vexa)
{
    return vexa.waitForPicture(
        [](const std::vector<Rgb>& shot, int w, int h) {
            return w == 500 && h == 500 && shot[0] == (Rgb{70, 50, 200}) &&
                   shot[250 * 500 + 333] == (Rgb{0, 0, 0});
        },
        20000);
}

}  // namespace

TEST(ConsoleE2e, StandardOutputClosedAtStart)
{
    // As `vexa >&-`: the X connection must not take descriptor 1.
    VexaProcess vexa({}, Console::Closed);
    ASSERT_TRUE(vexa.started());
    EXPECT_TRUE(vexa.waitForTitle(titleWith(40), 20000)) << vexa.title();
    EXPECT_TRUE(startPictureShows(vexa));
    vexa.key("KP_Add");
    EXPECT_TRUE(vexa.waitForTitle(titleWith(41), 20000)) << vexa.title();
    EXPECT_TRUE(vexa.running());
}

TEST(ConsoleE2e, ReaderThatGoesAwayEndsNothing)
{
    // As `vexa | head -1`: the next line the program prints finds no reader.
    VexaProcess vexa({}, Console::Pipe);
    ASSERT_TRUE(vexa.readConsoleUntil("Vexa v3.0.0b\n", 20000));
    vexa.closeConsole();
    ASSERT_TRUE(vexa.started());
    EXPECT_TRUE(vexa.waitForTitle(titleWith(40), 20000)) << vexa.title();
    vexa.key("h");
    vexa.key("KP_Add");
    EXPECT_TRUE(vexa.waitForTitle(titleWith(41), 20000)) << vexa.title();
    EXPECT_TRUE(startPictureShows(vexa));
    EXPECT_TRUE(vexa.running());
}

// The shell's pure pieces: titles, the palette, the version test and the
// creation of workers when the OS refuses one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/app.h"

namespace {

std::string titleFor(int mode, const char* renderer = "llvmpipe", int cpus = 2)
{
    char out[256];
    composeTitle(out, sizeof out, "Vexa v3.0.0b", 500, 500, 40, mode, cpus, renderer);
    return out;
}

}  // namespace

TEST(Title, EveryMode)
{
    EXPECT_EQ(titleFor(ModeFpuC), "Vexa v3.0.0b 500*500 i=40 2xCPU FPU C");
    EXPECT_EQ(titleFor(ModeFpuAsm), "Vexa v3.0.0b 500*500 i=40 2xCPU FPU ASM");
    EXPECT_EQ(titleFor(ModeSse), "Vexa v3.0.0b 500*500 i=40 2xCPU SSE");
    EXPECT_EQ(titleFor(ModeGpu, "GeForce"), "Vexa v3.0.0b 500*500 i=40 GPU GeForce");
    EXPECT_EQ(titleFor(ModeSse, "", 1), "Vexa v3.0.0b 500*500 i=40 1xCPU SSE");
    for (int mode : {2, 5, -1, 1000})
        EXPECT_EQ(titleFor(mode), "Vexa v3.0.0b 500*500 i=40 UNKNOWN!");
    char out[256];
    composeTitle(out, sizeof out, "Vexa v3.0.0b", 1000, 480, 9998, ModeFpuC, 16, nullptr);
    EXPECT_STREQ(out, "Vexa v3.0.0b 1000*480 i=9998 16xCPU FPU C");  // width before height
}

TEST(Title, LongRendererNameIsCutNeverOverrun)
{
    std::string renderer(1000, 'R');
    char out[300];
    memset(out, 'X', sizeof out);
    composeTitle(out, 256, "Vexa v3.0.0b", 500, 500, 40, ModeGpu, 2, renderer.c_str());
    EXPECT_EQ(strlen(out), 255u);
    EXPECT_EQ(std::string(out).rfind("Vexa v3.0.0b 500*500 i=40 GPU RRR", 0), 0u);
    for (int i = 256; i < 300; ++i)
        ASSERT_EQ(out[i], 'X') << "wrote past the buffer at " << i;
}

TEST(Palette, EntriesFollowTheTriangleWaves)
{
    buildPalette(PaletteEntries, 70, 50, 200);
    ASSERT_NE(app.palette, nullptr);
    auto entry = [](int i) {
        const uint8_t* p = app.palette + 3 * i;
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    };
    EXPECT_EQ(entry(0), "70,50,200");
    EXPECT_EQ(entry(1), "73,54,198");
    EXPECT_EQ(entry(47), "211,238,106");
    EXPECT_EQ(entry(48), "214,238,104");  // green repeats 238
    EXPECT_EQ(entry(100), "109,30,0");
    EXPECT_EQ(entry(101), "106,26,0");  // blue repeats 0
    // Ranges over the whole table.
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int i = 0; i < PaletteEntries; ++i)
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min<int>(lo[c], app.palette[3 * i + c]);
            hi[c] = std::max<int>(hi[c], app.palette[3 * i + c]);
        }
    EXPECT_EQ(lo[0], 1);
    EXPECT_EQ(hi[0], 238);
    EXPECT_EQ(lo[1], 2);
    EXPECT_EQ(hi[1], 238);
    EXPECT_EQ(lo[2], 0);
    EXPECT_EQ(hi[2], 240);
    // A second build replaces the table and gives the same colours.
    std::string before = entry(9999);
    buildPalette(PaletteEntries, 70, 50, 200);
    EXPECT_EQ(entry(9999), before);
}

TEST(GlVersion, ArraysFromVersionOnePointOne)
{
    EXPECT_FALSE(glVersionHasArrays("1.0"));
    EXPECT_FALSE(glVersionHasArrays("1.0.5 Vendor"));
    for (const char* v : {"1.1", "1.1.0", "1.4.0", "2.0", "2.0 Mesa", "3.0", "4.0", "4.5 (Compatibility Profile) Mesa 22.3.6", "10.2"})
        EXPECT_TRUE(glVersionHasArrays(v)) << v;
    EXPECT_FALSE(glVersionHasArrays(nullptr));
    EXPECT_FALSE(glVersionHasArrays(""));
    EXPECT_FALSE(glVersionHasArrays("garbage"));
}

namespace {

int startsAllowed = 0;
int startsTried = 0;

bool refusingStart(void (*)(int), int, PlatformThread*, uint32_t*)
{
    ++startsTried;
    return startsTried <= startsAllowed;
}

}  // namespace

TEST(Workers, CreationStopsAtTheFirstRefusal)
{
    startsAllowed = 2;
    startsTried = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(createWorkers(5, refusingStart), 2);
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(startsTried, 3);  // no further attempt after the refusal
    EXPECT_EQ(said.rfind("*ERROR* ", 0), 0u) << said;
    EXPECT_EQ(said.back(), '\n');
    EXPECT_EQ(said.find('\n'), said.size() - 1);  // one line

    startsAllowed = 10;
    startsTried = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(createWorkers(4, refusingStart), 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(StartMode, FollowsTheProbe)
{
    app.computeMode = ModeFpuAsm;
    testing::internal::CaptureStdout();
    chooseStartMode(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "SSE support NOT available (please buy a newer CPU :)\n"
              "Switching to machine code FPU mode.\n");
    EXPECT_EQ(app.computeMode, ModeFpuAsm);
    EXPECT_FALSE(app.sseAvailable);
    testing::internal::CaptureStdout();
    chooseStartMode(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "SSE instructions supported. Switching to SSE quadpoints computation.\n");
    EXPECT_EQ(app.computeMode, ModeSse);
    EXPECT_TRUE(app.sseAvailable);
    app.computeMode = ModeFpuAsm;
}

// The shell's pure pieces: titles, the palette, the version test and the
// creation of workers when the OS refuses one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "os_processor.h"
#include "platform/arch.h"

namespace {

std::string titleFor(int mode, const char* renderer = "llvmpipe", int cpus = 2, int w = 500)
{
    char out[256];
    composeTitle(out, sizeof out, "Vexa v3.0.0b", w, 480, 40, mode, cpus, renderer);
    return out;
}

}  // namespace

TEST(Title, EveryMode)
{
    EXPECT_EQ(titleFor(ModeFpuC), "Vexa v3.0.0b 500*480 i=40 2xCPU FPU C");
    EXPECT_EQ(titleFor(ModeFpuAsm), "Vexa v3.0.0b 500*480 i=40 2xCPU FPU ASM");
    EXPECT_EQ(titleFor(ModeSse, "", 16, 1000), "Vexa v3.0.0b 1000*480 i=40 16xCPU SSE");
    EXPECT_EQ(titleFor(ModeGpu, "GeForce"), "Vexa v3.0.0b 500*480 i=40 GPU GeForce");
    for (int mode : {2, 5, -1, 1000})
        EXPECT_EQ(titleFor(mode, nullptr), "Vexa v3.0.0b 500*480 i=40 UNKNOWN!");
}

TEST(Title, LongRendererNameIsCutNeverOverrun)
{
    std::string renderer(1000, 'R');
    char out[300];
    memset(out, 'X', sizeof out);
    composeTitle(out, 256, "Vexa v3.0.0b", 500, 500, 40, ModeGpu, 2, renderer.c_str());
    EXPECT_EQ(std::string(out), "Vexa v3.0.0b 500*500 i=40 GPU " + std::string(123, 'R'));
    EXPECT_EQ(std::string(out + 256, 44), std::string(44, 'X')) << "wrote past the buffer";
    // A title of any length is cut too; a buffer too small for the whole cuts it.
    composeTitle(out, 256, std::string(300, 'T').c_str(), 9, 9, 9, ModeFpuC, 2, nullptr);
    EXPECT_EQ(std::string(out), std::string(64, 'T') + " 9*9 i=9 2xCPU FPU C");
    composeTitle(out, 20, "Vexa v3.0.0b", 500, 500, 40, ModeFpuC, 2, nullptr);
    EXPECT_EQ(std::string(out), "Vexa v3.0.0b 500*50");
}

TEST(Palette, EntriesFollowTheTriangleWaves)
{
    buildPalette(PaletteEntries, 70, 50, 200);
    ASSERT_NE(app.palette, nullptr);
    auto entry = [](int i) {
        const uint8_t* p = app.palette + 3 * i;
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    };
    // Green repeats 238 at 47/48, blue repeats 0 at 100/101.
    const std::pair<int, const char*> entries[] = {{0, "70,50,200"},    {1, "73,54,198"},
                                                   {47, "211,238,106"}, {48, "214,238,104"},
                                                   {100, "109,30,0"},   {101, "106,26,0"}};
    for (auto [i, rgb] : entries)
        EXPECT_EQ(entry(i), rgb) << i;
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (int i = 0; i < 3 * PaletteEntries; ++i) {
        low[i % 3] = std::min<int>(low[i % 3], app.palette[i]);
        high[i % 3] = std::max<int>(high[i % 3], app.palette[i]);
    }
    EXPECT_EQ(std::vector<int>(low, low + 3), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(std::vector<int>(high, high + 3), (std::vector<int>{238, 238, 240}));
}

TEST(GlVersion, ArraysFromVersionOnePointOne)
{
    for (const char* v : {"1.1", "1.1.0", "1.4.0", "2.0 Mesa", "3.0",
                          "4.5 (Compatibility Profile) Mesa 22.3.6", "10.2"})
        EXPECT_TRUE(glVersionHasArrays(v)) << v;
    for (const char* v : {"1.0", "1.0.5 Vendor", "", "garbage"})
        EXPECT_FALSE(glVersionHasArrays(v)) << v;
    EXPECT_FALSE(glVersionHasArrays(nullptr));
}

namespace {

int startsAllowed = 0;
int startsTried = 0;

bool refusingStart(void (*)(int), int, PlatformThread*, uint32_t*)
{
    return ++startsTried <= startsAllowed;
}

}  // namespace

TEST(Workers, CreationStopsAtTheFirstRefusal)
{
    startsAllowed = 2;
    testing::internal::CaptureStdout();
    EXPECT_EQ(createWorkers(5, refusingStart), 2);
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(startsTried, 3);  // no further attempt after the refusal
    EXPECT_EQ(said.rfind("*ERROR* ", 0), 0u) << said;
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
    // ARM and POWER name the unit they really have, or say they have none.
#if defined(VEXA_X86)
    const char* want = "SSE instructions supported. Switching to SSE quadpoints computation.\n";
#elif defined(VEXA_ARM64)
    const char* want = "NEON instructions supported. Switching to NEON quadpoints computation.\n";
#elif defined(VEXA_ARMHF)
    const char* want = osReportsNeon()
        ? "NEON instructions supported. Switching to NEON quadpoints computation.\n"
        : "NEON instructions not supported. Switching to plain quadpoints computation.\n";
#elif defined(VEXA_VSX)
    const char* want = "VSX instructions supported. Switching to VSX quadpoints computation.\n";
#elif defined(VEXA_S390X)
    const char* want = osReportsVectorFloat()
        ? "VX instructions supported. Switching to VX quadpoints computation.\n"
        : "VX instructions not supported. Switching to plain quadpoints computation.\n";
#else
    const char* want = "No four-lane unit on this processor. Switching to plain quadpoints computation.\n";
#endif
    EXPECT_EQ(testing::internal::GetCapturedStdout(), want);
    EXPECT_EQ(app.computeMode, ModeSse);
    EXPECT_TRUE(app.sseAvailable);
    app.computeMode = ModeFpuAsm;
}

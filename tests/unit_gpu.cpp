// The GPU mode's pure parts: the unrolled program text, the NV-to-ARB
// translation and the choice of extension from a driver's extension string.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "gpu/gpu.h"
#include "gpu/nv_to_arb.h"
#include "state/app_state.h"

namespace {

const std::string header =
    "!!VP1.0\nDP4   o[HPOS].x, c[4], v[OPOS];DP4   o[HPOS].y, c[5], v[OPOS];"
    "DP4   o[HPOS].z, c[6], v[OPOS];DP4   o[HPOS].w, c[7], v[OPOS];"
    "MUL R0, v[0].xyzy, c[0].xxxy;MUL R4, R0.xzyw, c[0].xxww;";
const std::string step = "MAD R1, R0.xyxx, R0.xyyw, R4;ADD R0.xyw, R1.xzww, -R1.ywwz;";
const std::string trailer = "MOV o[COL0].xyz, R1.xyzw;END";

std::string programFor(int steps)
{
    std::vector<char> buffer(ProgramTextSize);
    int length = writeIterationProgram(buffer.data(), ProgramTextSize, steps);
    EXPECT_EQ(length, (int)strlen(buffer.data()));
    return std::string(buffer.data(), length > 0 ? length : 0);
}

std::string translated(const std::string& nv)
{
    std::string arb, error;
    EXPECT_TRUE(translateNvToArb(nv.data(), nv.size(), &arb, &error)) << error;
    return arb;
}

std::string rejection(const std::string& nv)
{
    std::string arb, error;
    EXPECT_FALSE(translateNvToArb(nv.data(), nv.size(), &arb, &error)) << nv;
    return error;
}

void fakeEntry() {}

}  // namespace

TEST(ProgramText, PiecesInOrderWithoutSeparators)
{
    for (int n : {0, 1, 2, 60}) {
        std::string expected = header;
        for (int i = 0; i < n; ++i)
            expected += step;
        EXPECT_EQ(programFor(n), expected + trailer) << n;
    }
    EXPECT_EQ(header.size(), (size_t)IterationHeaderLength);
    EXPECT_EQ(step.size(), (size_t)IterationStepLength);
    EXPECT_EQ(trailer.size(), (size_t)IterationTrailerLength);
    EXPECT_EQ(programFor(60).size(), 3756u);
}

TEST(ProgramText, SixtyStepsFillTheBufferAndNoMore)
{
    std::vector<char> buffer(ProgramTextSize, '#');
    EXPECT_EQ(writeIterationProgram(buffer.data(), ProgramTextSize, 60), ProgramTextSize - 1);
    EXPECT_EQ(buffer[ProgramTextSize - 1], '\0');
    std::vector<char> untouched(ProgramTextSize, '#');
    EXPECT_EQ(writeIterationProgram(untouched.data(), ProgramTextSize, 61), -1);
    EXPECT_EQ(untouched, std::vector<char>(ProgramTextSize, '#'));
}

TEST(NvToArb, OneStepProgramTranslatesLineForLine)
{
    EXPECT_EQ(translated(programFor(1)),
              "!!ARBvp1.0\n"
              "TEMP R0, R1, R4;\n"
              "MOV result.color, {0.0, 0.0, 0.0, 1.0};\n"
              "DP4 result.position.x, program.env[4], vertex.position;\n"
              "DP4 result.position.y, program.env[5], vertex.position;\n"
              "DP4 result.position.z, program.env[6], vertex.position;\n"
              "DP4 result.position.w, program.env[7], vertex.position;\n"
              "MUL R0, vertex.position.xyzy, program.env[0].xxxy;\n"
              "MUL R4, R0.xzyw, program.env[0].xxww;\n"
              "MAD R1, R0.xyxx, R0.xyyw, R4;\n"
              "ADD R0.xyw, R1.xzww, -R1.ywwz;\n"
              "MOV result.color.xyz, R1;\n"
              "END\n");
}

TEST(NvToArb, ProgramWithoutAStepStartsItsColourAtZero)
{
    // Without a step R1 is read unwritten: NV starts it at zero, ARB must be told.
    EXPECT_NE(translated(programFor(0)).find("MOV R1, {0.0, 0.0, 0.0, 0.0};\n"), std::string::npos);
}

TEST(NvToArb, GeneralOverRegistersSwizzlesMasksAndComments)
{
    const std::string nv =
        "!!VP1.0 # comment\n"
        "MOV R11.xw, -v[NRML].y;\n"
        "  ADD R3 , R11 , c[ 95 ].wzyx ;\n"
        "MUL o[HPOS], v[TEX3], R2.x;# reads R2 before any write\n"
        "MAD o[COL0], -R3.xxxx, c[12], v[15];\n"
        "END\n\t";
    EXPECT_EQ(translated(nv),
              "!!ARBvp1.0\n"
              "TEMP R2, R3, R11;\n"
              "MOV R2, {0.0, 0.0, 0.0, 0.0};\n"
              "MOV R11, {0.0, 0.0, 0.0, 0.0};\n"
              "MOV R11.xw, -vertex.normal.yyyy;\n"
              "ADD R3, R11, program.env[95].wzyx;\n"
              "MUL result.position, vertex.texcoord[3], R2.xxxx;\n"
              "MAD result.color, -R3.xxxx, program.env[12], vertex.texcoord[7];\n"
              "END\n");
}

TEST(NvToArb, RejectsWhatItDoesNotHandleWithAReason)
{
    const std::string ok = "MOV o[HPOS], v[0];";
    struct Case {
        std::string text;
        const char* reason;
    } cases[] = {
        {"MOV o[HPOS], v[0];END", "must begin with !!VP1.0"},
        {"!!VP1.1\n" + ok + "END", "only version 1.0"},
        {"!!VSP1.0\nMOV c[0], v[0];END", "state programs"},
        {"!!VP1.0\n" + ok, "END missing"},
        {"!!VP1.0\nARL A0.x, v[0].x;" + ok + "END", "unsupported instruction 'ARL'"},
        {"!!VP1.0\nRSQ R0, v[0].x;" + ok + "END", "unsupported instruction 'RSQ'"},
        {"!!VP1.0\nMOV R12, v[0];" + ok + "END", "no temporary register R12"},
        {"!!VP1.0\nMOV R0, c[96];" + ok + "END", "no program parameter c[96]"},
        {"!!VP1.0\nMOV R0, c[A0.x+1];" + ok + "END", "relative addressing"},
        {"!!VP1.0\nMOV R0, v[16];" + ok + "END", "unknown vertex attribute v[16]"},
        {"!!VP1.0\nMOV o[COL1], v[0];" + ok + "END", "o[COL1] is not supported"},
        {"!!VP1.0\nMOV o[XYZ], v[0];" + ok + "END", "unknown output register"},
        {"!!VP1.0\nMOV R0, v[0].xy;" + ok + "END", "one or four components"},
        {"!!VP1.0\nMOV R0, v[0].xyzq;" + ok + "END", "invalid swizzle"},
        {"!!VP1.0\nMOV R0.yx, v[0];" + ok + "END", "invalid write mask"},
        {"!!VP1.0\nMOV R0.xx, v[0];" + ok + "END", "invalid write mask"},
        {"!!VP1.0\nMOV c[0], v[0];" + ok + "END", "cannot be written"},
        {"!!VP1.0\nMOV R0, o[HPOS];" + ok + "END", "cannot be read"},
        {"!!VP1.0\nADD R0, c[0], c[1];" + ok + "END", "two different c[]"},
        {"!!VP1.0\nADD R0, v[0], v[1];" + ok + "END", "two different v[]"},
        {"!!VP1.0\nMOV R0, v[0]" + ok + "END", "expected ';'"},
        {"!!VP1.0\nMOV R0 v[0];" + ok + "END", "expected ','"},
        {"!!VP1.0\n" + ok + "END MOV R0, v[0];", "text after END"},
        {"!!VP1.0\nMOV R0, v[0];END", "o[HPOS] is never written"},
        {std::string("!!VP1.0\n") + ok + std::string(1, '\0') + "END", "instruction expected"},
    };
    for (const Case& c : cases)
        EXPECT_NE(rejection(c.text).find(c.reason), std::string::npos)
            << c.text << " -> " << rejection(c.text);
}

TEST(NvToArb, RejectionNamesTheCharacterAndTheLimitOf128Holds)
{
    EXPECT_EQ(rejection("!!VP1.0\nMOV o[HPOS], v[0];\nLIT R0, v[0];END"),
              "character 27: unsupported instruction 'LIT'");
    std::string text = "!!VP1.0\n";
    for (int i = 0; i < 128; ++i)
        text += "MOV o[HPOS], v[0];";
    translated(text + "END");
    EXPECT_NE(rejection(text + "MOV o[HPOS], v[0];END").find("more than 128"), std::string::npos);
    std::string arb, error;
    EXPECT_FALSE(translateNvToArb(nullptr, 0, &arb, &error));
}

TEST(ExtensionChoice, NvFirstThenArbThenNone)
{
    const std::pair<const char*, int> cases[] = {
        {"GL_ARB_multitexture GL_NV_vertex_program GL_ARB_vertex_program", VertexProgramNv},
        {"GL_ARB_multitexture GL_ARB_vertex_program GL_EXT_fog_coord", VertexProgramArb},
        {"GL_ARB_multitexture GL_ARB_fragment_program", VertexProgramNone},
        {"GL_EXT_bgra GL_NV_vertex_program1_1", VertexProgramNv},  // a longer name counts
        {"", VertexProgramNone},
        {nullptr, VertexProgramNone},
    };
    for (auto [extensions, path] : cases)
        EXPECT_EQ(chooseVertexProgramPath(extensions), path) << (extensions ? extensions : "null");
    EXPECT_FALSE(extensionListed("GL_NV_vertex_progra", "NV_vertex_program"));
}

TEST(ExtensionChoice, TableListsThe34EntryPointsInOrder)
{
    const char* const expected[VertexProgramEntryCount] = {
        "glGenProgramsNV", "glBindProgramNV", "glLoadProgramNV", "glExecuteProgramNV",
        "glProgramParameter4fNV", "glProgramParameter4fvNV", "glProgramParameters4fvNV",
        "glTrackMatrixNV", "glDeleteProgramsNV", "glAreProgramsResidentNV",
        "glGetProgramParameterfvNV", "glGetProgramivNV", "glGetProgramStringNV",
        "glGetTrackMatrixivNV", "glGetVertexAttribfvNV", "glGetVertexAttribivNV",
        "glGetVertexAttribPointerNV", "glIsProgramNV", "glRequestResidentProgramsNV",
        "glVertexAttribPointerNV", "glVertexAttrib1fNV", "glVertexAttrib1fvNV",
        "glVertexAttrib2fNV", "glVertexAttrib2fvNV", "glVertexAttrib3fNV", "glVertexAttrib3fvNV",
        "glVertexAttrib4fNV", "glVertexAttrib4fvNV", "glVertexAttrib4ubvNV",
        "glVertexAttribs1fvNV", "glVertexAttribs2fvNV", "glVertexAttribs3fvNV",
        "glVertexAttribs4fvNV", "glVertexAttribs4ubvNV"};
    for (int i = 0; i < VertexProgramEntryCount; ++i)
        EXPECT_STREQ(vertexProgramEntryNames[i], expected[i]) << i;
    EXPECT_EQ(sizeof(VertexProgramEntryPoints), VertexProgramEntryCount * sizeof(void*));
}

TEST(ExtensionChoice, ABindingNeedsAllFiveCalledEntryPoints)
{
    VertexProgramEntryPoints table = {};
    EXPECT_FALSE(vertexProgramTableUsable(table));
    // Any non-null address will do: the guard only looks.
    auto fake = [](auto* slot) { *slot = (std::remove_reference_t<decltype(*slot)>)&fakeEntry; };
    fake(&table.glGenProgramsNV);
    fake(&table.glBindProgramNV);
    fake(&table.glLoadProgramNV);
    fake(&table.glProgramParameter4fNV);
    EXPECT_FALSE(vertexProgramTableUsable(table));
    fake(&table.glTrackMatrixNV);
    EXPECT_TRUE(vertexProgramTableUsable(table));
    table.glLoadProgramNV = nullptr;
    EXPECT_FALSE(vertexProgramTableUsable(table));
}

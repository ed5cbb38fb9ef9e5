// The installed program and its Debian package: what `cmake --install` puts
// where, whether the desktop entry is valid, and what the package built by
// CPack holds and depends on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "e2e_support.h"

namespace {

// A fresh directory under /tmp, removed at the end of the test.
struct ScratchDir {
    std::string path;
    ScratchDir()
    {
        char name[] = "/tmp/vexa-package-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~ScratchDir()
    {
        if (!path.empty())
            runCommand("rm -rf '" + path + "'");
    }
};

bool isFile(const std::string& path, bool executable = false)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (!executable || (st.st_mode & S_IXUSR));
}

const char* const installedFiles[] = {
    "bin/vexa",
    "bin/vexa_bench",
    "share/applications/vexa.desktop",
    "share/icons/hicolor/256x256/apps/vexa.png",
    "share/doc/vexa/README.md",
};

}  // namespace

TEST(Package, InstallTreeHoldsProgramsEntryIconAndReadme)
{
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    int status = -1;
    std::string said = runCommand(std::string(VEXA_CMAKE) + " --install " VEXA_BUILD_DIR " --prefix '" +
                                      prefix.path + "/usr' 2>&1",
                                  &status);
    ASSERT_EQ(status, 0) << said;
    for (const char* file : installedFiles)
        EXPECT_TRUE(isFile(prefix.path + "/usr/" + file, file[0] == 'b')) << file;
    std::string entry = prefix.path + "/usr/share/applications/vexa.desktop";
    said = runCommand("desktop-file-validate '" + entry + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said.find("error"), std::string::npos) << said;
    std::string text = runCommand("cat '" + entry + "'");
    for (const char* line : {"Exec=vexa\n", "Icon=vexa\n", "Terminal=true\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // The icon is a 256 x 256 PNG.
    std::string icon = runCommand("head -c 24 '" + prefix.path +
                                  "/usr/share/icons/hicolor/256x256/apps/vexa.png' | od -An -tx1 | tr -d ' \\n'");
    EXPECT_EQ(icon, "89504e470d0a1a0a0000000d4948445200000100" "00000100");
}

TEST(Package, DebianPackageHoldsTheProgramAndNamesItsLibraries)
{
    ScratchDir out;
    ASSERT_FALSE(out.path.empty());
    int status = -1;
    std::string said = runCommand("cd '" + out.path + "' && " + VEXA_CPACK + " --config " VEXA_BUILD_DIR
                                  "/CPackConfig.cmake -B '" + out.path + "' 2>&1",
                                  &status);
    ASSERT_EQ(status, 0) << said;
    std::string deb = runCommand("ls '" + out.path + "'/vexa_*.deb 2>/dev/null | head -n 1");
    ASSERT_FALSE(deb.empty()) << said;
    deb.pop_back();
    std::string name = deb.substr(deb.rfind('/') + 1);
    std::string arch = runCommand("dpkg --print-architecture");
    EXPECT_EQ(name, "vexa_3.0.0b_" + arch.substr(0, arch.size() - 1) + ".deb");

    std::string depends = runCommand("dpkg-deb -f '" + deb + "' Depends");
    EXPECT_NE(depends.find("libglut"), std::string::npos) << depends;  // freeglut
    EXPECT_NE(depends.find("libopengl0"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libglu1"), std::string::npos) << depends;
    std::string info = runCommand("dpkg-deb -I '" + deb + "'");
    EXPECT_NE(info.find(" Package: vexa\n"), std::string::npos) << info;

    std::string contents = runCommand("dpkg-deb -c '" + deb + "'");
    for (const char* file : installedFiles)
        EXPECT_NE(contents.find(std::string("./usr/") + file + "\n"), std::string::npos) << file;
}

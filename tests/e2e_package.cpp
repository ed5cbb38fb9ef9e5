// The installed program and its Debian package: what `cmake --install` puts
// where; whether the desktop entry, the AppStream metadata and the manual
// pages pass their own tools; whether the copyright, the changelog and the
// metadata agree; what the package built by CPack holds and depends on; and
// whether the programs carry the hardening. lintian runs in CI's checks; the
// other tools run only here, so a missing one fails (scripts/setup.sh
// installs them).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
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
    "share/metainfo/invalid.vexa.vexa.metainfo.xml",
    "share/man/man1/vexa.1.gz",
    "share/man/man1/vexa_bench.1.gz",
    "share/doc/vexa/README.md",
    "share/doc/vexa/copyright",
    "share/doc/vexa/changelog.gz",
};

bool hasTool(const char* name)
{
    int status = -1;
    runCommand(std::string("command -v ") + name + " >/dev/null 2>&1", &status);
    return status == 0;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text between `open` and the next `close` in `text`; empty if absent.
std::string between(const std::string& text, const std::string& open, const std::string& close)
{
    size_t start = text.find(open);
    if (start == std::string::npos)
        return "";
    start += open.size();
    size_t end = text.find(close, start);
    return end == std::string::npos ? "" : text.substr(start, end - start);
}

// Installs the build under <scratch>/usr, stripped as the package is when
// `strip` is set; returns that prefix, empty on failure (with the output in
// `said`).
std::string installInto(const ScratchDir& scratch, bool strip, std::string* said)
{
    int status = -1;
    *said = runCommand(std::string(VEXA_CMAKE) + " --install " VEXA_BUILD_DIR " --prefix '" +
                           scratch.path + "/usr'" + (strip ? " --strip" : "") + " 2>&1",
                       &status);
    return status == 0 ? scratch.path + "/usr/" : "";
}

}  // namespace

TEST(Package, InstallTreeHoldsEveryFileAndAValidDesktopEntry)
{
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    std::string said;
    const std::string usr = installInto(prefix, false, &said);
    ASSERT_FALSE(usr.empty()) << said;
    for (const char* file : installedFiles)
        EXPECT_TRUE(isFile(usr + file, file[0] == 'b')) << file;
    // Not a word of advice either: one main category, no deprecated keys.
    std::string entry = usr + "share/applications/vexa.desktop";
    int status = -1;
    said = runCommand("desktop-file-validate '" + entry + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said, "");
    std::string text = readFile(entry);
    for (const char* line : {"Exec=vexa\n", "Icon=vexa\n", "Terminal=true\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // The icon is a 256 x 256 PNG.
    std::string icon = runCommand("head -c 24 '" + usr +
                                  "share/icons/hicolor/256x256/apps/vexa.png' | od -An -tx1 | tr -d ' \\n'");
    EXPECT_EQ(icon, "89504e470d0a1a0a0000000d4948445200000100" "00000100");
}

TEST(Package, ManualPagesFormatWithoutWarningsAndCoverEveryOption)
{
    ASSERT_TRUE(hasTool("man") && hasTool("lexgrog")) << "man-db is not installed";
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    std::string said;
    const std::string usr = installInto(prefix, false, &said);
    ASSERT_FALSE(usr.empty()) << said;
    const std::string man1 = usr + "share/man/man1/";
    // As lintian formats them: any warning of groff or man comes out here.
    for (const char* page : {"vexa.1.gz", "vexa_bench.1.gz"}) {
        int status = -1;
        said = runCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z '" + man1 +
                              page + "' 2>&1 >/dev/null",
                          &status);
        EXPECT_EQ(status, 0) << page;
        EXPECT_EQ(said, "") << page;
    }
    // The NAME lines as whatis and apropos index them.
    EXPECT_EQ(runCommand("cd '" + man1 + "' && lexgrog vexa.1.gz vexa_bench.1.gz"),
              "vexa.1.gz: \"vexa - explore the Mandelbrot set in real time\"\n"
              "vexa_bench.1.gz: \"vexa_bench - time the Mandelbrot kernels of vexa\"\n");
    // Every option the program's own help names is in its page.
    std::string page = runCommand("gzip -dc '" + man1 + "vexa_bench.1.gz' | groff -man -Tascii -P-cbou");
    std::istringstream help(runCommand(std::string(VEXA_BENCH_BINARY) + " --help"));
    int options = 0;
    for (std::string word; help >> word;) {
        if (word.rfind("--", 0) != 0)
            continue;
        word = word.substr(0, word.find_first_of("]|"));
        ++options;
        EXPECT_NE(page.find(word), std::string::npos) << word;
    }
    EXPECT_GE(options, 8);
}

TEST(Package, MetadataValidatesAndAgreesWithTheChangelogAndTheTree)
{
    ASSERT_TRUE(hasTool("appstreamcli")) << "appstream is not installed";
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    std::string said;
    const std::string usr = installInto(prefix, false, &said);
    ASSERT_FALSE(usr.empty()) << said;
    const std::string metainfo = usr + "share/metainfo/invalid.vexa.vexa.metainfo.xml";
    int status = -1;
    said = runCommand("appstreamcli validate --no-net '" + metainfo + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said.find("\nE:"), std::string::npos) << said;
    EXPECT_EQ(said.find("W:"), std::string::npos) << said;

    const std::string xml = readFile(metainfo);
    EXPECT_EQ(between(xml, "<id>", "</id>"), "invalid.vexa.vexa");
    const std::string launchable = between(xml, "<launchable type=\"desktop-id\">", "</launchable>");
    EXPECT_TRUE(isFile(usr + "share/applications/" + launchable)) << launchable;
    for (const char* program : {"vexa", "vexa_bench"})
        EXPECT_NE(xml.find(std::string("<binary>") + program + "</binary>"), std::string::npos);

    // The release the metadata announces (made from CMakeLists.txt's) is the
    // changelog's newest entry, which is written by hand.
    const std::string changelog = prefix.path + "/changelog";
    runCommand("gzip -dc '" + usr + "share/doc/vexa/changelog.gz' > '" + changelog + "'");
    std::string version = runCommand("dpkg-parsechangelog -l '" + changelog + "' -S Version");
    std::string date = runCommand("date -u -d @$(dpkg-parsechangelog -l '" + changelog +
                                  "' -S Timestamp) +%F");
    ASSERT_FALSE(version.empty());
    ASSERT_FALSE(date.empty());
    version.pop_back();
    date.pop_back();
    EXPECT_EQ(version, VEXA_PACKAGE_VERSION);
    EXPECT_NE(xml.find("<release version=\"" + version + "\" type=\"development\" date=\"" + date + "\">"),
              std::string::npos)
        << version << " " << date;
}

TEST(Package, CopyrightIsMachineReadableAndCarriesTheLicence)
{
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    std::string said;
    const std::string usr = installInto(prefix, false, &said);
    ASSERT_FALSE(usr.empty()) << said;
    const std::string copyright = readFile(usr + "share/doc/vexa/copyright");
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0),
              0u);
    EXPECT_NE(copyright.find("\nFiles: *\nCopyright: 2026 the vexa developers\nLicense: Expat\n"),
              std::string::npos);
    // The licence paragraph holds LICENSE's terms, as the format indents them.
    std::istringstream licence(readFile(VEXA_SOURCE_DIR "/LICENSE"));
    std::string paragraph = "\nLicense: Expat\n", line;
    bool terms = false;
    while (std::getline(licence, line)) {
        terms = terms || line.rfind("Permission", 0) == 0;
        if (terms)
            paragraph += line.empty() ? " .\n" : " " + line + "\n";
    }
    ASSERT_TRUE(terms);
    EXPECT_NE(copyright.find(paragraph), std::string::npos) << paragraph;
}

// The checks lintian's hardening tags make, on the programs stripped as the
// package holds them.
TEST(Package, InstalledProgramsAreHardenedAndCarryNoCompilerNotes)
{
    if (!VEXA_HARDENED)
        GTEST_SKIP() << "built without the hardening flags (VEXA_HARDENING off or a sanitizer build)";
    ScratchDir prefix;
    ASSERT_FALSE(prefix.path.empty());
    std::string said;
    const std::string usr = installInto(prefix, true, &said);
    ASSERT_FALSE(usr.empty()) << said;
    for (const char* program : {"bin/vexa", "bin/vexa_bench"}) {
        const std::string path = "'" + usr + program + "'";
        std::string dynamic = runCommand("readelf -dW " + path);
        EXPECT_NE(dynamic.find("BIND_NOW"), std::string::npos) << program;
        EXPECT_NE(runCommand("readelf -lW " + path).find("GNU_RELRO"), std::string::npos) << program;
        std::string symbols = runCommand("readelf --dyn-syms -W " + path);
        EXPECT_NE(symbols.find(" __stack_chk_fail@"), std::string::npos) << program;
        if (VEXA_FORTIFIED) {
            EXPECT_NE(symbols.find(" __printf_chk@"), std::string::npos) << program;
        }
        EXPECT_EQ(runCommand("readelf -SW " + path).find(" .comment "), std::string::npos) << program;
    }
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
    EXPECT_EQ(name, "vexa_3.0.0~b_" + arch.substr(0, arch.size() - 1) + ".deb");
    // The program's release, 3.0.0b, is a beta: the package orders it before 3.0.0.
    std::string version = runCommand("dpkg-deb -f '" + deb + "' Version");
    EXPECT_EQ(version, "3.0.0~b\n");
    EXPECT_EQ(runCommand(std::string(VEXA_BENCH_BINARY) + " --version"), "vexa_bench 3.0.0b\n");
    runCommand("dpkg --compare-versions 3.0.0~b lt 3.0.0", &status);
    EXPECT_EQ(status, 0);
    // The description's lines fit 80 columns as dpkg shows them.
    std::istringstream description(runCommand("dpkg-deb -f '" + deb + "' Description"));
    int lines = 0;
    for (std::string line; std::getline(description, line); ++lines)
        EXPECT_LE(line.size(), 80u) << line;
    EXPECT_GE(lines, 5);

    std::string depends = runCommand("dpkg-deb -f '" + deb + "' Depends");
    EXPECT_NE(depends.find("libglut"), std::string::npos) << depends;  // freeglut
    EXPECT_NE(depends.find("libopengl0"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libglu1"), std::string::npos) << depends;
    std::string info = runCommand("dpkg-deb -I '" + deb + "'");
    EXPECT_NE(info.find(" Package: vexa\n"), std::string::npos) << info;
    EXPECT_NE(info.find(" Maintainer: vexa developers <vexa@vexa.invalid>\n"), std::string::npos) << info;

    std::string contents = runCommand("dpkg-deb -c '" + deb + "'");
    for (const char* file : installedFiles)
        EXPECT_NE(contents.find(std::string("./usr/") + file + "\n"), std::string::npos) << file;
}

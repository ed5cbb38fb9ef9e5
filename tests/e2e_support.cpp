// Launching vexa under the test display and talking to it with X tools.
#include "e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

template <typename Check>
bool waitUntil(Check check, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (check())
            return true;
        usleep(20000);
    }
    return check();
}

}  // namespace

std::string runCommand(const std::string& command, int* status)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, n);
    int rc = pclose(pipe);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

VexaProcess::VexaProcess(const std::vector<std::string>& env)
{
    char path[] = "/tmp/vexa-e2e-XXXXXX";
    int fd = mkstemp(path);
    outputPath_ = path;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        execl(VEXA_BINARY, VEXA_BINARY, (char*)nullptr);
        _exit(127);
    }
    close(fd);
    // The window is found by the process that owns it.
    std::string search = "xdotool search --sync --onlyvisible --pid " + std::to_string(pid_) +
                         " --name 'Vexa v3.0.0b' 2>/dev/null | head -n 1";
    std::string found = runCommand("timeout 20 " + search);
    windowId_ = strtoul(found.c_str(), nullptr, 10);
    if (windowId_) {
        // Wait for the first frame: the title carries the size once reshaped.
        waitUntil([&] { return title().find("*") != std::string::npos; }, 10000);
        usleep(300000);
    }
}

VexaProcess::~VexaProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    unlink(outputPath_.c_str());
}

std::string VexaProcess::output() const
{
    std::ifstream in(outputPath_);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

bool VexaProcess::waitForOutput(const std::string& text, int timeoutMs) const
{
    return waitUntil([&] { return output().find(text) != std::string::npos; }, timeoutMs);
}

std::string VexaProcess::title() const
{
    std::string name = runCommand("xdotool getwindowname " + windowId() + " 2>/dev/null");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return name;
}

bool VexaProcess::waitForTitle(const std::string& wanted, int timeoutMs) const
{
    return waitUntil([&] { return title() == wanted; }, timeoutMs);
}

void VexaProcess::key(const std::string& keysym) const
{
    runCommand("xdotool windowfocus --sync " + windowId() + " key --clearmodifiers " + keysym);
}

void VexaProcess::mouseMove(int x, int y) const
{
    runCommand("xdotool mousemove --sync --window " + windowId() + " " + std::to_string(x) + " " +
               std::to_string(y));
}

void VexaProcess::mouseDown(int button) const
{
    runCommand("xdotool mousedown " + std::to_string(button));
}

void VexaProcess::mouseUp(int button) const
{
    runCommand("xdotool mouseup " + std::to_string(button));
}

void VexaProcess::resize(int w, int h) const
{
    runCommand("xdotool windowsize --sync " + windowId() + " " + std::to_string(w) + " " +
               std::to_string(h));
}

std::vector<Rgb> VexaProcess::screenshot(int* w, int* h) const
{
    std::string ppm = runCommand("import -window " + windowId() + " -depth 8 ppm:- 2>/dev/null");
    std::istringstream in(ppm);
    std::string magic;
    int maxValue = 0;
    in >> magic >> *w >> *h >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255 || *w <= 0 || *h <= 0)
        return {};
    std::vector<Rgb> pixels((size_t)*w * *h);
    in.read((char*)pixels.data(), (std::streamsize)(pixels.size() * 3));
    if (!in)
        return {};
    return pixels;
}

int VexaProcess::waitForExit(int timeoutMs)
{
    int status = 0;
    bool ended = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs);
    if (!ended)
        return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

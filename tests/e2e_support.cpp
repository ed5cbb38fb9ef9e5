// Launching vexa under the test display and talking to it with X tools.
#include "e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

bool waitUntil(const std::function<bool()>& check, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (check())
            return true;
        usleep(20000);
    }
    return check();
}

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

VexaProcess::VexaProcess(const std::vector<std::string>& env, Console console)
{
    char path[] = "/tmp/vexa-e2e-XXXXXX";
    int fd = mkstemp(path);
    outputPath_ = path;
    int pipeFds[2] = {-1, -1};
    if (console == Console::Pipe && pipe(pipeFds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fd, 2);
        if (console == Console::File)
            dup2(fd, 1);
        else if (console == Console::Closed)
            close(1);
        else
            dup2(pipeFds[1], 1);
        if (pipeFds[0] >= 0) {
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        close(fd);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        execl(VEXA_BINARY, VEXA_BINARY, (char*)nullptr);
        _exit(127);
    }
    close(fd);
    if (pipeFds[1] >= 0)
        close(pipeFds[1]);
    consoleFd_ = pipeFds[0];
    // The window is found by the process that owns it. A search can fail
    // outright (a window that goes away while it is looked at), so it is
    // repeated until the window is there or the deadline has passed.
    std::string search = "timeout 5 xdotool search --sync --onlyvisible --pid " + std::to_string(pid_) +
                         " --name 'Vexa v3.0.0b' 2>/dev/null | head -n 1";
    waitUntil([&] {
        windowId_ = strtoul(runCommand(search).c_str(), nullptr, 10);
        return windowId_ != 0 || !running();
    }, 30000);
    // The first reshape titles the window with its size.
    if (windowId_)
        waitUntil([&] { return title().find("*") != std::string::npos; }, 20000);
}

VexaProcess::~VexaProcess()
{
    closeConsole();
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
    std::string name = runCommand("timeout 10 xdotool getwindowname " + windowId() + " 2>/dev/null");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return name;
}

bool VexaProcess::waitForTitle(const std::string& wanted, int timeoutMs) const
{
    return waitUntil([&] { return title() == wanted || !running(); }, timeoutMs) && title() == wanted;
}

void VexaProcess::key(const std::string& keysym) const
{
    runCommand("timeout 10 xdotool windowfocus --sync " + windowId() + " key --clearmodifiers " + keysym);
}

void VexaProcess::mouseMove(int x, int y) const
{
    runCommand("timeout 10 xdotool mousemove --sync --window " + windowId() + " " + std::to_string(x) + " " +
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
    runCommand("timeout 10 xdotool windowsize --sync " + windowId() + " " + std::to_string(w) + " " +
               std::to_string(h));
}

std::vector<Rgb> VexaProcess::screenshot(int* w, int* h) const
{
    std::string ppm = runCommand("timeout 10 import -window " + windowId() + " -depth 8 ppm:- 2>/dev/null");
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

bool VexaProcess::waitForPicture(const std::function<bool(const std::vector<Rgb>&, int, int)>& check,
                                 int timeoutMs) const
{
    return waitUntil([&] {
        if (!running())
            return true;  // gives up: a picture can no longer come
        int w = 0, h = 0;
        std::vector<Rgb> shot = screenshot(&w, &h);
        return !shot.empty() && check(shot, w, h);
    }, timeoutMs) && running();
}

bool VexaProcess::running() const
{
    // Looked at without reaping, so that waitForExit still sees the status.
    siginfo_t info = {};
    return pid_ > 0 && waitid(P_PID, (id_t)pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

bool VexaProcess::readConsoleUntil(const std::string& text, int timeoutMs)
{
    if (consoleFd_ < 0)
        return false;
    fcntl(consoleFd_, F_SETFL, O_NONBLOCK);
    return waitUntil([&] {
        char chunk[4096];
        for (ssize_t n; (n = read(consoleFd_, chunk, sizeof chunk)) > 0;)
            console_.append(chunk, (size_t)n);
        return console_.find(text) != std::string::npos;
    }, timeoutMs);
}

void VexaProcess::closeConsole()
{
    if (consoleFd_ >= 0)
        close(consoleFd_);
    consoleFd_ = -1;
}

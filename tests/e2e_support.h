// Runs the built vexa on the test display and drives it with real X events
// through xdotool: keys, buttons, drags and resizes. Reads its console
// output, its title and screenshots of its window.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "gl_support.h"

// Where the program's standard output goes: the private file that output()
// reads, nowhere (the descriptor closed), or a pipe the test reads and closes.
enum class Console { File, Closed, Pipe };

class VexaProcess {
public:
    // Starts vexa with its standard error, and its standard output as
    // `console` says, going to a private file, and waits for its window.
    // `env` entries ("NAME=value") are added.
    explicit VexaProcess(const std::vector<std::string>& env = {}, Console console = Console::File);
    ~VexaProcess();  // kills the program if it still runs

    bool started() const { return windowId_ != 0; }
    std::string windowId() const { return std::to_string(windowId_); }
    std::string output() const;          // everything printed so far
    bool waitForOutput(const std::string& text, int timeoutMs) const;
    std::string title() const;
    bool waitForTitle(const std::string& title, int timeoutMs) const;

    // Real input through XTEST, aimed at the window.
    void key(const std::string& keysym) const;          // e.g. "h", "shift+plus", "KP_Add"
    void mouseMove(int x, int y) const;                  // window coordinates
    void mouseDown(int button) const;
    void mouseUp(int button) const;
    void resize(int w, int h) const;

    // The window's pixels, row 0 at the top; empty on failure.
    std::vector<Rgb> screenshot(int* w, int* h) const;
    // Takes screenshots until `check(pixels, w, h)` holds (true), the time is
    // up or the program has ended (false).
    bool waitForPicture(const std::function<bool(const std::vector<Rgb>&, int, int)>& check,
                        int timeoutMs) const;
    // Waits until the program ends; returns its exit status, or -1 on timeout.
    int waitForExit(int timeoutMs);
    bool running() const;

    // With Console::Pipe: reads the pipe until `text` has come (true) or the
    // time is up; then closes the reading end, as `vexa | head` does.
    bool readConsoleUntil(const std::string& text, int timeoutMs);
    void closeConsole();

private:
    pid_t pid_ = -1;
    unsigned long windowId_ = 0;
    std::string outputPath_;
    int consoleFd_ = -1;
    std::string console_;
};

// Polls `check` until it holds or `timeoutMs` of real time have passed,
// however long each check itself takes.
bool waitUntil(const std::function<bool()>& check, int timeoutMs);

// Runs a shell command and returns what it printed on standard output.
std::string runCommand(const std::string& command, int* status = nullptr);

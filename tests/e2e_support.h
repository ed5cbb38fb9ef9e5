// Runs the built vexa on the test display and drives it with real X events
// through xdotool: keys, buttons, drags and resizes. Reads its console
// output, its title and screenshots of its window.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "gl_support.h"

class VexaProcess {
public:
    // Starts vexa with its standard output and error going to a private file
    // and waits for its window. `env` entries ("NAME=value") are added.
    explicit VexaProcess(const std::vector<std::string>& env = {});
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
    // Waits until the program ends; returns its exit status, or -1 on timeout.
    int waitForExit(int timeoutMs);

private:
    pid_t pid_ = -1;
    unsigned long windowId_ = 0;
    std::string outputPath_;
};

// Runs a shell command and returns what it printed on standard output.
std::string runCommand(const std::string& command, int* status = nullptr);

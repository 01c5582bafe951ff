#pragma once

#include <optional>
#include <string>

namespace dravex {

// Window styles the tool starts programs with.
constexpr int kWindowHidden = 0;
constexpr int kWindowNormalFocus = 1;
constexpr int kWindowMaximizedFocus = 3;

// Starts a program from a command-line text ("program arguments...") and returns at once, without
// waiting for it. Nothing in the text is ever interpreted by a shell.
class Launcher {
public:
    virtual ~Launcher() = default;

    // The started process's identifier, or nothing when the program could not be started.
    virtual std::optional<long> Shell(const std::string &commandLine, int windowStyle) = 0;
};

} // namespace dravex

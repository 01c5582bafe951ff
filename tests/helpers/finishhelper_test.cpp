#include "helpers/helpermain.h"

#include "helpers/helpercontext.h"
#include "helpers/helpertexts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace dravex {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(10);

// The end of a helper in its terminal window: finishHelper in a child process whose standard streams are
// a fresh pseudo-terminal, which the test types into and reads like the window would.
class HelperWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_master >= 0)
            ::close(m_master);
        if (m_child > 0 && !m_status) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }

    // The child waits for the text typed ahead (a whole line, as the terminal is still line by line),
    // runs finishHelper(code), and then writes on the terminal whether the typed-ahead input is still
    // unread and whether the terminal's mode is as before.
    void start(int code, bool ignoreHangup = false) {
        std::fflush(nullptr); // or the child would write out what the test runner has buffered
        m_child = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        ASSERT_GE(m_child, 0);
        if (m_child == 0) {
            if (ignoreHangup)
                ::signal(SIGHUP, SIG_IGN);
            pollfd input{STDIN_FILENO, POLLIN, 0};
            ::poll(&input, 1, 10000);
            termios before{};
            ::tcgetattr(STDIN_FILENO, &before);
            const int result = finishHelper(code);
            termios after{};
            const bool restored = ::tcgetattr(STDIN_FILENO, &after) == 0 && after.c_lflag == before.c_lflag &&
                                  after.c_cc[VMIN] == before.c_cc[VMIN];
            input.revents = 0;
            const bool left = ::poll(&input, 1, 0) == 1 && (input.revents & POLLIN);
            const std::string report =
                std::string("left=") + (left ? "1" : "0") + " restored=" + (restored ? "1" : "0") + "\n";
            [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, report.data(), report.size());
            ::_exit(result);
        }
        type("typed ahead\n");
    }

    void type(const std::string &keys) {
        ASSERT_EQ(::write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the terminal shows until it holds the text (with none, until it closes), or until time
    // runs out.
    bool readScreen(const std::string &text = {}) {
        const auto shown = [&] { return !text.empty() && m_screen.find(text) != std::string::npos; };
        const auto deadline = Clock::now() + kPatience;
        while (!shown() && Clock::now() < deadline) {
            pollfd output{m_master, POLLIN, 0};
            if (::poll(&output, 1, 50) != 1)
                continue;
            char buffer[512];
            const ssize_t length = ::read(m_master, buffer, sizeof buffer);
            if (length <= 0)
                return text.empty(); // EIO once the child's side is closed
            m_screen.append(buffer, static_cast<size_t>(length));
        }
        return shown();
    }

    // The child's exit status, once it has ended within the time given.
    std::optional<int> waitForExit(std::chrono::milliseconds patience = kPatience) {
        const auto deadline = Clock::now() + patience;
        do {
            int status = 0;
            if (::waitpid(m_child, &status, WNOHANG) == m_child) {
                m_status = status;
                return status;
            }
            ::poll(nullptr, 0, 5);
        } while (Clock::now() < deadline);
        return std::nullopt;
    }

    // What the terminal showed after the text.
    std::string screenAfter(const std::string &text) const {
        const size_t at = m_screen.find(text);
        return at == std::string::npos ? std::string() : m_screen.substr(at + text.size());
    }

    int m_master = -1;
    pid_t m_child = -1;
    std::optional<int> m_status;
    std::string m_screen;
};

const std::string kPrompt = std::string(helpertexts::kPressAnyKey) + "\r\n";

TEST_F(HelperWindow, SuccessEndsAtOnceWithoutReadingOrAsking) {
    start(kExitDone);
    const auto status = waitForExit();
    ASSERT_TRUE(status.has_value()) << "a helper that succeeded waited";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == kExitDone);
    ASSERT_TRUE(readScreen());
    EXPECT_EQ(m_screen, "typed ahead\r\nleft=1 restored=1\r\n");
}

TEST_F(HelperWindow, FailureWaitsForOneKeyWithoutEnterOrEcho) {
    start(kExitFailed);
    ASSERT_TRUE(readScreen(kPrompt));
    // The line typed while the helper worked does not count as the key.
    EXPECT_FALSE(waitForExit(std::chrono::milliseconds(100)).has_value()) << "ended before a key was pressed";

    type("x");
    const auto status = waitForExit();
    ASSERT_TRUE(status.has_value()) << "one key without Enter did not end the helper";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == kExitFailed);
    ASSERT_TRUE(readScreen());
    // The key is not echoed, nothing typed is left over, and the terminal reads lines again.
    EXPECT_EQ(screenAfter(kPrompt), "left=0 restored=1\r\n");
}

TEST_F(HelperWindow, FailureEndsWhenTheTerminalCloses) {
    // Closing the window hangs the terminal up; a helper that outlives the hangup signal must still end.
    start(kExitRefused, true);
    ASSERT_TRUE(readScreen(kPrompt));
    ::close(m_master);
    m_master = -1;
    const auto status = waitForExit();
    ASSERT_TRUE(status.has_value()) << "the helper kept waiting on a closed terminal";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == kExitRefused);
}

} // namespace
} // namespace dravex

#pragma once

#include "platform/linux/mounter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace dravex {

// The folder of a fixture tree under tests/data/sysroots.
inline std::string sysroot(const std::string &name) {
    return std::string(DRAVEX_TEST_DATA) + "/sysroots/" + name;
}

// Mounts what the test told it to, and remembers what it was asked.
class FakeMounter : public Mounter {
public:
    std::optional<std::string> mount(const std::string &volumeKernelName) override {
        calls.push_back(volumeKernelName);
        const auto found = answers.find(volumeKernelName);
        if (found == answers.end())
            return std::nullopt;
        return found->second;
    }

    std::map<std::string, std::string> answers;
    std::vector<std::string> calls;
};

// A fresh folder of its own for the running test, removed with everything in it at the end.
class TemporaryFolder {
public:
    TemporaryFolder() {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path =
            std::filesystem::weakly_canonical(std::filesystem::path(::testing::TempDir())) /
            ("dravex-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A fixture tree copied into a folder of the test's, so the test may put images and change files in it.
inline std::string copySysroot(const std::string &name, const std::filesystem::path &into) {
    const std::filesystem::path copy = into / name;
    std::filesystem::copy(sysroot(name), copy,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks);
    return copy.string();
}

inline std::string fileBytes(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void writeFileBytes(const std::string &path, const std::string &bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

} // namespace dravex

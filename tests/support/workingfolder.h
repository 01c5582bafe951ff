#pragma once

#include <filesystem>

namespace dravex {

// Moves the test's working folder for as long as it lives, as an operator starting the tool elsewhere would.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path &folder)
        : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(m_previous); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
    std::filesystem::path m_previous;
};

} // namespace dravex

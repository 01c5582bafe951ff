#include "demo/benchcli.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace {

// DRAVEX_BENCH, else the bench ./run demo makes beside this program's folder (build/demo-bench).
std::string defaultBench() {
    if (const char *named = std::getenv("DRAVEX_BENCH"); named && *named)
        return named;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return (program.parent_path().parent_path() / "demo-bench").string();
}

} // namespace

int main(int argc, char *argv[]) {
    return dravex::runBenchCli(std::vector<std::string>(argv + 1, argv + argc), defaultBench(), std::cout,
                               std::cerr);
}

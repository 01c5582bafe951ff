#include "record/cli/recordcli.h"

#include <filesystem>
#include <iostream>

int main(int argc, char *argv[]) {
    // The journal and RecordServer.txt lie beside the program, wherever it is started from.
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return dravex::runRecordCli(std::vector<std::string>(argv + 1, argv + argc),
                                error ? std::string() : program.parent_path().string(), std::cout, std::cerr);
}

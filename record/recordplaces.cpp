#include "record/recordplaces.h"

#include <fstream>

namespace dravex {

std::string journalPath(const std::string &programFolder) {
    return programFolder.empty() || programFolder.back() == '/' ? programFolder + kJournalFileName
                                                                : programFolder + "/" + kJournalFileName;
}

std::string readServerSettings(const std::string &programFolder) {
    const std::string folder =
        programFolder.empty() || programFolder.back() == '/' ? programFolder : programFolder + "/";
    std::ifstream file(folder + kServerSettingsFileName, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line))
        return {};
    const char *blanks = " \t\r\n";
    const size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

} // namespace dravex

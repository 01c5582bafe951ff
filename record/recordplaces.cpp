#include "record/recordplaces.h"

#include <fstream>

namespace dravex {

namespace {

std::string inFolder(const std::string &folder, const char *name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

std::string journalPath(const std::string &programFolder) {
    return inFolder(programFolder, kJournalFileName);
}

std::string readServerSettings(const std::string &programFolder) {
    std::ifstream file(inFolder(programFolder, kServerSettingsFileName), std::ios::binary);
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

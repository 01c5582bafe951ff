#pragma once

#include <optional>
#include <string>

namespace dravex {

// Whether the path is a regular file (a link to one counts) that we may execute.
bool isExecutableFile(const std::string &path);

// The first executable file of that name in the folders of a PATH-style list ("a:b:c"), then in the
// extra folders (the same form). Empty entries, which would mean the current folder, are nobody's choice
// here and are skipped.
std::optional<std::string> findProgram(const std::string &name, const char *searchPath,
                                       const std::string &extraFolders = {});

} // namespace dravex

#pragma once

#include <optional>
#include <string_view>

namespace dravex {

// The command line of the helpers that take one drive (RemoveDrive.exe, captest): a drive letter, alone or
// followed by ":" ("H", "h:"). Upper case.
std::optional<char> parseDriveArgument(std::string_view text);

} // namespace dravex

#pragma once

#include <map>
#include <string>
#include <string_view>

namespace dravex {

// The properties of one device in the udev database, from its "E:KEY=VALUE" lines.
using UdevRecord = std::map<std::string, std::string>;

// Lines of other kinds and property lines without "=" are ignored.
UdevRecord parseUdevRecord(std::string_view text);

// Turns the \xNN escapes of the *_ENC properties back into bytes; a malformed escape stays as written.
std::string decodeUdevEscapes(std::string_view text);

// The file-system name the volume query reports for udev's ID_FS_TYPE and ID_FS_VERSION; empty when
// there is no file system.
std::string windowsFileSystemName(const std::string &idFsType, const std::string &idFsVersion);

} // namespace dravex

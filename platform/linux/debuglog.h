#pragma once

#include <string_view>

namespace dravex {

// Whether DRAVEX_DEBUG names this area ("platform"), in a list separated by commas or blanks, or says
// "all", the way util-linux's debug switches are set. Read once.
bool isDebugEnabled(std::string_view area, std::string_view setting);
bool platformDebugEnabled();

// When DRAVEX_DEBUG=platform, one line on standard error saying why a platform call answered false or
// refused: "dravex platform: GetVolumeInformationA F:\: no file system". A field report can then say why a
// stick was skipped.
void debugPlatform(std::string_view call, std::string_view why);

} // namespace dravex

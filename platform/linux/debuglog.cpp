#include "platform/linux/debuglog.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace dravex {

bool isDebugEnabled(std::string_view area, std::string_view setting) {
    size_t start = 0;
    while (start < setting.size()) {
        size_t end = setting.find_first_of(", ", start);
        if (end == std::string_view::npos)
            end = setting.size();
        const std::string_view word = setting.substr(start, end - start);
        if (word == area || word == "all")
            return true;
        start = end + 1;
    }
    return false;
}

bool platformDebugEnabled() {
    static const bool enabled = [] {
        const char *setting = std::getenv("DRAVEX_DEBUG");
        return setting && isDebugEnabled("platform", setting);
    }();
    return enabled;
}

void debugPlatform(std::string_view call, std::string_view why) {
    if (!platformDebugEnabled())
        return;
    // One write per line, so lines of helpers running at once do not interleave.
    std::string line = "dravex platform: ";
    line.append(call).append(": ").append(why).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace dravex

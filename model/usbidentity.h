#pragma once

#include <string>

namespace dravex {

// The USB identity of the disk looked up last.
struct UsbIdentity {
    std::string vendor;
    std::string product;
    std::string revision;
    std::string serial;
    std::string vidPid;
};

} // namespace dravex

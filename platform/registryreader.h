#pragma once

#include <optional>
#include <string>

namespace dravex {

// Reads values of the machine's registry, of which the tool needs one list: the USB mass-storage
// devices present, "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\USBSTOR\Enum\" with "Count"
// and the entries "0", "1", ... ("USB\VID_1234&PID_5678\<serial>"). Read only.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;

    // The value's data as text (a number in decimal), nothing when it cannot be read.
    virtual std::optional<std::string> RegRead(const std::string &valuePath) = 0;
};

} // namespace dravex

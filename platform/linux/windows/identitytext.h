#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// The texts of a disk's USB identity as Windows writes them, made from what sysfs and udev tell us.
// Pure functions: any bytes in, a defined text out.

// A vendor, product or revision field of a device id: at most maxLength bytes, trailing blanks dropped,
// then every byte a device id cannot carry (blanks, control bytes, non-ASCII, ",", "\", "&") as "_", and
// ASCII letters in upper case, as Windows writes the ids of disks.
std::string deviceIdField(std::string_view text, size_t maxLength);

// ASCII letters in upper case; every other byte as it is.
std::string asciiUpperCase(std::string_view text);

// The same field for people to read (Caption, Model): blanks kept, other bytes that are no printable
// ASCII as "_", blanks around it dropped.
std::string readableField(std::string_view text);

// Whether a serial number can stand in a device instance id: 1 to 126 printable ASCII bytes other than
// ",", "\" and "&". Windows makes up an id for a device whose serial it cannot use.
bool isUsableSerial(std::string_view serial);

// The instance id Windows makes up for a device without a usable serial ("7&1A2B3C4D&0", the last number
// the LUN), derived from where the device is plugged in, so it stays the same between reads and never looks
// like another device's serial.
std::string generatedInstanceId(std::string_view portPath, unsigned lun);

// A USB vendor or product id ("0951", "abc") as 4 upper-case hex digits; nothing unless it is 1 to 4 hex
// digits, blanks around them allowed.
std::optional<std::string> usbHexId(std::string_view text);

// A registry value name that is an index the way Windows writes it: decimal, no sign, no leading zero.
std::optional<unsigned> parseValueIndex(std::string_view name);

// The LUN of a SCSI address folder name "6:0:0:1"; nothing for any other name.
std::optional<unsigned> scsiAddressLun(std::string_view name);

// The folder of the USB device in a sysfs device path: the path up to "1-3" when an interface "1-3:1.0"
// follows it; empty when the path passes no USB interface.
std::string usbDeviceFolder(std::string_view sysfsPath);

// The order of the disk numbers: runs of letters compare shorter first, then alphabetically, and runs of
// digits as numbers, so sdz comes before sdaa and nvme0n2 before nvme0n10. Where runs of different kinds
// meet, any other byte comes before digits and digits before letters; names equal as numbers ("sd01",
// "sd1") fall back to byte order. A strict total order over any bytes, as std::sort needs.
bool diskNameLess(std::string_view left, std::string_view right);

// Kernel disks that are no drives to Windows: loop, ram, zram, dm-, md, nbd, sr and fd devices, and the
// boot and RPMB areas of an eMMC chip.
bool isVirtualDiskName(std::string_view name);

// The machine name in management paths: /proc/sys/kernel/hostname upper-cased, bytes other than
// letters, digits, "-", "_" and "." left out; "LOCALHOST" when nothing remains.
std::string managementHostName(std::string_view hostname);

// One property of a management instance in its description: a text or a number.
struct MofValue {
    std::string text;
    bool isNumber = false;
};

// An instance's description as WMI's GetObjectText_ writes it: a leading line end, "instance of <class>",
// the properties in alphabetical order (letter case ignored) one per tab-indented line, texts quoted with
// "\" before "\" and """ and escapes for control bytes, numbers bare (a number that is no decimal number
// is written as a text).
std::string mofObjectText(std::string_view className, const std::map<std::string, MofValue> &properties);

// A text as a quoted MOF string.
std::string mofQuoted(std::string_view text);

} // namespace dravex

#include "platform/linux/windows/identitytext.h"

#include "platform/linux/sysfs/textfields.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace dravex {

namespace {

// USB string descriptors hold at most 126 characters.
constexpr size_t kLongestSerial = 126;
// More digits than any index we could list; keeps the number far from overflowing.
constexpr size_t kLongestIndex = 9;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isPrintableAscii(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F;
}

std::string_view withoutBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The next run of letters, of digits, or a single other byte.
std::string_view nextRun(std::string_view text, size_t &at) {
    const size_t start = at;
    if (isDigit(text[at])) {
        while (at < text.size() && isDigit(text[at]))
            ++at;
    } else if (isLetter(text[at])) {
        while (at < text.size() && isLetter(text[at]))
            ++at;
    } else {
        ++at;
    }
    return text.substr(start, at - start);
}

// The kind of a run, in the order runs of different kinds sort in: single other bytes, digits, letters.
int runKind(std::string_view run) {
    return isDigit(run.front()) ? 1 : isLetter(run.front()) ? 2 : 0;
}

// Runs of different kinds by kind, digits as numbers, letters shorter first, other bytes by value. Each
// run kind is ordered on its own, so the order of names built from them is a strict weak order.
int compareRuns(std::string_view left, std::string_view right) {
    const int leftKind = runKind(left);
    const int rightKind = runKind(right);
    if (leftKind != rightKind)
        return leftKind < rightKind ? -1 : 1;
    if (leftKind == 1) {
        while (left.size() > 1 && left.front() == '0')
            left.remove_prefix(1);
        while (right.size() > 1 && right.front() == '0')
            right.remove_prefix(1);
    }
    if (leftKind != 0 && left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    const int plain = left.compare(right);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

bool isDecimal(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

bool startsWithThenDigit(std::string_view name, std::string_view prefix) {
    return name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
           isDigit(name[prefix.size()]);
}

std::string hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

} // namespace

std::string deviceIdField(std::string_view text, size_t maxLength) {
    text = text.substr(0, maxLength);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::string field(text);
    for (char &c : field) {
        if (!isPrintableAscii(c) || c == ' ' || c == ',' || c == '\\' || c == '&')
            c = '_';
        else
            c = upper(c);
    }
    return field;
}

std::string asciiUpperCase(std::string_view text) {
    std::string upperCase(text);
    for (char &c : upperCase)
        c = upper(c);
    return upperCase;
}

std::string readableField(std::string_view text) {
    std::string field(withoutBlanks(text));
    for (char &c : field) {
        if (!isPrintableAscii(c))
            c = '_';
    }
    return field;
}

bool isUsableSerial(std::string_view serial) {
    if (serial.empty() || serial.size() > kLongestSerial)
        return false;
    return std::all_of(serial.begin(), serial.end(), [](char c) {
        return isPrintableAscii(c) && c != ' ' && c != ',' && c != '\\' && c != '&';
    });
}

std::string generatedInstanceId(std::string_view portPath, unsigned lun) {
    // FNV-1a: small, fixed, and the same on every machine.
    uint32_t hash = 2166136261u;
    for (char c : portPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return "7&" + hex8(hash) + "&" + std::to_string(lun);
}

std::optional<std::string> usbHexId(std::string_view text) {
    text = withoutBlanks(text);
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    std::string id(4 - text.size(), '0');
    for (char c : text) {
        if (hexValue(c) < 0)
            return std::nullopt;
        id += upper(c);
    }
    return id;
}

std::optional<unsigned> parseValueIndex(std::string_view name) {
    if (name.empty() || name.size() > kLongestIndex || (name.size() > 1 && name.front() == '0'))
        return std::nullopt;
    unsigned value = 0;
    for (char c : name) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::optional<unsigned> scsiAddressLun(std::string_view name) {
    int colons = 0;
    size_t lastColon = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ':') {
            if (i == 0 || name[i - 1] == ':')
                return std::nullopt;
            ++colons;
            lastColon = i;
        } else if (!isDigit(name[i])) {
            return std::nullopt;
        }
    }
    if (colons != 3)
        return std::nullopt;
    const std::string_view lun = name.substr(lastColon + 1);
    if (lun.empty() || lun.size() > kLongestIndex)
        return std::nullopt;
    unsigned value = 0;
    for (char c : lun)
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value;
}

std::string usbDeviceFolder(std::string_view sysfsPath) {
    std::string_view parentName;
    size_t start = 0;
    while (start < sysfsPath.size()) {
        size_t end = sysfsPath.find('/', start);
        if (end == std::string_view::npos)
            end = sysfsPath.size();
        const std::string_view component = sysfsPath.substr(start, end - start);
        const size_t colon = component.find(':');
        // An interface is named after its device, "1-3:1.0" below "1-3"; root hubs ("usb1") have no "-".
        if (colon != std::string_view::npos && colon > 0 && component.substr(0, colon) == parentName &&
            parentName.find('-') != std::string_view::npos)
            return std::string(sysfsPath.substr(0, start > 0 ? start - 1 : 0));
        parentName = component;
        start = end + 1;
    }
    return {};
}

bool diskNameLess(std::string_view left, std::string_view right) {
    size_t i = 0;
    size_t j = 0;
    while (i < left.size() && j < right.size()) {
        const int order = compareRuns(nextRun(left, i), nextRun(right, j));
        if (order != 0)
            return order < 0;
    }
    if (i < left.size() || j < right.size())
        return j < right.size();
    // Equal as numbers ("sd01", "sd1"): the plain order keeps the result strict.
    return left < right;
}

bool isVirtualDiskName(std::string_view name) {
    for (std::string_view prefix : {"loop", "ram", "zram", "md", "nbd", "sr", "fd"}) {
        if (startsWithThenDigit(name, prefix))
            return true;
    }
    if (startsWithThenDigit(name, "dm-"))
        return true;
    if (startsWithThenDigit(name, "mmcblk")) {
        const std::string_view rest = name.substr(6);
        return rest.find("boot") != std::string_view::npos || rest.find("rpmb") != std::string_view::npos;
    }
    return false;
}

std::string managementHostName(std::string_view hostname) {
    std::string name;
    for (char c : withoutBlanks(hostname)) {
        if (isLetter(c) || isDigit(c) || c == '-' || c == '_' || c == '.')
            name += upper(c);
    }
    return name.empty() ? "LOCALHOST" : name;
}

std::string mofQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
                quoted += escape;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

std::string mofObjectText(std::string_view className, const std::map<std::string, MofValue> &properties) {
    std::vector<const std::pair<const std::string, MofValue> *> sorted;
    for (const auto &property : properties)
        sorted.push_back(&property);
    const auto lowered = [](const std::string &name) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return lower;
    };
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const auto *a, const auto *b) { return lowered(a->first) < lowered(b->first); });
    std::string text = "\ninstance of " + std::string(className) + "\n{\n";
    for (const auto *property : sorted) {
        text += "\t" + property->first + " = ";
        // A number that is none is written as a text, so the description stays well formed.
        const bool bare = property->second.isNumber && isDecimal(property->second.text);
        text += bare ? property->second.text : mofQuoted(property->second.text);
        text += ";\n";
    }
    return text + "};\n";
}

} // namespace dravex

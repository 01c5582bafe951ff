#include "platform/sim/stickdescriptor.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

namespace dravex {

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::optional<std::string> unescape(std::string_view value) {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        switch (value[i]) {
        case '\\':
            text += '\\';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case '0':
            text += '\0';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

std::string escape(const std::string &value) {
    std::string text;
    for (char c : value) {
        switch (c) {
        case '\\':
            text += "\\\\";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\0':
            text += "\\0";
            break;
        default:
            text += c;
        }
    }
    return text;
}

std::optional<uint64_t> parseCount(std::string_view text) {
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<bool> parseFlag(const std::string &text) {
    if (text == "0")
        return false;
    if (text == "1")
        return true;
    return std::nullopt;
}

bool isUsbId(const std::string &text) {
    if (text.empty())
        return true;
    if (text.size() != 4)
        return false;
    for (char c : text)
        if (!isHexDigit(c))
            return false;
    return true;
}

// The shortest text that reads back as the same number.
std::string speedText(double speed) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, speed);
    return std::string(text, result.ptr);
}

std::optional<double> parseSpeed(std::string_view text) {
    double speed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), speed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(speed) || speed < 0)
        return std::nullopt;
    return speed;
}

std::string reportText(const CapacityReport &report) {
    return std::string(capacityOutcomeName(report.outcome)) + " " + std::to_string(report.claimedBytes) + " " +
           std::to_string(report.realBytes) + " " + speedText(report.writeMBps) + " " +
           speedText(report.readMBps);
}

std::optional<CapacityReport> parseReport(std::string_view text) {
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t blank = text.find(' ', start);
        fields.push_back(text.substr(start, blank - start));
        if (blank == std::string_view::npos)
            break;
        start = blank + 1;
    }
    if (fields.size() != 5)
        return std::nullopt;
    const auto outcome = capacityOutcomeNamed(fields[0]);
    const auto claimed = parseCount(fields[1]);
    const auto real = parseCount(fields[2]);
    const auto write = parseSpeed(fields[3]);
    const auto read = parseSpeed(fields[4]);
    if (!outcome || !claimed || !real || !write || !read)
        return std::nullopt;
    return CapacityReport{*outcome, *claimed, *real, *write, *read};
}

ParsedStickDescriptor malformed(size_t line, const std::string &why) {
    ParsedStickDescriptor parsed;
    parsed.problem = line ? "line " + std::to_string(line) + ": " + why : why;
    return parsed;
}

} // namespace

ParsedStickDescriptor parseStickDescriptor(std::string_view text) {
    SimDrive drive;
    std::set<std::string> seen;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return malformed(lineNumber, "no \"=\"");
        const std::string key(line.substr(0, equals));
        const auto value = unescape(line.substr(equals + 1));
        if (!value)
            return malformed(lineNumber, "bad \\ escape");
        if (!seen.insert(key).second)
            return malformed(lineNumber, "\"" + key + "\" given twice");

        bool valid = true;
        if (key == "letter") {
            valid = value->size() == 1 && (*value)[0] >= 'A' && (*value)[0] <= 'Z';
            if (valid)
                drive.letter = (*value)[0];
        } else if (key == "capacity") {
            const auto count = parseCount(*value);
            valid = count.has_value();
            drive.totalBytes = count.value_or(0);
        } else if (key == "label") {
            drive.label = *value;
        } else if (key == "fileSystem") {
            drive.fileSystem = *value;
        } else if (key == "medium" || key == "locked") {
            const auto flag = parseFlag(*value);
            valid = flag.has_value();
            (key == "medium" ? drive.mediumPresent : drive.locked) = flag.value_or(false);
        } else if (key == "vendor") {
            drive.vendor = *value;
        } else if (key == "product") {
            drive.product = *value;
        } else if (key == "revision") {
            drive.revision = *value;
        } else if (key == "serial") {
            drive.serial = *value;
        } else if (key == "vid" || key == "pid") {
            valid = isUsbId(*value);
            (key == "vid" ? drive.vendorId : drive.productId) = *value;
        } else if (key == "real") {
            // Written in bytes, given by hand as "8G".
            drive.realBytes = parseCount(*value);
            if (!drive.realBytes)
                drive.realBytes = parseSize(*value);
            valid = drive.realBytes.has_value();
        } else if (key == "capacityCheck") {
            drive.capacityReport = parseReport(*value);
            valid = drive.capacityReport.has_value();
        } else {
            return malformed(lineNumber, "unknown key \"" + key + "\"");
        }
        if (!valid)
            return malformed(lineNumber, "bad value for \"" + key + "\"");
    }
    if (!seen.count("letter"))
        return malformed(0, "no letter");
    if (!seen.count("capacity"))
        return malformed(0, "no capacity");
    ParsedStickDescriptor parsed;
    parsed.drive = drive;
    return parsed;
}

std::string writeStickDescriptor(const SimDrive &drive) {
    std::string text =
        "# A stick of the Dravex bench; the files on it are in the folder of the same letter.\n";
    const auto line = [&text](const char *key, const std::string &value) {
        text += std::string(key) + "=" + escape(value) + "\n";
    };
    line("letter", std::string(1, drive.letter));
    line("label", drive.label);
    line("fileSystem", drive.fileSystem);
    line("capacity", std::to_string(drive.totalBytes));
    line("medium", drive.mediumPresent ? "1" : "0");
    line("locked", drive.locked ? "1" : "0");
    line("vendor", drive.vendor);
    line("product", drive.product);
    line("revision", drive.revision);
    line("serial", drive.serial);
    line("vid", drive.vendorId);
    line("pid", drive.productId);
    if (drive.realBytes)
        line("real", std::to_string(*drive.realBytes));
    if (drive.capacityReport)
        line("capacityCheck", reportText(*drive.capacityReport));
    return text;
}

std::optional<uint64_t> parseSize(std::string_view text) {
    unsigned shift = 0;
    if (!text.empty()) {
        switch (text.back()) {
        case 'K':
        case 'k':
            shift = 10;
            break;
        case 'M':
        case 'm':
            shift = 20;
            break;
        case 'G':
        case 'g':
            shift = 30;
            break;
        case 'T':
        case 't':
            shift = 40;
            break;
        default:
            break;
        }
        if (shift)
            text.remove_suffix(1);
    }
    const auto value = parseCount(text);
    // The limit keeps byte counts in the signed range file sizes use.
    constexpr uint64_t kLimit = 1ull << 63;
    if (!value || *value == 0 || *value > (kLimit >> shift))
        return std::nullopt;
    return *value << shift;
}

std::optional<char> descriptorLetter(std::string_view fileName) {
    if (fileName.size() != 7 || fileName.substr(1) != ".stick" || fileName[0] < 'A' || fileName[0] > 'Z')
        return std::nullopt;
    return fileName[0];
}

} // namespace dravex

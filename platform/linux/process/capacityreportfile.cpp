#include "platform/linux/process/capacityreportfile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace dravex {

namespace {

std::optional<std::uint64_t> parseBytes(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Speeds are written with one decimal ("12.3"); anything else, negative numbers included, is refused.
std::optional<double> parseSpeed(std::string_view text) {
    const size_t point = text.find('.');
    const auto whole = parseBytes(text.substr(0, point));
    if (!whole)
        return std::nullopt;
    double value = static_cast<double>(*whole);
    if (point != std::string_view::npos) {
        const std::string_view fraction = text.substr(point + 1);
        const auto digits = parseBytes(fraction);
        if (!digits || fraction.size() > 6)
            return std::nullopt;
        double scale = 1;
        for (size_t i = 0; i < fraction.size(); ++i)
            scale *= 10;
        value += static_cast<double>(*digits) / scale;
    }
    return value;
}

std::string speedText(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", speed < 0 ? 0.0 : speed);
    return text;
}

} // namespace

std::string capacityReportFileName(const std::string &diskName, std::optional<std::uint64_t> diskseq) {
    return diskName + "." + std::to_string(diskseq.value_or(0));
}

std::string capacityReportText(const CapacityReport &report) {
    std::string text;
    text += "outcome=" + std::string(capacityOutcomeName(report.outcome)) + "\n";
    text += "claimed=" + std::to_string(report.claimedBytes) + "\n";
    text += "real=" + std::to_string(report.realBytes) + "\n";
    text += "write=" + speedText(report.writeMBps) + "\n";
    text += "read=" + speedText(report.readMBps) + "\n";
    return text;
}

std::optional<CapacityReport> parseCapacityReport(std::string_view text) {
    CapacityReport report;
    bool hasOutcome = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (name == "outcome") {
            const auto outcome = capacityOutcomeNamed(value);
            if (!outcome)
                return std::nullopt;
            report.outcome = *outcome;
            hasOutcome = true;
        } else if (name == "claimed" || name == "real") {
            const auto bytes = parseBytes(value);
            if (!bytes)
                return std::nullopt;
            (name == "claimed" ? report.claimedBytes : report.realBytes) = *bytes;
        } else if (name == "write" || name == "read") {
            const auto speed = parseSpeed(value);
            if (!speed)
                return std::nullopt;
            (name == "write" ? report.writeMBps : report.readMBps) = *speed;
        } else {
            return std::nullopt;
        }
    }
    if (!hasOutcome)
        return std::nullopt;
    return report;
}

bool writeCapacityReport(const std::string &folder, const std::string &fileName, const CapacityReport &report) {
    const std::string path = folder + "/" + fileName;
    const std::string partial = path + ".part";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string text = capacityReportText(report);
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    const bool whole = ::close(fd) == 0 && written == text.size();
    if (!whole || ::rename(partial.c_str(), path.c_str()) != 0) {
        ::unlink(partial.c_str());
        return false;
    }
    return true;
}

} // namespace dravex

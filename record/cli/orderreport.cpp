#include "record/cli/orderreport.h"

#include "record/cli/localdates.h"
#include "record/cli/resultgrade.h"

#include <algorithm>

namespace dravex {

namespace {

const char *const kStyle = "body{font-family:sans-serif;margin:2em;color:#222}"
                           "table{border-collapse:collapse;margin:.5em 0 1.5em}"
                           "th,td{border:1px solid #bbb;padding:2px 8px;text-align:left}"
                           "th{background:#eee}td.n{text-align:right}"
                           ".good{color:#17662b}.failed{color:#b3261e}.incomplete{color:#8a5a00}"
                           "svg text{font-size:12px;font-family:sans-serif;fill:#222}"
                           "rect.good{fill:#3a9a4f}rect.failed{fill:#d9534f}";

// Chart labels longer than this many characters are cut, so they stay beside their bars.
constexpr size_t kLabelCharacters = 24;

std::string shortened(const std::string &text) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == kLabelCharacters)
            return text.substr(0, i) + "…";
    }
    return text;
}

std::string resultCell(const std::string &operation, const std::string &result) {
    return std::string("<td class=\"") + (isGoodResult(operation, result) ? "good" : "failed") + "\">" +
           htmlEscaped(result) + "</td>";
}

const char *stateClass(StickState state) {
    return state == StickState::Good ? "good" : state == StickState::Failed ? "failed" : "incomplete";
}

const char *stateText(StickState state) {
    return state == StickState::Good     ? "complete and good"
           : state == StickState::Failed ? "failed"
                                         : "incomplete";
}

// Horizontal bars, one per label: good in green, failed in red after it, scaled to the longest.
std::string barChart(const std::vector<BarCount> &bars) {
    constexpr size_t kLabelWidth = 170, kBarWidth = 420, kRow = 20, kWidth = kLabelWidth + kBarWidth + 150;
    size_t most = 0;
    for (const BarCount &bar : bars)
        most = std::max(most, bar.good + bar.failed);
    const auto length = [most](size_t count) { return most ? count * kBarWidth / most : 0; };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
                      "\" height=\"" + std::to_string((bars.size() + 1) * kRow) + "\">\n";
    for (size_t i = 0; i < bars.size(); ++i) {
        const BarCount &bar = bars[i];
        const std::string y = std::to_string(i * kRow + 3), textY = std::to_string(i * kRow + 14);
        const size_t good = length(bar.good), failed = length(bar.failed);
        svg += "<text x=\"" + std::to_string(kLabelWidth - 6) + "\" y=\"" + textY +
               "\" text-anchor=\"end\">" + htmlEscaped(shortened(bar.label)) + "</text>";
        svg += "<rect class=\"good\" x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + y + "\" width=\"" +
               std::to_string(good) + "\" height=\"14\"/>";
        svg += "<rect class=\"failed\" x=\"" + std::to_string(kLabelWidth + good) + "\" y=\"" + y +
               "\" width=\"" + std::to_string(failed) + "\" height=\"14\"/>";
        if (bar.good + bar.failed > 0)
            svg += "<text x=\"" + std::to_string(kLabelWidth + good + failed + 6) + "\" y=\"" + textY +
                   "\">" + std::to_string(bar.good) + " good, " + std::to_string(bar.failed) +
                   " failed</text>";
        svg += "\n";
    }
    const std::string legendY = std::to_string(bars.size() * kRow + 3);
    const std::string legendTextY = std::to_string(bars.size() * kRow + 14);
    svg += "<rect class=\"good\" x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + legendY +
           "\" width=\"14\" height=\"14\"/><text x=\"" + std::to_string(kLabelWidth + 20) + "\" y=\"" +
           legendTextY + "\">good</text><rect class=\"failed\" x=\"" + std::to_string(kLabelWidth + 80) +
           "\" y=\"" + legendY + "\" width=\"14\" height=\"14\"/><text x=\"" +
           std::to_string(kLabelWidth + 100) + "\" y=\"" + legendTextY + "\">failed</text>\n</svg>\n";
    return svg;
}

void writeSticks(const OrderSummary &summary, std::ostream &out) {
    // The steps that decide a stick's state always have a column, so a missing one shows as a gap.
    std::vector<std::string> columns;
    for (const std::string &operation : operationNames())
        if (std::count(stickSteps().begin(), stickSteps().end(), operation) ||
            std::count(summary.operations.begin(), summary.operations.end(), operation))
            columns.push_back(operation);
    size_t states[3] = {0, 0, 0};
    for (const StickSummary &stick : summary.sticks)
        ++states[static_cast<size_t>(stick.state)];
    out << "<h2>Sticks</h2>\n<p>" << summary.sticks.size() << " sticks: " << states[0]
        << " complete and good, " << states[1] << " failed, " << states[2] << " incomplete.</p>\n";
    if (summary.copiesWithoutSerial)
        out << "<p class=\"incomplete\">" << summary.copiesWithoutSerial
            << " copy records of the order name no serial number; their sticks are not in this report.</p>\n";
    out << "<table>\n<tr><th>serial</th>";
    for (const std::string &operation : columns)
        out << "<th>" << htmlEscaped(operation) << "</th>";
    out << "<th>last record</th><th>station</th><th>state</th></tr>\n";
    for (const StickSummary &stick : summary.sticks) {
        out << "<tr><td>" << htmlEscaped(stick.serial) << "</td>";
        const ProductionRecord *last = nullptr;
        for (const auto &[operation, record] : stick.latest)
            if (!last || last->time < record.time)
                last = &record;
        for (const std::string &operation : columns) {
            const auto found = stick.latest.find(operation);
            out << (found == stick.latest.end() ? "<td></td>" : resultCell(operation, found->second.result));
        }
        out << "<td>" << htmlEscaped(last ? localTimeText(last->time) : "") << "</td><td>"
            << htmlEscaped(last ? last->station : "") << "</td><td class=\"" << stateClass(stick.state)
            << "\">" << stateText(stick.state) << "</td></tr>\n";
    }
    out << "</table>\n";
}

void writeResults(const OrderSummary &summary, std::ostream &out) {
    out << "<h2>Results per "
           "operation</h2>\n<table>\n<tr><th>operation</th><th>result</th><th>records</th></tr>\n";
    for (const ResultCount &count : summary.results)
        out << "<tr><td>" << htmlEscaped(count.operation) << "</td>"
            << resultCell(count.operation, count.result) << "<td class=\"n\">" << count.records
            << "</td></tr>\n";
    out << "</table>\n";
}

} // namespace

std::string htmlEscaped(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void writeOrderReport(const ReportHeading &heading, const OrderSummary &summary, std::ostream &out) {
    std::string stations;
    for (const std::string &station : summary.stations)
        stations += (stations.empty() ? "" : ", ") + station;
    out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" << htmlEscaped(heading.title)
        << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>" << htmlEscaped(heading.title)
        << "</h1>\n<p>Order folder: " << htmlEscaped(heading.order)
        << "<br>\nRange: " << htmlEscaped(heading.range)
        << "<br>\nStations: " << htmlEscaped(stations.empty() ? "none" : stations) << "<br>\n"
        << summary.records << " records; made " << htmlEscaped(heading.made) << "</p>\n";
    writeSticks(summary, out);
    writeResults(summary, out);
    out << "<h2>Results per hour of the day</h2>\n" << barChart(summary.byHour);
    out << "<h2>Results per station</h2>\n" << barChart(summary.byStation) << "</body>\n</html>\n";
}

} // namespace dravex

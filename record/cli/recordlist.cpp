#include "record/cli/recordlist.h"

#include "record/cli/localdates.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace dravex {

namespace {

constexpr size_t kCells = 8;
constexpr size_t kDurationCell = 6;
using Row = std::array<std::string, kCells>;

// Control characters become blanks: a message's line break keeps the record on its line, and no stored
// text can send escape sequences to the terminal.
std::string cell(const std::string &text) {
    if (text.empty())
        return "-";
    std::string shown = text;
    for (char &c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return shown;
}

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Terminal columns of UTF-8 text: Chinese characters take two. Bytes that are no UTF-8 count one each.
size_t displayWidth(const std::string &text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : lead >> 5 == 0x6  ? 2
                              : lead >> 4 == 0xE  ? 3
                              : lead >> 3 == 0x1E ? 4
                                                  : 1;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        size_t used = 1;
        while (used < length && i + used < text.size() &&
               (static_cast<unsigned char>(text[i + used]) & 0xC0) == 0x80)
            c = (c << 6) | (static_cast<unsigned char>(text[i + used++]) & 0x3F);
        width += used == length && isWide(c) ? 2 : 1;
        i += used;
    }
    return width;
}

std::string durationText(std::int64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

} // namespace

void writeRecordList(const std::vector<ProductionRecord> &records, std::ostream &out) {
    std::vector<Row> rows;
    if (!records.empty())
        rows.push_back({"time", "station", "letter", "serial", "operation", "result", "duration", "message"});
    for (const ProductionRecord &r : records)
        rows.push_back({cell(localTimeText(r.time)), cell(r.station), cell(r.letter), cell(r.serial),
                        cell(r.operation), cell(r.result), durationText(r.durationMs), cell(r.message)});
    std::array<size_t, kCells> widths{};
    for (const Row &row : rows)
        for (size_t column = 0; column < kCells; ++column)
            widths[column] = std::max(widths[column], displayWidth(row[column]));
    for (const Row &row : rows) {
        std::string line;
        for (size_t column = 0; column < kCells; ++column) {
            const std::string padding(widths[column] - displayWidth(row[column]), ' ');
            if (column == kCells - 1)
                line += row[column]; // the message runs on as long as it is
            else if (column == kDurationCell)
                line += padding + row[column] + "  ";
            else
                line += row[column] + padding + "  ";
        }
        out << line << "\n";
    }
    out << records.size() << (records.size() == 1 ? " record\n" : " records\n");
}

} // namespace dravex

#include "record/cli/recordcsv.h"

#include <string>

namespace dravex {

namespace {

// An optional sign, digits, and optionally a point with more digits.
bool isPlainNumber(const std::string &text) {
    size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    const size_t integerStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == integerStart)
        return false;
    if (i < text.size() && text[i] == '.') {
        const size_t fractionStart = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == fractionStart)
            return false;
    }
    return i == text.size();
}

std::string csvField(const std::string &value) {
    std::string text = value;
    if (!text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos && !isPlainNumber(text))
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    return quoted + "\"";
}

void writeRow(const std::vector<std::string> &fields, std::ostream &out) {
    for (size_t i = 0; i < fields.size(); ++i)
        out << (i ? "," : "") << csvField(fields[i]);
    out << "\r\n";
}

} // namespace

void writeRecordCsv(const std::vector<ProductionRecord> &records, std::ostream &out) {
    writeRow(recordColumns(), out);
    for (const ProductionRecord &record : records)
        writeRow(recordFields(record), out);
}

} // namespace dravex

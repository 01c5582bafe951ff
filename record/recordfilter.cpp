#include "record/recordfilter.h"

namespace dravex {

namespace {

// LIKE treats %, _ and the escape character as wildcards; a folder name holding them is matched as written.
std::string likePattern(const std::string &text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

} // namespace

SqlCondition filterCondition(const RecordFilter &filter, Placeholders style) {
    SqlCondition condition;
    auto add = [&](const char *comparison, const std::string &value) {
        condition.where += condition.where.empty() ? " WHERE " : " AND ";
        condition.values.push_back(value);
        const std::string placeholder =
            style == Placeholders::Question ? "?" : "$" + std::to_string(condition.values.size());
        std::string clause = comparison;
        clause.replace(clause.find('?'), 1, placeholder);
        condition.where += clause;
    };
    if (!filter.serial.empty())
        add("serial = ?", filter.serial);
    if (!filter.operation.empty())
        add("operation = ?", filter.operation);
    if (!filter.result.empty())
        add("result = ?", filter.result);
    if (!filter.station.empty())
        add("station = ?", filter.station);
    if (!filter.from.empty())
        add("recorded_at >= ?", filter.from);
    if (!filter.until.empty())
        add("recorded_at < ?", filter.until);
    if (!filter.parametersContain.empty())
        add("parameters LIKE ? ESCAPE '\\'", likePattern(filter.parametersContain));
    return condition;
}

} // namespace dravex

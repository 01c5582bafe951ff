#include "record/recordfilter.h"

namespace dravex {

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
    // A plain substring, letter case and all, in both stores: SQLite's LIKE ignores the case of ASCII letters
    // where PostgreSQL's does not, and both take % and _ for wildcards.
    if (!filter.parametersContain.empty())
        add(style == Placeholders::Question ? "instr(parameters, ?) > 0" : "strpos(parameters, ?) > 0",
            filter.parametersContain);
    return condition;
}

} // namespace dravex

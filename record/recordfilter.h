#pragma once

#include <string>
#include <vector>

namespace dravex {

// Which records to read back; an empty field does not filter.
struct RecordFilter {
    std::string serial;
    std::string operation;
    std::string result;
    std::string station;
    std::string from; // UTC timestamps as records keep them: from inclusive, until exclusive
    std::string until;
    std::string parametersContain; // e.g. an order's source folder in its copy records
};

// A WHERE clause (empty when nothing filters) with its values in placeholder order, written with "?"
// placeholders for SQLite or "$1", "$2"... for PostgreSQL. The values are bound, never pasted in.
struct SqlCondition {
    std::string where;
    std::vector<std::string> values;
};
enum class Placeholders { Question, Dollar };
SqlCondition filterCondition(const RecordFilter &filter, Placeholders style);

} // namespace dravex

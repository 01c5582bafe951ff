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
    std::string parametersContain; // as written, letter case and all: e.g. an order's source folder
};

// A WHERE clause (empty when nothing filters) with its values in placeholder order, in SQLite's words with
// "?" placeholders or PostgreSQL's with "$1", "$2"... The values are bound, never pasted in.
struct SqlCondition {
    std::string where;
    std::vector<std::string> values;
};
enum class Placeholders { Question, Dollar };
SqlCondition filterCondition(const RecordFilter &filter, Placeholders style);

} // namespace dravex

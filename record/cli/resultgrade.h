#pragma once

#include <string>
#include <vector>

namespace dravex {

// The operations in the order a stick meets them on the line, as records name them.
const std::vector<std::string> &operationNames();
// The names joined by ", ", for messages.
std::string operationNameList();
// Where an operation stands in operationNames(); names it does not hold come after all of them.
size_t operationRank(const std::string &operation);

// Whether a record's result is good rather than failed.
bool isGoodResult(const std::string &operation, const std::string &result);

} // namespace dravex

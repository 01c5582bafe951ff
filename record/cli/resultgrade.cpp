#include "record/cli/resultgrade.h"

#include "record/productionrecord.h"

#include <algorithm>

namespace dravex {

const std::vector<std::string> &operationNames() {
    static const std::vector<std::string> names{
        operations::kFormat,   operations::kCopy,    operations::kContentCheck, operations::kCapacityCheck,
        operations::kLockTest, operations::kRelabel, operations::kEject};
    return names;
}

std::string operationNameList() { return commaList(operationNames()); }

size_t operationRank(const std::string &operation) {
    const std::vector<std::string> &names = operationNames();
    return static_cast<size_t>(std::find(names.begin(), names.end(), operation) - names.begin());
}

// Good: a helper's exit code 0, the content check's OK, the capacity check's 真, and both answers of the
// lock test, since 写保护 and 可读写 say what the stick is, not that the test went wrong. Everything else is
// failed: other exit codes, NG, 假 7.9G, 坏块, 出错, 无响应, 写保护 from a capacity check that could not
// write, an empty result, and any text this list does not know; a stick is never counted good by accident.
bool isGoodResult(const std::string &operation, const std::string &result) {
    if (result == "0" || result == "OK" || result == "真")
        return true;
    return operation == operations::kLockTest && (result == "写保护" || result == "可读写");
}

} // namespace dravex

#pragma once

#include "record/productionrecord.h"

#include <ostream>
#include <vector>

namespace dravex {

// One line per record in columns a person reads (local time, station, letter, serial, operation, result,
// duration, message), under a heading, and a last line with the count.
void writeRecordList(const std::vector<ProductionRecord> &records, std::ostream &out);

} // namespace dravex

#pragma once

#include "record/productionrecord.h"

#include <string>
#include <vector>

namespace dravex::testing {

// A copy record as a helper writes it, told apart by its serial: "W3-000042" for writer 3's 42nd.
ProductionRecord sampleRecord(int writer, int index);
std::string sampleSerial(int writer, int index);
// The serials of writers 0..writers-1 adding count records each, sorted.
std::vector<std::string> writersSerials(int writers, int count);
// Records whose fields try a store: Chinese text with quotes and SQL in it, line ends, % and _, capacities
// up to the largest, past what a signed 64-bit number holds.
std::vector<ProductionRecord> unusualRecords();

std::vector<std::string> idsOf(const std::vector<ProductionRecord> &records);
// Sorted, so that two stores' answers compare whatever order they came in.
std::vector<std::string> sortedIds(const std::vector<ProductionRecord> &records);
std::vector<std::string> sortedSerials(const std::vector<ProductionRecord> &records);

} // namespace dravex::testing

#pragma once

#include "record/cli/recordstore.h"
#include "record/productionrecord.h"
#include "record/recordfilter.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// An order is the customer's file set, copied from one source folder. Its sticks are those with a copy
// record naming that folder in its parameters.
struct OrderRecords {
    std::vector<ProductionRecord> records; // every record of the order's sticks, by time
    size_t copiesWithoutSerial = 0;        // copy records of the order that name no stick to follow
};

// The copy records within the filter that name folder pick the sticks; the records are all of theirs in
// the filter's date range. Nothing, with the reason, when the store cannot answer.
std::optional<OrderRecords> readOrderRecords(const RecordQuery &query, const RecordFilter &filter,
                                             const std::string &folder, std::string &error);

enum class StickState { Good, Failed, Incomplete };

// The operations whose latest results decide a stick's state: format, copy, content check, capacity check.
const std::vector<std::string> &stickSteps();

struct StickSummary {
    std::string serial;
    std::map<std::string, ProductionRecord> latest; // operation: its latest record
    StickState state = StickState::Incomplete;
};

// Complete and good: the latest format, copy and content check each good, and the latest capacity check,
// where the stick had one, too. Failed: any of these latest results failed. Incomplete: none failed, but
// the format, the copy or the content check is missing.
StickState stickState(const std::map<std::string, ProductionRecord> &latest);

struct ResultCount {
    std::string operation;
    std::string result;
    size_t records = 0;
};

struct BarCount {
    std::string label;
    size_t good = 0;
    size_t failed = 0;
};

struct OrderSummary {
    size_t records = 0;
    size_t copiesWithoutSerial = 0;
    std::vector<std::string> stations;   // in name order
    std::vector<std::string> operations; // those with records, in the order of operationNames()
    std::vector<ResultCount> results;    // by operation, then result
    std::vector<StickSummary> sticks;    // by serial
    std::vector<BarCount>
        byHour; // 24 hours of the day, local time; records whose time does not read are left out
    std::vector<BarCount> byStation; // in the order of stations
};

OrderSummary summarizeOrder(const OrderRecords &order);

} // namespace dravex

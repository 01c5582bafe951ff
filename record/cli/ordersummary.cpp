#include "record/cli/ordersummary.h"

#include "record/cli/localdates.h"
#include "record/cli/resultgrade.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace dravex {

std::optional<OrderRecords> readOrderRecords(const RecordQuery &query, const RecordFilter &filter,
                                             const std::string &folder, std::string &error) {
    RecordFilter copies = filter;
    copies.operation = operations::kCopy;
    copies.parametersContain = folder;
    const std::optional<std::vector<ProductionRecord>> copyRecords = query(copies, error);
    if (!copyRecords)
        return std::nullopt;
    OrderRecords order;
    std::set<std::string> serials;
    for (const ProductionRecord &copy : *copyRecords) {
        if (copy.serial.empty())
            ++order.copiesWithoutSerial;
        else
            serials.insert(copy.serial);
    }
    // One query per stick: an order is small beside a line's whole record.
    for (const std::string &serial : serials) {
        RecordFilter ofStick;
        ofStick.serial = serial;
        ofStick.from = filter.from;
        ofStick.until = filter.until;
        const std::optional<std::vector<ProductionRecord>> records = query(ofStick, error);
        if (!records)
            return std::nullopt;
        order.records.insert(order.records.end(), records->begin(), records->end());
    }
    std::stable_sort(order.records.begin(), order.records.end(),
                     [](const ProductionRecord &a, const ProductionRecord &b) { return a.time < b.time; });
    return order;
}

const std::vector<std::string> &stickSteps() {
    static const std::vector<std::string> steps{operations::kFormat, operations::kCopy,
                                                operations::kContentCheck, operations::kCapacityCheck};
    return steps;
}

StickState stickState(const std::map<std::string, ProductionRecord> &latest) {
    bool complete = true;
    for (const std::string &operation : stickSteps()) {
        const auto found = latest.find(operation);
        if (found != latest.end() && !isGoodResult(operation, found->second.result))
            return StickState::Failed;
        // Not every line checks the capacity; where a stick was checked, the check counts.
        if (found == latest.end() && operation != operations::kCapacityCheck)
            complete = false;
    }
    return complete ? StickState::Good : StickState::Incomplete;
}

OrderSummary summarizeOrder(const OrderRecords &order) {
    OrderSummary summary;
    summary.records = order.records.size();
    summary.copiesWithoutSerial = order.copiesWithoutSerial;
    summary.byHour.resize(24);
    for (size_t hour = 0; hour < 24; ++hour)
        summary.byHour[hour].label = (hour < 10 ? "0" : "") + std::to_string(hour) + ":00";

    std::set<std::string> stations;
    std::set<std::tuple<size_t, std::string>> operationsSeen;
    std::map<std::tuple<size_t, std::string, std::string>, size_t> results;
    std::map<std::string, StickSummary> sticks;
    std::map<std::string, BarCount> byStation;
    for (const ProductionRecord &record : order.records) {
        const size_t rank = operationRank(record.operation);
        stations.insert(record.station);
        operationsSeen.emplace(rank, record.operation);
        ++results[{rank, record.operation, record.result}];

        StickSummary &stick = sticks[record.serial];
        stick.serial = record.serial;
        const auto latest = stick.latest.find(record.operation);
        if (latest == stick.latest.end() || latest->second.time <= record.time)
            stick.latest[record.operation] = record;

        const bool good = isGoodResult(record.operation, record.result);
        BarCount &station = byStation[record.station];
        station.label = record.station;
        ++(good ? station.good : station.failed);
        if (const std::optional<int> hour = localHour(record.time)) {
            BarCount &bar = summary.byHour[static_cast<size_t>(*hour)];
            ++(good ? bar.good : bar.failed);
        }
    }
    summary.stations.assign(stations.begin(), stations.end());
    for (const auto &[rank, operation] : operationsSeen)
        summary.operations.push_back(operation);
    for (const auto &[key, count] : results)
        summary.results.push_back({std::get<1>(key), std::get<2>(key), count});
    for (auto &[serial, stick] : sticks) {
        stick.state = stickState(stick.latest);
        summary.sticks.push_back(std::move(stick));
    }
    for (auto &[name, bar] : byStation)
        summary.byStation.push_back(std::move(bar));
    return summary;
}

} // namespace dravex

#pragma once

#include "platform/productionlog.h" // the operations' names

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace dravex {

// What a record says of the stick itself, as the station saw it.
struct StickFields {
    std::string letter;   // "F"
    std::string portPath; // the USB port: "5-1", "2-1.4" behind a hub
    std::string vendorId; // "0951"
    std::string productId;
    std::string serial;
    std::string vendor;
    std::string product;
    std::string revision;
    std::uint64_t capacityBytes = 0;
    std::string fileSystem;
    std::string label;
};

// One result for one stick: what was done to it, by which station, and how it ended.
struct ProductionRecord : StickFields {
    std::string id;         // 32 hex digits drawn at random: the same record on every store
    std::string time;       // when it ended, UTC: "2026-12-08T05:01:02.123Z"
    std::string station;    // host name
    std::string operation;  // one of operations::
    std::string parameters; // the switches, the source folder, the reference summary
    std::string result;     // a helper's exit code ("0", "3") or the verdict the tool showed ("OK", "NG")
    std::string message;    // what the operator saw
    std::int64_t durationMs = 0;

    bool operator==(const ProductionRecord &other) const;
};

// The columns of a record in every store, in the order of recordFields.
const std::vector<std::string> &recordColumns();
// Names joined by ", ", as SQL lists columns and a usage text lists choices.
std::string commaList(const std::vector<std::string> &names);
// The columns joined by ", " for SQL.
std::string recordColumnList();
inline constexpr size_t kCapacityColumn = 11;
inline constexpr size_t kDurationColumn = 18;
// Whether a column holds a whole number (capacity, duration) rather than text.
bool isNumberColumn(size_t column);
// The record's values as text, one per column; numbers in decimal.
std::vector<std::string> recordFields(const ProductionRecord &record);
// The reverse; a number that does not read counts as 0.
ProductionRecord recordFromFields(const std::vector<std::string> &fields);

std::string newRecordId();
// A record with a new id, the time now and this station's name, for its maker to fill in.
ProductionRecord stampedRecord();
std::string utcTimestamp(std::chrono::system_clock::time_point time);
// This machine's host name; "localhost" when it has none.
std::string stationName();

} // namespace dravex

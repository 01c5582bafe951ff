#include "record/productionrecord.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <random>
#include <type_traits>
#include <unistd.h>

namespace dravex {

bool ProductionRecord::operator==(const ProductionRecord &other) const {
    return recordFields(*this) == recordFields(other);
}

namespace {

// The columns in store order, each with the member that holds it; the two numbers have none.
struct Column {
    const char *name;
    std::string ProductionRecord::*text;
};
const std::array<Column, 19> kColumns{{
    {"id", &ProductionRecord::id},
    {"recorded_at", &ProductionRecord::time},
    {"station", &ProductionRecord::station},
    {"letter", &ProductionRecord::letter},
    {"port_path", &ProductionRecord::portPath},
    {"vendor_id", &ProductionRecord::vendorId},
    {"product_id", &ProductionRecord::productId},
    {"serial", &ProductionRecord::serial},
    {"vendor", &ProductionRecord::vendor},
    {"product", &ProductionRecord::product},
    {"revision", &ProductionRecord::revision},
    {"capacity_bytes", nullptr},
    {"file_system", &ProductionRecord::fileSystem},
    {"label", &ProductionRecord::label},
    {"operation", &ProductionRecord::operation},
    {"parameters", &ProductionRecord::parameters},
    {"result", &ProductionRecord::result},
    {"message", &ProductionRecord::message},
    {"duration_ms", nullptr},
}};

template <typename Number> Number numberOf(const std::string &text) {
    // Digits only: stoull would take "-1" for the largest number.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return Number{};
    try {
        if constexpr (std::is_signed_v<Number>)
            return static_cast<Number>(std::stoll(text));
        else
            return static_cast<Number>(std::stoull(text));
    } catch (...) {
        return Number{};
    }
}

} // namespace

const std::vector<std::string> &recordColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> names;
        for (const Column &column : kColumns)
            names.push_back(column.name);
        return names;
    }();
    return columns;
}

std::string commaList(const std::vector<std::string> &names) {
    std::string list;
    for (const std::string &name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::string recordColumnList() { return commaList(recordColumns()); }

bool isNumberColumn(size_t column) { return column == kCapacityColumn || column == kDurationColumn; }

std::vector<std::string> recordFields(const ProductionRecord &record) {
    std::vector<std::string> fields;
    for (const Column &column : kColumns)
        fields.push_back(column.text ? record.*column.text : std::string());
    fields[kCapacityColumn] = std::to_string(record.capacityBytes);
    fields[kDurationColumn] = std::to_string(record.durationMs);
    return fields;
}

ProductionRecord recordFromFields(const std::vector<std::string> &fields) {
    ProductionRecord record;
    if (fields.size() != kColumns.size())
        return record;
    for (size_t i = 0; i < kColumns.size(); ++i) {
        if (kColumns[i].text)
            record.*kColumns[i].text = fields[i];
    }
    record.capacityBytes = numberOf<std::uint64_t>(fields[kCapacityColumn]);
    record.durationMs = numberOf<std::int64_t>(fields[kDurationColumn]);
    return record;
}

std::string newRecordId() {
    // One generator per thread, seeded from the system's entropy: ten helpers started in the same
    // millisecond still draw different ids.
    thread_local std::mt19937_64 generator([] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }());
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(generator()),
                  static_cast<unsigned long long>(generator()));
    return text;
}

std::string utcTimestamp(std::chrono::system_clock::time_point time) {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(milliseconds % 1000));
    return text;
}

ProductionRecord stampedRecord() {
    ProductionRecord record;
    record.id = newRecordId();
    record.time = utcTimestamp(std::chrono::system_clock::now());
    record.station = stationName();
    return record;
}

std::string stationName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name.data();
}

} // namespace dravex

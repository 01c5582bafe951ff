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

const std::vector<std::string> &recordColumns() {
    static const std::vector<std::string> columns{
        "id",       "recorded_at", "station",  "letter",         "port_path",   "vendor_id", "product_id",
        "serial",   "vendor",      "product",  "revision",       "capacity_bytes", "file_system", "label",
        "operation", "parameters", "result",   "message",        "duration_ms"};
    return columns;
}

std::string recordColumnList() {
    std::string list;
    for (const std::string &column : recordColumns())
        list += (list.empty() ? "" : ", ") + column;
    return list;
}

bool isNumberColumn(size_t column) { return column == kCapacityColumn || column == kDurationColumn; }

std::vector<std::string> recordFields(const ProductionRecord &r) {
    return {r.id,       r.time,    r.station,  r.letter,   r.portPath,  r.vendorId,
            r.productId, r.serial, r.vendor,   r.product,  r.revision,  std::to_string(r.capacityBytes),
            r.fileSystem, r.label, r.operation, r.parameters, r.result, r.message,
            std::to_string(r.durationMs)};
}

namespace {

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

ProductionRecord recordFromFields(const std::vector<std::string> &f) {
    ProductionRecord r;
    if (f.size() != recordColumns().size())
        return r;
    r.id = f[0];
    r.time = f[1];
    r.station = f[2];
    r.letter = f[3];
    r.portPath = f[4];
    r.vendorId = f[5];
    r.productId = f[6];
    r.serial = f[7];
    r.vendor = f[8];
    r.product = f[9];
    r.revision = f[10];
    r.capacityBytes = numberOf<std::uint64_t>(f[11]);
    r.fileSystem = f[12];
    r.label = f[13];
    r.operation = f[14];
    r.parameters = f[15];
    r.result = f[16];
    r.message = f[17];
    r.durationMs = numberOf<std::int64_t>(f[18]);
    return r;
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

std::string stationName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name.data();
}

} // namespace dravex

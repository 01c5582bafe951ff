#pragma once

#include "record/localjournal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace dravex::testing {

inline ProductionRecord stickRecord(const std::string &id, const std::string &time, const std::string &serial,
                                    const std::string &operation, const std::string &result,
                                    const std::string &station = "st-1", const std::string &parameters = "") {
    ProductionRecord record;
    record.id = id;
    record.time = time;
    record.station = station;
    record.letter = "F";
    record.serial = serial;
    record.operation = operation;
    record.parameters = parameters;
    record.result = result;
    record.durationMs = 1500;
    return record;
}

// Writes the records into a journal at path and closes it again, as a station leaves it.
inline void fillJournal(const std::string &path, const std::vector<ProductionRecord> &records) {
    LocalJournal::Opening opening = LocalJournal::open(path);
    ASSERT_TRUE(opening.journal) << opening.error;
    for (const ProductionRecord &record : records) {
        std::string error;
        ASSERT_TRUE(opening.journal->add(record, error)) << error;
    }
}

// Local time is this zone for as long as it lives.
class TimeZone {
public:
    explicit TimeZone(const char *zone) {
        if (const char *old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TimeZone(const TimeZone &) = delete;
    TimeZone &operator=(const TimeZone &) = delete;

private:
    std::optional<std::string> m_old;
};

// China: UTC+8 all year, written out so that no zone database is needed.
inline constexpr const char *kChina = "CST-8";

} // namespace dravex::testing

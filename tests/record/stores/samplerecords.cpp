#include "record/stores/samplerecords.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace dravex::testing {

std::string sampleSerial(int writer, int index) {
    char serial[32];
    std::snprintf(serial, sizeof serial, "W%d-%06d", writer, index);
    return serial;
}

std::vector<std::string> writersSerials(int writers, int count) {
    std::vector<std::string> serials;
    for (int writer = 0; writer < writers; ++writer) {
        for (int index = 0; index < count; ++index)
            serials.push_back(sampleSerial(writer, index));
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

ProductionRecord sampleRecord(int writer, int index) {
    ProductionRecord record;
    record.id = newRecordId();
    record.time = utcTimestamp(std::chrono::system_clock::now());
    record.station = "line2-station" + std::to_string(writer);
    record.letter = std::string(1, static_cast<char>('F' + writer % 10));
    record.portPath = "1-1." + std::to_string(writer + 1);
    record.vendorId = "0951";
    record.productId = "1666";
    record.serial = sampleSerial(writer, index);
    record.vendor = "Kingston";
    record.product = "DataTraveler 3.0";
    record.revision = "PMAP";
    record.capacityBytes = 31'004'295'168ULL + static_cast<unsigned>(index);
    record.fileSystem = "FAT32";
    record.label = "ORDER2041";
    record.operation = operations::kCopy;
    record.parameters = "/h/e/f/k /srv/orders/2041";
    record.result = "0";
    record.message = "Copied 1204 files, 3.1 GB";
    record.durationMs = 41'250 + index;
    return record;
}

std::vector<ProductionRecord> unusualRecords() {
    std::vector<ProductionRecord> records;
    for (const std::uint64_t capacity :
         {std::uint64_t{2'199'023'255'552}, std::uint64_t(std::numeric_limits<std::int64_t>::max()),
          std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1,
          std::numeric_limits<std::uint64_t>::max()}) {
        ProductionRecord record = sampleRecord(0, static_cast<int>(records.size()));
        record.vendor = "金士顿";
        record.product = "数据行者 \"DT\" 'Pro'";
        record.label = "订单'2041\"";
        record.parameters = "C:\\订单\\2041 --name=\"O'Brien\"; DROP TABLE records; --";
        record.message = "第一行\n第二行\t100%_done";
        record.capacityBytes = capacity;
        record.durationMs = std::numeric_limits<std::int64_t>::max();
        records.push_back(record);
    }
    return records;
}

std::vector<std::string> idsOf(const std::vector<ProductionRecord> &records) {
    std::vector<std::string> ids;
    for (const ProductionRecord &record : records)
        ids.push_back(record.id);
    return ids;
}

std::vector<std::string> sortedIds(const std::vector<ProductionRecord> &records) {
    std::vector<std::string> ids = idsOf(records);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<std::string> sortedSerials(const std::vector<ProductionRecord> &records) {
    std::vector<std::string> serials;
    for (const ProductionRecord &record : records)
        serials.push_back(record.serial);
    std::sort(serials.begin(), serials.end());
    return serials;
}

} // namespace dravex::testing

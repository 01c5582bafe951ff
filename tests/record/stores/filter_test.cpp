#include "record/localjournal.h"
#include "record/stores/postgresfixture.h"
#include "record/stores/samplerecords.h"
#include "support/scratchfolder.h"

namespace dravex {
namespace {

struct Stick {
    const char *serial;
    const char *operation;
    const char *result;
    const char *station;
    const char *parameters;
};

// In time order, a second apart; decoys for wildcards and letter case among them.
const std::vector<Stick> kSticks{
    {"S0", "copy", "0", "st1", "/h/e /srv/orders/50%_off"},
    {"S1", "copy", "0", "st2", "/h/e /srv/orders/50xxoff"},
    {"S2", "format", "NG", "st1", "/q /fs:FAT32"},
    {"S3", "copy", "3", "st1", "/h/e /srv/ORDERS/2041"},
    {"S0", "lock-test", "OK", "st2", ""},
    {"S5", "copy", "0", "st2", "C:\\orders\\a_b"},
    {"S6", "copy", "0", "st1", "/srv/订单/2041"},
    {"S7", "content-check", "NG", "st2", "/srv/orders/2041 ref=sum"},
};

std::string secondStamp(int second) {
    return "2026-12-08T05:00:0" + std::to_string(second) + ".000Z";
}

std::vector<ProductionRecord> stickRecords() {
    std::vector<ProductionRecord> records;
    for (const Stick &stick : kSticks) {
        ProductionRecord record = testing::sampleRecord(0, 0);
        record.serial = stick.serial;
        record.operation = stick.operation;
        record.result = stick.result;
        record.station = stick.station;
        record.parameters = stick.parameters;
        record.time = secondStamp(static_cast<int>(records.size()));
        records.push_back(record);
    }
    return records;
}

class RecordFilters : public testing::PostgresTest {};

TEST_F(RecordFilters, JournalAndServerGiveTheSameAnswers) {
    const std::vector<ProductionRecord> records = stickRecords();
    testing::ScratchFolder folder;
    LocalJournal::Opening opening = LocalJournal::open((folder.path() / "Dravex.db").string());
    ASSERT_TRUE(opening.journal) << opening.error;
    std::string error;
    for (const ProductionRecord &record : records)
        ASSERT_TRUE(opening.journal->add(record, error)) << error;
    std::unique_ptr<LineServer> server = connect();
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->send(records, error)) << error;

    auto filter = [](auto fill) {
        RecordFilter filter;
        fill(filter);
        return filter;
    };
    const std::vector<std::pair<RecordFilter, std::vector<size_t>>> cases{
        {{}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {filter([](RecordFilter &f) { f.serial = "S0"; }), {0, 4}},
        {filter([](RecordFilter &f) { f.operation = "copy"; }), {0, 1, 3, 5, 6}},
        {filter([](RecordFilter &f) { f.result = "NG"; }), {2, 7}},
        {filter([](RecordFilter &f) { f.station = "st2"; }), {1, 4, 5, 7}},
        {filter([](RecordFilter &f) { f.from = secondStamp(2), f.until = secondStamp(5); }), {2, 3, 4}},
        {filter([](RecordFilter &f) { f.parametersContain = "50%_off"; }), {0}},
        {filter([](RecordFilter &f) { f.parametersContain = "%"; }), {0}},
        {filter([](RecordFilter &f) { f.parametersContain = "_"; }), {0, 5}},
        {filter([](RecordFilter &f) { f.parametersContain = "\\orders\\a_b"; }), {5}},
        {filter([](RecordFilter &f) { f.parametersContain = "orders"; }), {0, 1, 5, 7}},
        {filter([](RecordFilter &f) { f.parametersContain = "订单"; }), {6}},
        {filter([](RecordFilter &f) { f.parametersContain = "nowhere"; }), {}},
        {filter([](RecordFilter &f) { f.operation = "copy", f.station = "st1", f.from = secondStamp(1); }),
         {3, 6}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        std::vector<std::string> expected;
        for (size_t index : cases[i].second)
            expected.push_back(records[index].id);
        EXPECT_EQ(testing::idsOf(opening.journal->select(cases[i].first)), expected)
            << "case " << i << " in SQLite";
        const auto answer = server->select(cases[i].first, error);
        ASSERT_TRUE(answer) << error;
        EXPECT_EQ(testing::idsOf(*answer), expected) << "case " << i << " in PostgreSQL";
    }
}

} // namespace
} // namespace dravex

#include "record/lineserver.h"
#include "record/stores/postgresfixture.h"
#include "record/stores/samplerecords.h"
#include "support/scratchfolder.h"

#include <algorithm>

namespace dravex {
namespace {

class LineServerTest : public testing::PostgresTest {};

TEST_F(LineServerTest, KeepsEveryFieldAndARecordSentTwiceOnce) {
    std::unique_ptr<LineServer> server = connect();
    ASSERT_TRUE(server);
    const std::vector<ProductionRecord> records = testing::unusualRecords();
    std::string error;
    ASSERT_TRUE(server->send(records, error)) << error;
    std::vector<ProductionRecord> held = serverRecords();
    ASSERT_EQ(held.size(), records.size());
    for (const ProductionRecord &record : records) {
        const auto found = std::find_if(held.begin(), held.end(), [&](auto &h) { return h.id == record.id; });
        ASSERT_NE(found, held.end());
        EXPECT_EQ(recordFields(*found), recordFields(record));
    }

    // Again, as after a commit whose answer was lost, with one new record beside them.
    std::vector<ProductionRecord> again = records;
    again.push_back(testing::sampleRecord(1, 1));
    ASSERT_TRUE(server->send(again, error)) << error;
    EXPECT_EQ(testing::sortedIds(serverRecords()), testing::sortedIds(again));
}

TEST_F(LineServerTest, BytesTheServerCannotHoldDoNotHoldUpTheBatch) {
    std::unique_ptr<LineServer> server = connect();
    ASSERT_TRUE(server);
    // A label read in a code page, a garbled USB descriptor, a NUL from a helper's output.
    ProductionRecord odd = testing::sampleRecord(0, 1);
    odd.label = "\xb6\xa9\xb5\xa5";
    odd.product = std::string("Flash\xc0\xaf Disk");
    odd.message = std::string("a\0b", 3);
    const std::vector<ProductionRecord> batch{testing::sampleRecord(0, 0), odd, testing::sampleRecord(0, 2)};
    std::string error;
    ASSERT_TRUE(server->send(batch, error)) << error;

    const std::vector<ProductionRecord> held = serverRecords();
    EXPECT_EQ(testing::sortedIds(held), testing::sortedIds(batch));
    const auto found = std::find_if(held.begin(), held.end(), [&](auto &h) { return h.id == odd.id; });
    ASSERT_NE(found, held.end());
    EXPECT_EQ(found->label, "\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(found->product, "Flash\uFFFD\uFFFD Disk");
    EXPECT_EQ(found->message, "a\uFFFDb");
    EXPECT_EQ(found->serial, odd.serial);
}

TEST(LineServerAbsent, ConnectingSaysWhy) {
    testing::ScratchFolder folder;
    std::string error;
    EXPECT_FALSE(LineServer::connect("host=" + folder.path().string() + " port=5 dbname=line", error));
    EXPECT_NE(error.find(folder.path().string()), std::string::npos) << error;
}

} // namespace
} // namespace dravex

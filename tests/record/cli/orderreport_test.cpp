#include "journalfill.h"
#include "record/cli/orderreport.h"
#include "record/cli/ordersummary.h"
#include "record/cli/recordcli.h"
#include "record/cli/recordstore.h"
#include "record/recordplaces.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

using testing::stickRecord;

const char *const kOrder = "D:\\Orders\\4711";
const char *const kOrderCopy = "D:\\Orders\\4711\\*.* F:\\./v/h/e/f/k";

class OrderReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Local 09:xx at st-1, 10:xx at st-2.
        const auto at9 = [](int minute) {
            return "2026-12-08T01:" + std::to_string(10 + minute) + ":00.000Z";
        };
        const auto at10 = [](int minute) {
            return "2026-12-08T02:" + std::to_string(10 + minute) + ":00.000Z";
        };
        testing::fillJournal(
            journalPath(scratch.path().string()),
            {// complete and good
             stickRecord("a1", at9(0), "A", "format", "0"),
             stickRecord("a2", at9(1), "A", "copy", "0", "st-1", kOrderCopy),
             stickRecord("a3", at9(2), "A", "content-check", "OK"),
             stickRecord("a4", at9(3), "A", "capacity-check", "真"),
             stickRecord("a5", at9(4), "A", "lock-test", "写保护"),
             // its content differs
             stickRecord("b1", at9(5), "B", "format", "0"),
             stickRecord("b2", at9(6), "B", "copy", "0", "st-1", kOrderCopy),
             stickRecord("b3", at9(7), "B", "content-check", "NG"),
             // another order, whose folder begins like this one's
             stickRecord("c1", at9(8), "C", "format", "0"),
             stickRecord("c2", at9(9), "C", "copy", "0", "st-1", "D:\\Orders\\4800\\*.* F:\\./v/h/e/f/k"),
             stickRecord("c3", at9(10), "C", "content-check", "OK"),
             // never formatted
             stickRecord("d1", at10(0), "D", "copy", "0", "st-2", kOrderCopy),
             stickRecord("d2", at10(1), "D", "content-check", "OK", "st-2"),
             // formatted again after a failure, but a counterfeit
             stickRecord("e1", at10(2), "E", "format", "3", "st-2"),
             stickRecord("e2", at10(3), "E", "format", "0", "st-2"),
             stickRecord("e3", at10(4), "E", "copy", "0", "st-2", kOrderCopy),
             stickRecord("e4", at10(5), "E", "content-check", "OK", "st-2"),
             stickRecord("e5", at10(6), "E", "capacity-check", "假 7.9G", "st-2"),
             // checked again after a failed check
             stickRecord("f1", at10(7), "F", "format", "0", "st-2"),
             stickRecord("f2", at10(8), "F", "copy", "0", "st-2", kOrderCopy),
             stickRecord("f3", at10(9), "F", "content-check", "NG", "st-2"),
             stickRecord("f4", at10(10), "F", "content-check", "OK", "st-2"),
             // no serial to follow
             stickRecord("n1", at10(11), "", "copy", "0", "st-2", kOrderCopy)});
    }
    OrderSummary summary(const RecordFilter &filter) {
        const OpenedStore store = openJournal(journalPath(scratch.path().string()));
        EXPECT_TRUE(store.query) << store.error;
        std::string error;
        const std::optional<OrderRecords> order = readOrderRecords(store.query, filter, kOrder, error);
        EXPECT_TRUE(order) << error;
        return order ? summarizeOrder(*order) : OrderSummary{};
    }
    int run(const std::vector<std::string> &arguments) {
        out.str("");
        err.str("");
        return runRecordCli(arguments, scratch.path().string(), out, err);
    }

    testing::TimeZone zone{testing::kChina};
    testing::ScratchFolder scratch;
    std::ostringstream out, err;
};

std::string statesOf(const OrderSummary &summary) {
    std::string states;
    for (const StickSummary &stick : summary.sticks)
        states += stick.serial + "=" + "GFI"[static_cast<int>(stick.state)] + " ";
    return states;
}

TEST_F(OrderReportTest, TheOrdersSticksAndWhetherEachIsCompleteAndGood) {
    const OrderSummary all = summary({});
    EXPECT_EQ(statesOf(all), "A=G B=F D=I E=F F=G ");
    EXPECT_EQ(all.copiesWithoutSerial, 1u);
    EXPECT_EQ(all.records, 19u);
    EXPECT_EQ(all.stations, (std::vector<std::string>{"st-1", "st-2"}));
    EXPECT_EQ(all.byHour[9].good, 7u);
    EXPECT_EQ(all.byHour[9].failed, 1u);
    EXPECT_EQ(all.byHour[10].good, 8u);
    EXPECT_EQ(all.byHour[10].failed, 3u);
    ASSERT_EQ(all.byStation.size(), 2u);
    EXPECT_EQ(all.byStation[1].label, "st-2");
    EXPECT_EQ(all.byStation[1].failed, 3u);
    std::string results;
    for (const ResultCount &count : all.results)
        results += count.operation + ":" + count.result + "=" + std::to_string(count.records) + " ";
    EXPECT_EQ(results, "format:0=4 format:3=1 copy:0=5 content-check:NG=2 content-check:OK=4 "
                       "capacity-check:假 7.9G=1 capacity-check:真=1 lock-test:写保护=1 ");

    RecordFilter atStation2;
    atStation2.station = "st-2";
    EXPECT_EQ(statesOf(summary(atStation2)), "D=I E=F F=G ") << "sticks copied at st-2";
    RecordFilter fromTen;
    fromTen.from = "2026-12-08T02:00:00.000Z";
    const OrderSummary late = summary(fromTen);
    EXPECT_EQ(statesOf(late), "D=I E=F F=G ");
    EXPECT_EQ(late.byHour[9].good + late.byHour[9].failed, 0u);
}

TEST_F(OrderReportTest, TheReportEscapesEveryStoredTextAndFetchesNothing) {
    const std::string folder = "D:\\<script>alert(1)</script>";
    testing::fillJournal(journalPath(scratch.path().string()),
                         {stickRecord("x1", "2026-12-08T03:00:00.000Z", "<b>S&1</b>", "copy", "0", "st-'\"",
                                      folder + "\\*.* F:\\")});
    ASSERT_EQ(run({"report", "--order", folder, "--title", "Q&A <i>"}), kRecordDone) << err.str();
    const std::string html = out.str();
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_NE(html.find("<title>Q&amp;A &lt;i&gt;</title>"), std::string::npos);
    EXPECT_NE(html.find("D:\\&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("<td>&lt;b&gt;S&amp;1&lt;/b&gt;</td>"), std::string::npos);
    EXPECT_NE(html.find("st-&#39;&quot;"), std::string::npos);
    for (const char *unwanted : {"<script", "<b>", "<i>", "src=", "href", "<link", "@import", "url("})
        EXPECT_EQ(html.find(unwanted), std::string::npos) << unwanted;
    EXPECT_EQ(err.str(), "");
}

TEST_F(OrderReportTest, AnOrderWithoutSticksIsStillAReportButSaysSo) {
    ASSERT_EQ(run({"report", "--order", "D:\\Orders\\9999"}), kRecordDone);
    EXPECT_NE(out.str().find("<p>0 sticks: 0 complete and good"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("no stick of the order"), std::string::npos) << err.str();
    ASSERT_EQ(run({"report", "--order", kOrder, "--from", "2026-12-08 10:00"}), kRecordDone) << err.str();
    EXPECT_NE(out.str().find("<p>3 sticks: 1 complete and good, 1 failed, 1 incomplete.</p>"),
              std::string::npos);
    EXPECT_NE(out.str().find("Range: from 2026-12-08 10:00, local time"), std::string::npos);
}

} // namespace
} // namespace dravex

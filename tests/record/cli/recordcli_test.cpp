#include "journalfill.h"
#include "record/cli/localdates.h"
#include "record/cli/recordcli.h"
#include "record/recordplaces.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

using testing::stickRecord;

// RFC 4180 as a spreadsheet reads it: a line ends with CR LF only outside quotes.
std::vector<std::vector<std::string>> parseCsv(const std::string &text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            field += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            row.push_back(std::exchange(field, {}));
        else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
            ++i;
        } else
            field += c;
    }
    EXPECT_TRUE(field.empty() && row.empty() && !quoted) << "the last line is not ended";
    return rows;
}

class RecordCliTest : public ::testing::Test {
protected:
    int run(const std::vector<std::string> &arguments) {
        out.str("");
        err.str("");
        return runRecordCli(arguments, scratch.path().string(), out, err);
    }
    // The ids of the records csv writes with these filters.
    std::string idsOf(std::vector<std::string> filters) {
        filters.insert(filters.begin(), "csv");
        EXPECT_EQ(run(filters), kRecordDone) << err.str();
        std::string ids;
        for (const auto &row : parseCsv(out.str()))
            if (row.at(0) != "id")
                ids += (ids.empty() ? "" : " ") + row.at(0);
        return ids;
    }
    std::string journal() const { return journalPath(scratch.path().string()); }

    testing::TimeZone zone{testing::kChina};
    testing::ScratchFolder scratch;
    std::ostringstream out, err;
};

TEST_F(RecordCliTest, FiltersAloneAndTogetherWithLocalDatesAcrossMidnight) {
    testing::fillJournal(
        journal(),
        {stickRecord("r1", "2026-12-07T15:59:59.999Z", "S1", "format", "0",
                     "st-a"),                                                      // local 12-07 23:59:59.999
         stickRecord("r2", "2026-12-07T16:00:00.000Z", "S1", "copy", "0", "st-a"), // local 12-08 00:00
         stickRecord("r3", "2026-12-08T06:30:00.000Z", "S2", "content-check", "NG", "st-b"),
         stickRecord("r4", "2026-12-08T07:00:00.000Z", "S2", "format", "3", "st-b"), // local 15:00
         stickRecord("r5", "2026-12-09T01:00:00.000Z", "S3", "capacity-check", "假 7.9G", "st-a")});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "r1 r2 r3 r4 r5"},
        {{"--serial", "S1"}, "r1 r2"},
        {{"--operation", "format"}, "r1 r4"},
        {{"--result", "NG"}, "r3"},
        {{"--result", "假 7.9G"}, "r5"},
        {{"--station", "st-b"}, "r3 r4"},
        {{"--from", "2026-12-08"}, "r2 r3 r4 r5"},
        {{"--to", "2026-12-07"}, "r1"},
        {{"--from", "2026-12-08", "--to", "2026-12-08"}, "r2 r3 r4"},
        {{"--to", "2026-12-08 00:00"}, "r1"},
        {{"--from", "2026-12-07 23:59", "--to=2026-12-08 00:01"}, "r1 r2"},
        {{"--to", "2026-12-08 15:00"}, "r1 r2 r3"},
        {{"--station", "st-a", "--operation", "format"}, "r1"},
        {{"--serial=S2", "--result", "3", "--from", "2026-12-08"}, "r4"},
        {{"--from", "2026-12-10"}, ""},
    };
    for (const auto &[filters, ids] : cases) {
        std::string shown;
        for (const std::string &filter : filters)
            shown += "[" + filter + "]";
        EXPECT_EQ(idsOf(filters), ids) << shown;
    }
}

TEST(LocalDates, DatesBecomeUtcBoundsByTheZonesOwnSummerTimeRule) {
    const testing::TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::vector<std::tuple<std::string, bool, std::optional<std::string>>> cases{
        {"2026-01-15", false, "2026-01-14T23:00:00.000Z"},
        {"2026-07-01 12:30", false, "2026-07-01T10:30:00.000Z"},
        {"2026-03-28", true, "2026-03-28T23:00:00.000Z"}, // the day before summer time
        {"2026-03-29", true, "2026-03-29T22:00:00.000Z"}, // its first day ends in summer time
        {"2026-12-31", true, "2026-12-31T23:00:00.000Z"},
        {"2024-02-29", false, "2024-02-28T23:00:00.000Z"},
        {"2026-02-29", false, std::nullopt},
        {"2026-13-01", false, std::nullopt},
        {"2026-00-10", false, std::nullopt},
        {"2026-12-08 24:00", false, std::nullopt},
        {"2026-12-08 12:60", false, std::nullopt},
        {"2026-12-8", false, std::nullopt},
        {"2026/12/08", false, std::nullopt},
        {"2026-12-08T12:00", false, std::nullopt},
        {"2026-12-08 12:00:00", false, std::nullopt},
        {"1969-12-31", false, std::nullopt},
        {"9999-12-31", true, "9999-12-31T23:00:00.000Z"}, // the year 10000 begins before it in UTC
        {"", false, std::nullopt},
    };
    for (const auto &[date, wholeDay, bound] : cases)
        EXPECT_EQ(utcBoundOf(date, wholeDay), bound) << date << (wholeDay ? " whole day" : "");
}

TEST_F(RecordCliTest, ListShowsLocalTimesInAlignedColumnsOnOneLineEach) {
    ProductionRecord tested = stickRecord("r1", "2026-12-07T16:00:00.000Z", "AA01", "capacity-check", "真");
    tested.message = "真 14.9G\n写 12.3\x1b[2J";
    ProductionRecord ejected =
        stickRecord("r2", "2026-12-08T01:02:03.456Z", "", "eject", "0", "station-long");
    ejected.durationMs = 12345;
    testing::fillJournal(journal(), {tested, ejected});
    ASSERT_EQ(run({"list"}), kRecordDone) << err.str();
    EXPECT_EQ(out.str(),
              "time                 station       letter  serial  operation       result  duration  message\n"
              "2026-12-08 00:00:00  st-1          F       AA01    capacity-check  真         1.5 s  "
              "真 14.9G 写 12.3 [2J\n"
              "2026-12-08 09:02:03  station-long  F       -       eject           0         12.3 s  -\n"
              "2 records\n");
    ASSERT_EQ(run({"list", "--serial", "none"}), kRecordDone);
    EXPECT_EQ(out.str(), "0 records\n");
}

TEST_F(RecordCliTest, CsvQuotesWhatNeedsItAndDisarmsFormulas) {
    ProductionRecord tricky = stickRecord("r1", "2026-12-08T01:00:00.000Z", "AA01", "copy", "-1");
    tricky.label = "=HYPERLINK(\"x\")";
    tricky.parameters = "D:\\Orders\\A, \"B\"\\*.*";
    tricky.message = "第一行\r\n第二行";
    tricky.product = "@SUM(A1)";
    tricky.vendor = "+Kingston";
    tricky.capacityBytes = 16000000000;
    testing::fillJournal(journal(), {tricky});
    ASSERT_EQ(run({"csv"}), kRecordDone) << err.str();
    const auto rows = parseCsv(out.str());
    ASSERT_EQ(rows.size(), 2u) << out.str();
    EXPECT_EQ(rows[0], recordColumns());
    std::vector<std::string> expected = recordFields(tricky);
    for (const std::string *guarded : {&tricky.label, &tricky.product, &tricky.vendor})
        for (std::string &field : expected)
            if (field == *guarded)
                field = "'" + field;
    EXPECT_EQ(rows[1], expected);
    EXPECT_NE(out.str().find(",-1,"), std::string::npos) << "a plain number is left as it is";
}

TEST_F(RecordCliTest, BadArgumentsGiveTheUsageAndExitTwo) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"show"},
        {"list", "csv"},
        {"list", "--colour", "red"},
        {"list", "-x"},
        {"list", "--serial"},
        {"list", "--serial", ""},
        {"list", "--serial=", "x"},
        {"list", "--serial", "a", "--serial", "b"},
        {"list", "--from", "2026-02-30"},
        {"list", "--to", "tomorrow"},
        {"list", "--from", "2026-12-09", "--to", "2026-12-08"},
        {"list", "--from", "2026-12-08 10:00", "--to", "2026-12-08 10:00"},
        {"list", "--operation", "erase"},
        {"list", "--db", "x.db", "--server"},
        {"list", "--server=", "x"},
        {"list", "--server", "--server"},
        {"list", "--order", "D:\\A"},
        {"csv", "--title", "T"},
        {"report"},
        {"report", "--order", "D:\\A", "--operation", "copy"},
    };
    for (const auto &arguments : cases) {
        std::string shown;
        for (const std::string &argument : arguments)
            shown += "[" + argument + "]";
        EXPECT_EQ(run(arguments), kRecordBadArguments) << shown;
        EXPECT_NE(err.str().find("\n\nusage: dravex-record COMMAND"), std::string::npos)
            << shown << err.str();
        EXPECT_EQ(out.str(), "") << shown;
    }
    run({"list", "--operation", "erase"});
    EXPECT_NE(err.str().find("one of format, copy, content-check, capacity-check, lock-test, relabel, eject"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(run({"list", "--serial", "x", "--help"}), kRecordDone);
    EXPECT_EQ(out.str(), recordUsage());
    EXPECT_FALSE(std::filesystem::exists(journal()));
}

TEST_F(RecordCliTest, StoresThatCannotBeReadAreNamedAndNeverCreatedOrMoved) {
    const std::string missing = (scratch.path() / "missing.db").string();
    EXPECT_EQ(run({"list", "--db", missing}), kRecordFailed);
    EXPECT_EQ(err.str(), "dravex-record: no journal at " + missing + ": No such file or directory\n");
    EXPECT_EQ(run({"csv"}), kRecordFailed) << "no journal beside the program either";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 0);

    // LocalJournal would set a file it cannot read aside as damaged and start a journal in its place.
    const auto text = scratch.path() / "notes.txt";
    testing::writeText(text, "not a journal\n");
    EXPECT_EQ(run({"list", "--db", text.string()}), kRecordFailed);
    EXPECT_NE(err.str().find("is not a station journal"), std::string::npos) << err.str();
    EXPECT_EQ(testing::readText(text), "not a journal\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);

    EXPECT_EQ(run({"list", "--server"}), kRecordFailed);
    EXPECT_NE(err.str().find("no server named in RecordServer.txt"), std::string::npos) << err.str();
    EXPECT_EQ(run({"list", "--server=host=" + (scratch.path() / "nowhere").string()}), kRecordFailed);
    EXPECT_NE(err.str().find("cannot reach the line's server"), std::string::npos) << err.str();
    out.str("");
    EXPECT_EQ(runRecordCli({"list"}, "", out, err), kRecordFailed);
}

TEST_F(RecordCliTest, ReadsAJournalNamedByDbWhileAStationHoldsItOpen) {
    const std::string other = (scratch.path() / "other" / "Dravex.db").string();
    std::filesystem::create_directories(scratch.path() / "other");
    testing::fillJournal(other, {stickRecord("r1", "2026-12-08T01:00:00.000Z", "S1", "format", "0")});
    EXPECT_EQ(idsOf({"--db", other}), "r1");
    LocalJournal::Opening station = LocalJournal::open(other);
    ASSERT_TRUE(station.journal);
    std::string error;
    ASSERT_TRUE(
        station.journal->add(stickRecord("r2", "2026-12-08T02:00:00.000Z", "S1", "copy", "0"), error));
    EXPECT_EQ(idsOf({"--db=" + other}), "r1 r2");
}

} // namespace
} // namespace dravex

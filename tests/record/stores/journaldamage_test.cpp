#include "record/localjournal.h"
#include "record/stores/samplerecords.h"
#include "record/stores/waitfor.h"
#include "record/stores/writergroup.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace dravex {
namespace {

using testing::readText;
using testing::ScratchFolder;
namespace fs = std::filesystem;

constexpr size_t kPage = 4096;

std::string garbage(size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

// A closed journal of count records: its log folded into the file, as the last helper leaves it.
void writeJournal(const fs::path &path, int count) {
    LocalJournal::Opening opening = LocalJournal::open(path.string());
    ASSERT_TRUE(opening.journal) << opening.error;
    std::string error;
    for (int index = 0; index < count; ++index)
        ASSERT_TRUE(opening.journal->add(testing::sampleRecord(0, index), error)) << error;
    opening.journal.reset();
    ASSERT_FALSE(fs::exists(path.string() + "-wal"));
}

// Overwrites pages first..last, counted from 1 as SQLite does; gives the file's bytes afterwards.
std::string overwritePages(const fs::path &path, size_t first, size_t last) {
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>((first - 1) * kPage));
        file << garbage((last - first + 1) * kPage);
    }
    return readText(path);
}

size_t pageCount(const fs::path &path) {
    return fs::file_size(path) / kPage;
}

std::vector<std::string> setAsideFiles(const fs::path &folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".damaged-") != std::string::npos && name.find("-wal") == std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

// What must follow damage found: the file kept as it was under a new name beside it, and a new journal in
// its place, without the old records (all writer 0's), that takes what is added from then on.
void expectSetAsideAndStartedAnew(LocalJournal &journal, const fs::path &path, const std::string &setAside,
                                  const std::string &damagedBytes) {
    ASSERT_EQ(setAsideFiles(path.parent_path()), std::vector<std::string>{setAside});
    EXPECT_EQ(setAside.rfind(path.string() + ".damaged-", 0), 0u) << setAside;
    EXPECT_EQ(readText(setAside), damagedBytes);
    const ProductionRecord record = testing::sampleRecord(5, 5);
    std::string error;
    ASSERT_TRUE(journal.add(record, error)) << error;
    const std::vector<ProductionRecord> records = journal.select({});
    EXPECT_EQ(std::count(records.begin(), records.end(), record), 1);
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const ProductionRecord &r) { return r.serial.rfind("W0-", 0) == 0; }),
              0);
}

TEST(JournalDamage, GarbageFileIsSetAsideWhenOpened) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    const std::string bytes = garbage(64 * 1024);
    testing::writeText(path, bytes);

    LocalJournal::Opening opening = LocalJournal::open(path.string());
    ASSERT_TRUE(opening.journal) << opening.error;
    ASSERT_NE(opening.setAsideAs, "");
    expectSetAsideAndStartedAnew(*opening.journal, path, opening.setAsideAs, bytes);
}

TEST(JournalDamage, PagesOverwrittenInTheMiddleAreFoundByTheNextAdd) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    writeJournal(path, 400);
    // Everything between the first page (the header and the schema, all that opening reads) and the last,
    // the tables' roots with it, so that any add meets the damage.
    const std::string bytes = overwritePages(path, 2, pageCount(path) - 1);

    LocalJournal::Opening opening = LocalJournal::open(path.string());
    ASSERT_TRUE(opening.journal) << opening.error;
    std::string error;
    const ProductionRecord first = testing::sampleRecord(1, 0);
    ASSERT_TRUE(opening.journal->add(first, error)) << error;
    const std::string setAside =
        opening.setAsideAs.empty() ? opening.journal->takeSetAside() : opening.setAsideAs;
    ASSERT_NE(setAside, "");
    EXPECT_EQ(testing::idsOf(opening.journal->select({})), std::vector<std::string>{first.id});
    expectSetAsideAndStartedAnew(*opening.journal, path, setAside, bytes);
}

TEST(JournalDamage, DamageThatOnlyAReadMeetsIsSetAsideToo) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    writeJournal(path, 400);
    // A few leaves in the middle: an add at the end of the tables may pass them by, reading all cannot.
    const size_t middle = pageCount(path) / 2;
    const std::string bytes = overwritePages(path, middle, middle + 2);

    LocalJournal::Opening opening = LocalJournal::open(path.string());
    ASSERT_TRUE(opening.journal) << opening.error;
    EXPECT_EQ(opening.journal->select({}).size(), 0u) << "the records of a damaged file are not trusted";
    const std::string setAside = opening.journal->takeSetAside();
    ASSERT_NE(setAside, "");
    expectSetAsideAndStartedAnew(*opening.journal, path, setAside, bytes);
}

TEST(JournalDamage, ProcessesOpeningAtOnceSetAsideOnlyTheDamagedFile) {
    constexpr int kWriters = 10;
    constexpr int kEach = 3;
    // A few rounds, as the openers meet differently each time.
    for (int round = 0; round < 10; ++round) {
        ScratchFolder folder;
        const fs::path path = folder.path() / "Dravex.db";
        const std::string bytes = garbage(64 * 1024);
        testing::writeText(path, bytes);

        const auto writers = testing::journalWriters(path.string(), kWriters, kEach, {"--open-each"});
        ASSERT_TRUE(testing::WriterGroup::run(writers).allSucceeded);

        const std::vector<std::string> setAside = setAsideFiles(folder.path());
        ASSERT_EQ(setAside.size(), 1u) << "a new journal was set aside too";
        EXPECT_EQ(readText(setAside[0]), bytes);
        LocalJournal::Opening opening = LocalJournal::open(path.string());
        ASSERT_TRUE(opening.journal) << opening.error;
        EXPECT_EQ(opening.journal->select({}).size(), size_t{kWriters * kEach}) << "round " << round;
    }
}

std::vector<std::string> serialsIn(const fs::path &path) {
    LocalJournal::Opening opening = LocalJournal::open(path.string());
    return opening.journal ? testing::sortedSerials(opening.journal->select({})) : std::vector<std::string>();
}

// The window and the sender keep the journal open for hours. When a helper sets the damaged file aside,
// their connections to it must close without touching the new journal's log, which a helper still alive
// may hold records in that no one has folded into the file yet.
TEST(JournalDamage, ConnectionsToTheSetAsideFileLeaveTheNewJournalAlone) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    writeJournal(path, 400);
    // The window has added a record of its own, still in its log, when the file is damaged under it.
    LocalJournal::Opening window = LocalJournal::open(path.string());
    ASSERT_TRUE(window.journal) << window.error;
    std::string error;
    ASSERT_TRUE(window.journal->add(testing::sampleRecord(0, 400), error)) << error;
    const std::string bytes = overwritePages(path, 2, pageCount(path) - 1);

    // Adds its first record, which sets the file aside, then waits before its second.
    testing::WriterGroup helper({{"journal", path.string(), "1", "2", "--pause-ms", "1500"}});
    helper.release();
    const std::vector<std::string> first{testing::sampleSerial(1, 0)};
    ASSERT_TRUE(testing::waitFor([&] { return serialsIn(path) == first; }, std::chrono::seconds(10)));

    window.journal.reset();
    EXPECT_TRUE(fs::exists(path.string() + "-wal"));
    EXPECT_EQ(serialsIn(path), first);
    ASSERT_TRUE(helper.finish().allSucceeded);
    EXPECT_EQ(serialsIn(path),
              (std::vector<std::string>{testing::sampleSerial(1, 0), testing::sampleSerial(1, 1)}));
    ASSERT_EQ(setAsideFiles(folder.path()).size(), 1u);
    EXPECT_EQ(readText(setAsideFiles(folder.path())[0]), bytes);
}

} // namespace
} // namespace dravex

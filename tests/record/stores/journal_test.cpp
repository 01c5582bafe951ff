#include "record/localjournal.h"
#include "record/stores/samplerecords.h"
#include "record/stores/writergroup.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace dravex {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

std::unique_ptr<LocalJournal> openJournal(const fs::path &path) {
    LocalJournal::Opening opening = LocalJournal::open(path.string());
    EXPECT_TRUE(opening.journal) << opening.error;
    return std::move(opening.journal);
}

TEST(JournalWriters, TenProcessesAtOnceKeepEveryRecordOnce) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    constexpr int kWriters = 10;
    constexpr int kEach = 150;
    // Half keep the journal open, half open it for every record as helpers do, all on a journal that does
    // not exist yet: the first ones race to create it.
    auto writers = testing::journalWriters(path.string(), kWriters, kEach);
    for (int writer = kWriters / 2; writer < kWriters; ++writer)
        writers[writer].push_back("--open-each");
    // A busy error makes a writer fail: none may come within the busy timeout.
    ASSERT_TRUE(testing::WriterGroup::run(writers).allSucceeded);

    auto journal = openJournal(path);
    ASSERT_TRUE(journal);
    const std::vector<ProductionRecord> records = journal->select({});
    EXPECT_EQ(testing::sortedSerials(records), testing::writersSerials(kWriters, kEach));
    EXPECT_EQ(journal->waitingCount(), kWriters * kEach);
}

// Making the journal is the one moment where openers hold each other off in ways SQLite's busy timeout does
// not cover; every station meets it once, with whatever starts first. Rounds, as it is a race.
TEST(JournalWriters, TenProcessesMakingTheJournalAtOnceAllGetIn) {
    for (int round = 0; round < 20; ++round) {
        ScratchFolder folder;
        const fs::path path = folder.path() / "Dravex.db";
        ASSERT_TRUE(testing::WriterGroup::run(testing::journalWriters(path.string(), 10, 1, {"--open-each"}))
                        .allSucceeded)
            << "round " << round;
        auto journal = openJournal(path);
        ASSERT_TRUE(journal);
        EXPECT_EQ(testing::sortedSerials(journal->select({})), testing::writersSerials(10, 1));
    }
}

TEST(JournalRecords, RoundTripFieldByField) {
    ScratchFolder folder;
    const fs::path path = folder.path() / "Dravex.db";
    const std::vector<ProductionRecord> written = testing::unusualRecords();
    {
        auto journal = openJournal(path);
        ASSERT_TRUE(journal);
        std::string error;
        for (const ProductionRecord &record : written)
            ASSERT_TRUE(journal->add(record, error)) << error;
    }
    auto journal = openJournal(path);
    ASSERT_TRUE(journal);
    const std::vector<ProductionRecord> read = journal->select({});
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i)
        EXPECT_EQ(recordFields(read[i]), recordFields(written[i]));
}

TEST(JournalRecords, SameRecordAddedTwiceIsKeptOnce) {
    ScratchFolder folder;
    auto journal = openJournal(folder.path() / "Dravex.db");
    ASSERT_TRUE(journal);
    const ProductionRecord record = testing::sampleRecord(1, 1);
    std::string error;
    ASSERT_TRUE(journal->add(record, error)) << error;
    ASSERT_TRUE(journal->add(record, error)) << error;
    EXPECT_EQ(journal->select({}).size(), 1u);
    EXPECT_EQ(journal->waitingCount(), 1);
}

// Moves this process into a mount namespace of its own, once, so that the tmpfs mounted below is seen by
// nothing else and goes with the process however it ends.
bool privateMounts(std::string &error) {
    static const std::string failure = [] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("no mount namespace of our own: ") + std::strerror(errno);
        return std::string();
    }();
    error = failure;
    return failure.empty();
}

// A small tmpfs mounted on a new folder for as long as it lives.
class SmallDisk {
public:
    SmallDisk(const fs::path &folder, const std::string &size) : m_folder(folder) {
        fs::create_directories(folder);
        const std::string options = "size=" + size;
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
            m_error = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    }
    ~SmallDisk() {
        if (m_error.empty())
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    const std::string &error() const { return m_error; }

private:
    fs::path m_folder;
    std::string m_error;
};

TEST(JournalFullDisk, AddFailsClearlyAndWorksAgainOnceThereIsRoom) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs to fill needs root";
    std::string error;
    ASSERT_TRUE(privateMounts(error)) << error;
    ScratchFolder folder;
    const fs::path diskFolder = folder.path() / "disk";
    SmallDisk disk(diskFolder, "1m");
    ASSERT_EQ(disk.error(), "");
    // Room to free later.
    testing::writeText(diskFolder / "filler", std::string(256 * 1024, 'x'));

    auto journal = openJournal(diskFolder / "Dravex.db");
    ASSERT_TRUE(journal);
    std::vector<std::string> stored;
    std::string addError;
    for (int index = 0; index < 2000; ++index) {
        ProductionRecord record = testing::sampleRecord(0, index);
        record.message = std::string(2000, 'm');
        if (!journal->add(record, addError))
            break;
        stored.push_back(record.serial);
    }
    ASSERT_FALSE(addError.empty()) << "1 MiB never filled up";
    EXPECT_NE(addError.find("full"), std::string::npos) << addError;
    ASSERT_FALSE(stored.empty());

    fs::remove(diskFolder / "filler");
    const ProductionRecord after = testing::sampleRecord(1, 0);
    ASSERT_TRUE(journal->add(after, addError)) << addError;
    stored.push_back(after.serial);
    journal.reset();

    LocalJournal::Opening reopened = LocalJournal::open((diskFolder / "Dravex.db").string());
    ASSERT_TRUE(reopened.journal) << reopened.error;
    EXPECT_EQ(reopened.setAsideAs, "") << "a full disk is no damage";
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(testing::sortedSerials(reopened.journal->select({})), stored);
}

} // namespace
} // namespace dravex

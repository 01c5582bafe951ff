#include "helpers/capacityprobe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace dravex {
namespace {

using Outcome = CapacityReport::Outcome;
constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kGiB = kMiB << 10;

// A stick in memory that claims one size over flash of another, behaving past the flash as counterfeit
// controllers do. Only the blocks ever written are stored; the rest hold data made from their place, so
// a probe that fails to put back what it found is caught.
class MemoryStick : public ProbeDisk {
public:
    enum class Beyond { Wraps, Drops, Fails };

    MemoryStick(std::uint64_t claimed, std::uint64_t real, Beyond beyond = Beyond::Wraps)
        : m_claimed(claimed), m_real(real), m_beyond(beyond) {}

    // The flash fails in [from, to) as well (bad blocks in the middle).
    void failBetween(std::uint64_t from, std::uint64_t to) { m_holes.emplace_back(from, to); }
    // After this many more requests every request fails (pulled out) or never comes back (hung).
    void pullAfter(int requests) { m_pullAfter = requests; }
    void hangAfter(int requests) { m_hangAfter = requests; }

    std::uint64_t size() const override { return m_claimed; }

    Io read(std::uint64_t offset, unsigned char *data, std::size_t length) override {
        if (const auto stop = countRequest())
            return *stop;
        for (std::size_t done = 0; done < length; done += kProbeBlock) {
            const auto place = flashPlace(offset + done);
            if (!place)
                return Io::Failed;
            if (*place == kNowhere)
                std::memset(data + done, 0, kProbeBlock);
            else
                std::memcpy(data + done, block(*place).data(), kProbeBlock);
        }
        ++reads;
        return Io::Done;
    }

    Io write(std::uint64_t offset, const unsigned char *data, std::size_t length) override {
        if (const auto stop = countRequest())
            return *stop;
        for (std::size_t done = 0; done < length; done += kProbeBlock) {
            const auto place = flashPlace(offset + done);
            if (!place)
                return Io::Failed;
            if (*place != kNowhere)
                m_written[*place].assign(data + done, data + done + kProbeBlock);
        }
        ++writes;
        writtenBytes += length;
        return Io::Done;
    }

    Io flush() override {
        if (const auto stop = countRequest())
            return *stop;
        ++flushes;
        return Io::Done;
    }

    // Flash blocks (by place) that no longer hold what they held before the probe.
    std::vector<std::uint64_t> changedPlaces() const {
        std::vector<std::uint64_t> changed;
        for (const auto &[place, data] : m_written) {
            if (data != original(place))
                changed.push_back(place);
        }
        return changed;
    }

    int reads = 0;
    int writes = 0;
    int flushes = 0;
    std::uint64_t writtenBytes = 0;

private:
    static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};

    static std::vector<unsigned char> original(std::uint64_t place) {
        std::vector<unsigned char> data(kProbeBlock);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<unsigned char>((place * 131 + i * 7) >> 3);
        return data;
    }

    const std::vector<unsigned char> &block(std::uint64_t place) {
        auto found = m_written.find(place);
        if (found == m_written.end())
            found = m_written.emplace(place, original(place)).first;
        return found->second;
    }

    // Where the flash keeps this address: nothing for an error, kNowhere for a write that vanishes.
    std::optional<std::uint64_t> flashPlace(std::uint64_t address) const {
        for (const auto &[from, to] : m_holes) {
            if (address >= from && address < to)
                return std::nullopt;
        }
        if (address < m_real)
            return address / kProbeBlock;
        switch (m_beyond) {
        case Beyond::Wraps:
            return address % m_real / kProbeBlock;
        case Beyond::Drops:
            return kNowhere;
        case Beyond::Fails:
            break;
        }
        return std::nullopt;
    }

    std::optional<Io> countRequest() {
        if (m_hangAfter >= 0 && m_hangAfter-- == 0)
            m_hung = true;
        if (m_pullAfter >= 0 && m_pullAfter-- == 0)
            m_pulled = true;
        if (m_hung)
            return Io::TimedOut;
        if (m_pulled)
            return Io::Failed;
        return std::nullopt;
    }

    std::uint64_t m_claimed;
    std::uint64_t m_real;
    Beyond m_beyond;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_holes;
    std::map<std::uint64_t, std::vector<unsigned char>> m_written;
    int m_pullAfter = -1;
    int m_hangAfter = -1;
    bool m_pulled = false;
    bool m_hung = false;
};

ProbeOutcome probe(MemoryStick &stick) {
    ProbeOptions options;
    double seconds = 0;
    // Every look at the clock is a millisecond later, so speeds are finite and positive.
    options.clock = [seconds]() mutable { return seconds += 0.001; };
    options.runNumber = 0x5eed;
    return probeCapacity(stick, options);
}

TEST(CapacityProbe, GenuineSticksKeepTheirSizeAndData) {
    for (const std::uint64_t size : {64 * kMiB, 1000 * kMiB + 512 * 1024, 64 * kGiB}) {
        MemoryStick stick(size, size);
        const ProbeOutcome found = probe(stick);
        EXPECT_EQ(found.report.outcome, Outcome::Genuine) << size;
        EXPECT_EQ(found.report.realBytes, size);
        EXPECT_EQ(found.report.claimedBytes, size);
        EXPECT_GT(found.report.writeMBps, 0);
        EXPECT_GT(found.report.readMBps, 0);
        EXPECT_TRUE(found.unrestored.empty());
        EXPECT_TRUE(stick.changedPlaces().empty()) << size;
    }
}

TEST(CapacityProbe, AFewHundredSmallWritesAndOneSpeedRunEvenOnALargeStick) {
    MemoryStick stick(64 * kGiB, 64 * kGiB);
    probe(stick);
    // 256 dense and 256 sparse places, each written and put back, and the timed area written and put back
    // in pieces of 1 MiB.
    const int speedWrites = 2 * static_cast<int>(kSpeedBytes / kMiB);
    EXPECT_LE(stick.writes, 2 * 520 + speedWrites);
    EXPECT_EQ(stick.writtenBytes, (stick.writes - speedWrites) * kProbeBlock + 2 * kSpeedBytes);
    EXPECT_LE(stick.flushes, 10);
}

TEST(CapacityProbe, WrappingAddressesAreFoundAtTheRealSize) {
    struct Case {
        std::uint64_t claimed, real;
    };
    // Half of the claim, an eighth, a size that is no power of two, and flash of more than half the claim.
    for (const Case c : {Case{64 * kGiB, 8 * kGiB}, Case{64 * kMiB, 32 * kMiB}, Case{1 * kGiB, 100 * kMiB},
                         Case{100 * kMiB, 60 * kMiB}, Case{64 * kMiB, 40 * kMiB}}) {
        MemoryStick stick(c.claimed, c.real, MemoryStick::Beyond::Wraps);
        const ProbeOutcome found = probe(stick);
        EXPECT_EQ(found.report.outcome, Outcome::Counterfeit) << c.claimed << " over " << c.real;
        EXPECT_EQ(found.report.realBytes, c.real) << c.claimed << " over " << c.real;
        EXPECT_EQ(found.badPlaces, BadPlaces::Wrap);
        EXPECT_TRUE(found.unrestored.empty());
        // The writes past the real size landed on the stick's own data, and were all undone.
        EXPECT_TRUE(stick.changedPlaces().empty()) << c.claimed << " over " << c.real;
    }
}

TEST(CapacityProbe, DroppedWritesAndFailingPlacesBeyondTheFlash) {
    MemoryStick dropping(32 * kGiB, 4 * kGiB, MemoryStick::Beyond::Drops);
    ProbeOutcome found = probe(dropping);
    EXPECT_EQ(found.report.outcome, Outcome::Counterfeit);
    EXPECT_EQ(found.report.realBytes, 4 * kGiB);
    EXPECT_EQ(found.badPlaces, BadPlaces::Dropped);
    EXPECT_TRUE(dropping.changedPlaces().empty());

    MemoryStick failing(16 * kGiB, 2 * kGiB + 7 * kMiB, MemoryStick::Beyond::Fails);
    found = probe(failing);
    EXPECT_EQ(found.report.outcome, Outcome::Counterfeit);
    EXPECT_EQ(found.report.realBytes, 2 * kGiB + 7 * kMiB);
    EXPECT_EQ(found.badPlaces, BadPlaces::Failing);
    EXPECT_TRUE(found.unrestored.empty());
    EXPECT_TRUE(failing.changedPlaces().empty());
}

TEST(CapacityProbe, AHoleInTheMiddleIsDamageNotASize) {
    MemoryStick stick(1 * kGiB, 1 * kGiB);
    stick.failBetween(288 * kMiB, 289 * kMiB);
    const ProbeOutcome found = probe(stick);
    EXPECT_EQ(found.report.outcome, Outcome::Damaged);
    EXPECT_EQ(found.report.realBytes, 288 * kMiB);
    EXPECT_TRUE(stick.changedPlaces().empty());

    MemoryStick deadStart(64 * kMiB, 64 * kMiB);
    deadStart.failBetween(0, kMiB);
    EXPECT_EQ(probe(deadStart).report.outcome, Outcome::Damaged);
}

// Whatever is left changed must be among the areas the probe names as possibly lost.
void expectChangesNamed(const MemoryStick &stick, const ProbeOutcome &found) {
    for (const std::uint64_t place : stick.changedPlaces()) {
        const std::uint64_t address = place * kProbeBlock;
        const bool named = std::any_of(found.unrestored.begin(), found.unrestored.end(), [&](const Area &area) {
            return address >= area.offset && address < area.offset + area.length;
        });
        EXPECT_TRUE(named) << "changed and not named: " << address;
    }
}

TEST(CapacityProbe, AStickPulledOrHungMidwayNamesWhatMayBeLost) {
    for (const int after : {5, 40, 200, 400}) {
        MemoryStick pulled(4 * kGiB, 4 * kGiB);
        pulled.pullAfter(after);
        const ProbeOutcome found = probe(pulled);
        EXPECT_EQ(found.report.outcome, Outcome::Failed) << after;
        EXPECT_FALSE(found.unrestored.empty()) << after;
        expectChangesNamed(pulled, found);

        MemoryStick hung(4 * kGiB, 4 * kGiB);
        hung.hangAfter(after);
        const ProbeOutcome stuck = probe(hung);
        EXPECT_EQ(stuck.report.outcome, Outcome::NoResponse) << after;
        expectChangesNamed(hung, stuck);
        // Nothing more is asked of a stick that stopped answering.
        EXPECT_LE(hung.reads + hung.writes + hung.flushes, after) << after;
    }
}

TEST(CapacityProbe, AStickThatHangsAtOnceHasLostNothing) {
    MemoryStick hung(4 * kGiB, 4 * kGiB);
    hung.hangAfter(0);
    const ProbeOutcome found = probe(hung);
    EXPECT_EQ(found.report.outcome, Outcome::NoResponse);
    EXPECT_TRUE(found.unrestored.empty());
}

TEST(MergeAreas, JoinsTouchingAndOverlappingInDiskOrder) {
    const std::vector<Area> merged = mergeAreas({{8192, 4096}, {0, 4096}, {4096, 4096}, {20000, 10}, {20005, 100}});
    const std::vector<Area> expected{{0, 12288}, {20000, 105}};
    EXPECT_EQ(merged, expected);
    EXPECT_TRUE(mergeAreas({}).empty());
}

} // namespace
} // namespace dravex

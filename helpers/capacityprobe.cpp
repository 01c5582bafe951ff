#include "helpers/capacityprobe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace dravex {

namespace {

using Io = ProbeDisk::Io;
using Outcome = CapacityReport::Outcome;

constexpr unsigned char kMagic[8] = {'D', 'R', 'A', 'V', 'E', 'X', 'C', 'P'};
constexpr std::size_t kChunk = 1 << 20;

std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

void putNumber(unsigned char *at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t getNumber(const unsigned char *at) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    return value;
}

// Bytes that only this run writes at this place.
void fillNoise(unsigned char *data, std::size_t length, std::uint64_t run, std::uint64_t place) {
    std::uint64_t state = mix(run ^ mix(place));
    for (std::size_t i = 0; i < length; i += 8) {
        state = mix(state);
        putNumber(data + i, state);
    }
}

// A probe block: the mark, the run, its own mebibyte, then noise of both.
void fillBlock(unsigned char *block, std::uint64_t run, std::uint64_t unit) {
    std::memcpy(block, kMagic, sizeof kMagic);
    putNumber(block + 8, run);
    putNumber(block + 16, unit);
    fillNoise(block + 24, kProbeBlock - 24, run, unit);
}

// The mebibyte whose block of this run the data is, whole and unchanged; nothing for anything else.
std::optional<std::uint64_t> blockUnit(const unsigned char *data, std::uint64_t run) {
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0 || getNumber(data + 8) != run)
        return std::nullopt;
    const std::uint64_t unit = getNumber(data + 16);
    std::vector<unsigned char> expected(kProbeBlock);
    fillBlock(expected.data(), run, unit);
    if (std::memcmp(data, expected.data(), kProbeBlock) != 0)
        return std::nullopt;
    return unit;
}

double mebibytesPerSecond(std::uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / static_cast<double>(kProbeUnit) / std::max(seconds, 1e-6);
}

class Probe {
public:
    Probe(ProbeDisk &disk, const ProbeOptions &options)
        : m_disk(disk), m_options(options), m_units(disk.size() / kProbeUnit) {}

    ProbeOutcome run();

private:
    struct Saved {
        std::uint64_t offset;
        std::vector<unsigned char> original;
        int stage;
    };
    enum class Readback { Own, Foreign, Error };

    void stage(ProbeStage stage) {
        if (m_options.stage)
            m_options.stage(stage);
    }
    double now() const { return m_options.clock ? m_options.clock() : 0.0; }

    bool io(Io result) {
        if (result == Io::TimedOut)
            m_stuck = true;
        return result == Io::Done;
    }
    // Reads what the place holds and keeps it for the end; false when it cannot be read. A place that
    // cannot be read is never written, so nothing is lost that could not have been kept.
    bool keep(std::uint64_t offset, std::size_t length);
    bool write(std::uint64_t offset, const unsigned char *data, std::size_t length);
    bool writeBlock(std::uint64_t unit);
    // Reads the written places below `below` back, and the newest, in the order they were written, and marks
    // the bad ones. False when a place that was good has dropped its block or failed; one found to wrap only
    // now was never good.
    bool examine(std::uint64_t below);
    void markBad(std::uint64_t unit, BadPlaces how) { m_bad.emplace(unit, how); }
    bool writtenGood(std::uint64_t unit) const { return m_order.count(unit) && !m_bad.count(unit); }
    void narrow(std::uint64_t &good, std::uint64_t &bad);
    void timeSpeeds(std::uint64_t realUnits, ProbeOutcome &outcome);
    void restore(ProbeOutcome &outcome);

    ProbeDisk &m_disk;
    const ProbeOptions &m_options;
    const std::uint64_t m_units;
    // The first √n mebibytes are all probed.
    std::uint64_t m_dense = 0;
    int m_stage = 0;
    bool m_stuck = false;
    std::vector<Saved> m_saved;
    // Written units and when; the bad ones and how.
    std::map<std::uint64_t, std::size_t> m_order;
    std::map<std::uint64_t, BadPlaces> m_bad;
    std::set<std::uint64_t> m_wasGood;
    bool m_corrupt = false;
};

bool Probe::keep(std::uint64_t offset, std::size_t length) {
    Saved saved{offset, std::vector<unsigned char>(length), m_stage};
    for (std::size_t done = 0; done < length; done += kChunk) {
        const std::size_t piece = std::min(kChunk, length - done);
        if (!io(m_disk.read(offset + done, saved.original.data() + done, piece)))
            return false;
    }
    m_saved.push_back(std::move(saved));
    return true;
}

bool Probe::write(std::uint64_t offset, const unsigned char *data, std::size_t length) {
    for (std::size_t done = 0; done < length; done += kChunk) {
        const std::size_t piece = std::min(kChunk, length - done);
        if (!io(m_disk.write(offset + done, data + done, piece)))
            return false;
    }
    return true;
}

bool Probe::writeBlock(std::uint64_t unit) {
    unsigned char block[kProbeBlock];
    fillBlock(block, m_options.runNumber, unit);
    const std::size_t order = m_order.size();
    m_order[unit] = order;
    return keep(unit * kProbeUnit, kProbeBlock) && write(unit * kProbeUnit, block, kProbeBlock);
}

bool Probe::examine(std::uint64_t below) {
    std::vector<std::pair<std::size_t, std::uint64_t>> byAge;
    for (const auto &[unit, order] : m_order) {
        if (unit < below || order + 1 == m_order.size())
            byAge.emplace_back(order, unit);
    }
    std::sort(byAge.begin(), byAge.end());
    bool steady = true;
    // The places that hand back each block: they share their flash with the block's own place.
    std::map<std::uint64_t, std::set<std::uint64_t>> sharing;
    for (const auto &[order, unit] : byAge) {
        if (m_bad.count(unit) && m_bad.at(unit) == BadPlaces::Failing)
            continue;
        unsigned char data[kProbeBlock];
        if (!io(m_disk.read(unit * kProbeUnit, data, kProbeBlock))) {
            if (m_stuck)
                return false;
            steady = steady && !m_wasGood.count(unit);
            markBad(unit, BadPlaces::Failing);
            continue;
        }
        const auto holder = blockUnit(data, m_options.runNumber);
        if (holder && m_order.count(*holder)) {
            sharing[*holder].insert({unit, *holder});
            continue;
        }
        steady = steady && !m_wasGood.count(unit);
        markBad(unit, BadPlaces::Dropped);
    }
    // A counterfeit's flash is at the start: of the places that share it, all but the lowest wrap onto it.
    for (const auto &[holder, places] : sharing) {
        for (auto place = std::next(places.begin()); place != places.end(); ++place)
            markBad(*place, BadPlaces::Wrap);
    }
    for (const auto &[unit, order] : m_order) {
        if (!m_bad.count(unit))
            m_wasGood.insert(unit);
    }
    return steady;
}

void Probe::narrow(std::uint64_t &good, std::uint64_t &bad) {
    stage(ProbeStage::Narrowing);
    while (bad - good > 1 && !m_stuck && !m_corrupt) {
        const std::uint64_t middle = good + (bad - good) / 2;
        ++m_stage;
        if (!writeBlock(middle)) {
            if (m_stuck)
                return;
            markBad(middle, BadPlaces::Failing);
            bad = middle;
            continue;
        }
        io(m_disk.flush());
        // Between a good and a bad place less than √n apart, a wrap can only land in the dense start.
        if (!examine(m_dense))
            m_corrupt = true;
        if (m_bad.count(middle))
            bad = middle;
        else
            good = middle;
    }
}

void Probe::timeSpeeds(std::uint64_t realUnits, ProbeOutcome &outcome) {
    const std::uint64_t length = std::min<std::uint64_t>(kSpeedBytes, realUnits / 4 * kProbeUnit);
    if (length == 0 || m_stuck)
        return;
    stage(ProbeStage::Timing);
    const std::uint64_t offset = realUnits / 2 * kProbeUnit;
    std::vector<unsigned char> pattern(length);
    for (std::uint64_t done = 0; done < length; done += kChunk)
        fillNoise(pattern.data() + done, kChunk, m_options.runNumber, ~(offset + done));

    ++m_stage;
    // Keeping what the area holds is a sequential read as good as any: it is the one that is timed.
    const double readStart = now();
    if (!keep(offset, length)) {
        m_corrupt = true;
        return;
    }
    const double writeStart = now();
    if (!write(offset, pattern.data(), length) || !io(m_disk.flush())) {
        m_corrupt = true;
        return;
    }
    outcome.report.readMBps = mebibytesPerSecond(length, writeStart - readStart);
    outcome.report.writeMBps = mebibytesPerSecond(length, now() - writeStart);
}

void Probe::restore(ProbeOutcome &outcome) {
    stage(ProbeStage::Restoring);
    std::vector<Area> lost;
    std::vector<Area> sinceFlush;
    int stageOfLast = m_saved.empty() ? 0 : m_saved.back().stage;
    auto flushed = [&] {
        if (!m_stuck && io(m_disk.flush())) {
            sinceFlush.clear();
            return;
        }
        lost.insert(lost.end(), sinceFlush.begin(), sinceFlush.end());
        sinceFlush.clear();
    };
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        const Area area{saved->offset, saved->original.size()};
        if (saved->stage != stageOfLast) {
            flushed();
            stageOfLast = saved->stage;
        }
        bool written = !m_stuck;
        for (std::size_t done = 0; written && done < saved->original.size(); done += kChunk) {
            const std::size_t piece = std::min(kChunk, saved->original.size() - done);
            written = io(m_disk.write(saved->offset + done, saved->original.data() + done, piece));
        }
        (written ? sinceFlush : lost).push_back(area);
        const auto bad = m_bad.find(saved->offset / kProbeUnit);
        if (written && bad != m_bad.end() && bad->second == BadPlaces::Wrap)
            flushed();
    }
    flushed();
    outcome.unrestored = mergeAreas(std::move(lost));
}

ProbeOutcome Probe::run() {
    ProbeOutcome outcome;
    outcome.report.claimedBytes = m_disk.size();
    stage(ProbeStage::Probing);
    m_dense = static_cast<std::uint64_t>(std::ceil(std::sqrt(static_cast<double>(m_units))));
    const std::uint64_t dense = m_dense;
    std::vector<std::uint64_t> places;
    for (std::uint64_t unit = 0; unit < dense && unit < m_units; ++unit)
        places.push_back(unit);
    for (std::uint64_t unit = dense; unit < m_units; unit += dense)
        places.push_back(unit);
    if (m_units > 0 && places.back() != m_units - 1)
        places.push_back(m_units - 1);

    for (const std::uint64_t unit : places) {
        // The dense start reaches the medium before anything can wrap onto it.
        if (unit == dense) {
            io(m_disk.flush());
            ++m_stage;
        }
        if (!writeBlock(unit) && !m_stuck)
            markBad(unit, BadPlaces::Failing);
        if (m_stuck)
            break;
    }
    if (!m_stuck) {
        io(m_disk.flush());
        examine(m_units);
    }

    std::uint64_t good = 0;
    std::uint64_t bad = m_units;
    bool anyBad = !m_bad.empty();
    if (!m_stuck && anyBad) {
        bad = m_bad.begin()->first;
        bool hasGood = false;
        for (const auto &[unit, order] : m_order) {
            if (unit < bad && writtenGood(unit)) {
                good = unit;
                hasGood = true;
            }
        }
        if (hasGood)
            narrow(good, bad);
        else
            bad = 0;
    }
    const std::uint64_t realUnits = anyBad ? bad : m_units;
    if (!m_stuck && !m_corrupt && realUnits > 0)
        timeSpeeds(realUnits, outcome);
    restore(outcome);

    CapacityReport &report = outcome.report;
    if (m_stuck) {
        report.outcome = Outcome::NoResponse;
        return outcome;
    }
    if (m_corrupt || !outcome.unrestored.empty()) {
        report.outcome = Outcome::Failed;
        return outcome;
    }
    if (!anyBad) {
        report.outcome = Outcome::Genuine;
        report.realBytes = report.claimedBytes;
        return outcome;
    }
    report.realBytes = realUnits * kProbeUnit;
    const auto wraps = std::find_if(m_bad.begin(), m_bad.end(),
                                    [](const auto &entry) { return entry.second == BadPlaces::Wrap; });
    outcome.badPlaces = wraps != m_bad.end() ? BadPlaces::Wrap : m_bad.at(bad);
    // Good places past the boundary mean holes in the flash, not a smaller one; a wrap makes every place
    // past it bad whether or not its own block came back.
    const bool goodBeyond = std::any_of(m_order.begin(), m_order.end(), [&](const auto &entry) {
        return entry.first > bad && writtenGood(entry.first);
    });
    report.outcome = realUnits == 0 || (goodBeyond && outcome.badPlaces != BadPlaces::Wrap)
                         ? Outcome::Damaged
                         : Outcome::Counterfeit;
    return outcome;
}

} // namespace

std::vector<Area> mergeAreas(std::vector<Area> areas) {
    std::sort(areas.begin(), areas.end(),
              [](const Area &a, const Area &b) { return a.offset < b.offset; });
    std::vector<Area> merged;
    for (const Area &area : areas) {
        if (!merged.empty() && area.offset <= merged.back().offset + merged.back().length) {
            Area &last = merged.back();
            last.length = std::max(last.offset + last.length, area.offset + area.length) - last.offset;
        } else {
            merged.push_back(area);
        }
    }
    return merged;
}

ProbeOutcome probeCapacity(ProbeDisk &disk, const ProbeOptions &options) {
    return Probe(disk, options).run();
}

} // namespace dravex

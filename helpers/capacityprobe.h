#pragma once

#include "helpers/probedisk.h"
#include "platform/capacityreports.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace dravex {

// Probes are placed at the start of each mebibyte: the real size is found to the mebibyte, as flash is
// made in whole mebibytes and more.
constexpr std::uint64_t kProbeUnit = 1 << 20;
constexpr std::size_t kProbeBlock = 4096;
// The sequential speeds are measured on this much of the real size at most.
constexpr std::uint64_t kSpeedBytes = 8 << 20;

// How the places beyond the real size behave.
enum class BadPlaces { None, Wrap, Dropped, Failing };

// A piece of the disk that was overwritten and could not be written back.
struct Area {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool operator==(const Area &other) const { return offset == other.offset && length == other.length; }
};

struct ProbeOutcome {
    CapacityReport report;
    BadPlaces badPlaces = BadPlaces::None;
    // Overwritten and not restored (merged, in disk order): what may have lost its data.
    std::vector<Area> unrestored;
};

// The probe's stages, for the lines the helper prints as it goes.
enum class ProbeStage { Probing, Narrowing, Timing, Restoring };

struct ProbeOptions {
    // Seconds since some fixed point, for the speeds.
    std::function<double()> clock;
    std::function<void(ProbeStage)> stage;
    // Makes the blocks of this run differ from those of any earlier run.
    std::uint64_t runNumber = 0;
};

// Finds how much of the disk really holds data, and how fast it writes and reads, in a few hundred
// small writes rather than by filling it. Blocks that name themselves (this run and their own place)
// are written at the start of the first √n mebibytes and of every √n-th mebibyte after them, then read
// back: a place that hands back another place's block shares its flash with it (the addresses wrap), one
// that hands back anything else dropped the write, one that fails fails. Where the real size wraps at a
// whole mebibyte R, the first of the sparse places past R lands within the dense start, so the wrap is
// always seen. Between the last good and the first bad place, halving finds the boundary. The speeds are
// timed on up to 8 MiB in the middle of the real size: reading what it holds, then writing over it. Every
// block written is read first and written back at the end, newest first, so the disk holds what it held
// before; with a flush between stages and after each place that wraps, as a stick's own cache may reorder
// writes, and two writes that land on the same flash must arrive in order.
ProbeOutcome probeCapacity(ProbeDisk &disk, const ProbeOptions &options);

// The pieces as ranges in disk order, touching and overlapping ones joined.
std::vector<Area> mergeAreas(std::vector<Area> areas);

} // namespace dravex

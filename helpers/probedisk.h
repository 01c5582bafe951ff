#pragma once

#include <cstddef>
#include <cstdint>

namespace dravex {

// A whole disk as the capacity probe reads and writes it: pieces at byte offsets, both multiples of
// 4,096 bytes, straight to and from the medium (no cache of this machine in between).
class ProbeDisk {
public:
    enum class Io {
        Done,
        Failed,   // the disk answered with an error
        TimedOut, // the disk stopped answering; nothing more can be asked of it
    };

    virtual ~ProbeDisk() = default;

    // The size the disk claims, in bytes.
    virtual std::uint64_t size() const = 0;
    virtual Io read(std::uint64_t offset, unsigned char *data, std::size_t length) = 0;
    virtual Io write(std::uint64_t offset, const unsigned char *data, std::size_t length) = 0;
    // Returns once everything written has reached the medium.
    virtual Io flush() = 0;
};

} // namespace dravex

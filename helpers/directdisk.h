#pragma once

#include "helpers/probedisk.h"

#include <chrono>
#include <memory>
#include <string>

namespace dravex {

// A disk device opened for reads and writes that bypass this machine's cache (O_DIRECT), so what is read
// comes from the stick. Every request is carried out by a thread of its own and waited for at most
// answerWithin: a stick that hangs in the middle of a request leaves that thread waiting in the kernel,
// while the probe learns it timed out and stops asking.
class DirectDisk : public ProbeDisk {
public:
    // Opens the device exclusively (the kernel refuses while anything has it mounted); a plain file, as below
    // a fixture root, through the cache. Nothing when it cannot be opened, with errno telling why.
    static std::unique_ptr<DirectDisk> open(const std::string &path, bool device, std::chrono::milliseconds answerWithin);
    ~DirectDisk() override;
    DirectDisk(const DirectDisk &) = delete;
    DirectDisk &operator=(const DirectDisk &) = delete;

    std::uint64_t size() const override { return m_size; }
    Io read(std::uint64_t offset, unsigned char *data, std::size_t length) override;
    Io write(std::uint64_t offset, const unsigned char *data, std::size_t length) override;
    Io flush() override;

    struct Worker;

private:
    DirectDisk(std::shared_ptr<Worker> worker, std::uint64_t size, std::chrono::milliseconds answerWithin);
    Io ask(int kind, std::uint64_t offset, std::size_t length);

    std::shared_ptr<Worker> m_worker;
    std::uint64_t m_size;
    std::chrono::milliseconds m_answerWithin;
    bool m_stuck = false;
};

} // namespace dravex

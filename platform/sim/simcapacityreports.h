#pragma once

#include "platform/capacityreports.h"

#include <functional>
#include <optional>
#include <string>

namespace dravex {

class SimBench;

// The bench's capacity reports: the one each stick carries (SimDrive::capacityReport), read from the
// drives as the last refresh of the drive list found them, and a listener of their own, apart from the
// device changes'. SimBench::setCapacityReport posts them.
class SimCapacityReports : public CapacityReports {
public:
    explicit SimCapacityReports(SimBench &bench) : m_bench(bench) {}

    std::optional<CapacityReport> reportFor(const std::string &letter) override;
    void setListener(std::function<void()> listener) override { m_listener = std::move(listener); }
    bool hasListener() const { return static_cast<bool>(m_listener); }
    void notify();

private:
    SimBench &m_bench;
    std::function<void()> m_listener;
};

} // namespace dravex

#include "platform/sim/simcapacityreports.h"

#include "platform/sim/simbench.h"

namespace dravex {

std::optional<CapacityReport> SimCapacityReports::reportFor(const std::string &letter) {
    const SimDrive *drive = letter.size() == 1 ? m_bench.drive(letter[0]) : nullptr;
    return drive ? drive->capacityReport : std::nullopt;
}

void SimCapacityReports::notify() {
    if (m_listener)
        m_listener();
}

} // namespace dravex

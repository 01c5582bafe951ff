#pragma once

#include "platform/productionlog.h"

#include <string>
#include <vector>

namespace dravex {

// The bench's production record: the results in the order the tool gave them, and a note a test sets.
class SimProductionLog : public ProductionLog {
public:
    void record(const StickResult &result) override { m_results.push_back(result); }
    std::string note() override { return m_note; }

    const std::vector<StickResult> &results() const { return m_results; }
    void clear() { m_results.clear(); }
    void setNote(std::string note) { m_note = std::move(note); }

private:
    std::vector<StickResult> m_results;
    std::string m_note;
};

} // namespace dravex

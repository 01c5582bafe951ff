#pragma once

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/systemroot.h"
#include "platform/productionlog.h"
#include "record/localjournal.h"
#include "record/recordshipper.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace dravex {

// The tool's production record: Dravex.db in the program folder, and, when RecordServer.txt beside it
// names the line's server, a sender that forwards every record there, the helpers' included. A record the
// journal cannot take yet (a full disk) waits in memory and goes in with the next one. The sticks are
// described from the disk inventory of the tool's last scan, which the checks it records ran on.
class LinuxProductionLog : public ProductionLog {
public:
    using Inventory = std::function<const DiskInventory &()>;
    LinuxProductionLog(const std::string &programFolder, Inventory inventory, SystemRoot root = SystemRoot("/"));
    ~LinuxProductionLog() override;

    void record(const StickResult &result) override;
    std::string note() override;

private:
    // Writes what waits in memory; false when the journal still takes nothing.
    bool writeUnwritten();
    void openJournal();

    Inventory m_inventory;
    SystemRoot m_root;
    std::string m_journalPath;
    std::unique_ptr<LocalJournal> m_journal;
    std::string m_setAside;     // the damaged journal's new name, once one was set aside
    std::string m_writeProblem; // why the last write failed; empty once one succeeds
    std::deque<ProductionRecord> m_unwritten;
    std::map<std::string, std::string> m_lastContentChecks; // disk -> its last content check's outcome
    std::unique_ptr<RecordShipper> m_shipper;
};

} // namespace dravex

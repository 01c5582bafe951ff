#include "scan/contentcheck.h"

#include "model/verdicts.h"
#include "scan/dirstats.h"

namespace dravex {

namespace {

constexpr const char *kHoldsFiles = "盘内有文件。";
// Panel 2, beside it, names the folder.
constexpr const char *kNoReference = "无法读取客供文件目录，不判定OK/NG。";

} // namespace

ContentCheck::ContentCheck(DirectorySearch &search, DriveTable &table, MainWindowState &mainWindow,
                           Reference reference, Checked checked)
    : m_search(search), m_table(table), m_mainWindow(mainWindow), m_reference(std::move(reference)),
      m_checked(std::move(checked)) {}

void ContentCheck::CheckSlotContents(int row) {
    const auto start = std::chrono::steady_clock::now();
    DriveSlot &slot = m_table.slots.at(static_cast<size_t>(row));
    slot.contents = FormatDirStats(summariseTree(m_search, slot.letter + ":"));
    const std::optional<std::string> reference = m_reference();
    if (!reference) {
        slot.checkResult.clear();
        return;
    }
    slot.checkResult = slot.contents == *reference ? verdicts::kSame : verdicts::kDifferent;
    if (m_checked)
        m_checked(slot, *reference,
                  std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start));
}

void ContentCheck::reportMissingReference() {
    if (m_mainWindow.check1 == kChecked && !m_reference())
        m_mainWindow.panel(1) = kNoReference;
}

void ContentCheck::Check1Click() {
    m_mainWindow.setMousePointer(kPointerHourglass);
    for (size_t i = 0; i < m_table.slots.size(); ++i) {
        DriveSlot &slot = m_table.slots[i];
        if (slot.capacity.empty())
            continue;
        if (m_mainWindow.check1 == kChecked) {
            CheckSlotContents(static_cast<int>(i));
            m_mainWindow.panel(1) = slot.letter + kHoldsFiles;
        } else {
            slot.contents.clear();
            slot.checkResult.clear();
            m_mainWindow.panel(1).clear();
        }
    }
    reportMissingReference();
    m_mainWindow.setMousePointer(kPointerDefault);
}

} // namespace dravex

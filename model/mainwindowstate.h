#pragma once

#include <array>
#include <functional>
#include <string>

namespace dravex {

constexpr int kPointerDefault = 0;
constexpr int kPointerHourglass = 11;

constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
constexpr int kGrayed = 2;

// The main window's state as the logic reads and writes it; the window mirrors it.
class MainWindowState {
public:
    // Status-bar panels are numbered from 1 to 4, as the window shows them.
    std::string &panel(int index) { return m_panels.at(static_cast<size_t>(index - 1)); }
    const std::string &panel(int index) const { return m_panels.at(static_cast<size_t>(index - 1)); }

    int mousePointer() const { return m_mousePointer; }
    // The window follows the pointer at once, since the operations that set it run synchronously.
    void setMousePointer(int pointer) {
        m_mousePointer = pointer;
        if (m_pointerListener)
            m_pointerListener(pointer);
    }
    void setPointerListener(std::function<void(int)> listener) { m_pointerListener = std::move(listener); }

    // Check boxes: 0 clear, 1 ticked, 2 greyed; only 1 counts as ticked.
    int check1 = kUnchecked; // content check, "内部附有文件"
    int check2 = kUnchecked; // USB identity, "查看VPSN"
    bool copyEnabled = false;
    // What the production record asks the operator to notice (records waiting for the line's server, a
    // journal that cannot be written); the window shows it in panel 1 after the tool's own message.
    std::string recordNote;

private:
    std::array<std::string, 4> m_panels;
    int m_mousePointer = kPointerDefault;
    std::function<void(int)> m_pointerListener;
};

} // namespace dravex

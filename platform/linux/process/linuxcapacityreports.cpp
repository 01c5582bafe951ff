#include "platform/linux/process/linuxcapacityreports.h"

#include "platform/linux/debuglog.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/sysfs/systemroot.h"

#include <QFileSystemWatcher>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace dravex {

namespace {

// mkdtemp makes the folder with mode 0700: no other user can read the reports or slip a file in. The
// runtime folder is the user's own and gone at logout; /tmp serves where there is none we can write to.
std::string makePrivateFolder() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    for (const char *base : {runtime && runtime[0] == '/' ? runtime : nullptr, "/tmp"}) {
        if (!base)
            continue;
        std::string folder = std::string(base) + "/dravex-capacity-XXXXXX";
        if (::mkdtemp(folder.data()))
            return folder;
        debugPlatform("LinuxCapacityReports", folder + ": " + std::strerror(errno));
    }
    return {};
}

} // namespace

LinuxCapacityReports::LinuxCapacityReports(CurrentDriveMap driveMap)
    : m_driveMap(std::move(driveMap)), m_folder(makePrivateFolder()) {
    if (m_folder.empty())
        return;
    m_watcher = std::make_unique<QFileSystemWatcher>(QStringList{QString::fromStdString(m_folder)});
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(), [this] {
        if (m_listener)
            m_listener();
    });
}

LinuxCapacityReports::~LinuxCapacityReports() {
    m_watcher.reset();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::optional<CapacityReport> LinuxCapacityReports::reportFor(const std::string &letter) {
    if (m_folder.empty() || letter.size() != 1)
        return std::nullopt;
    const MappedVolume *volume = m_driveMap().find(letter[0]);
    if (!volume)
        return std::nullopt;
    const std::string name = capacityReportFileName(volume->diskName, volume->diskseq);
    const auto text = SystemRoot(m_folder).readFile(name);
    const auto report = text ? parseCapacityReport(*text) : std::nullopt;
    if (text && !report)
        debugPlatform("reportFor", letter + ": " + name + " is no capacity report");
    return report;
}

void LinuxCapacityReports::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

} // namespace dravex

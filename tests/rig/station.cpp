#include "rig/station.h"

#include "platform/linux/sysfs/volumeguard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace dravex::rig {

namespace fs = std::filesystem;

namespace {

std::string processName(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::string makeProgramFolder() {
    const fs::path folder = "/tmp/rig/program";
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const char *program : {"format.com", "xcopy", "RemoveDrive.exe", "captest"})
        fs::create_symlink(fs::path(buildFolder()) / program, folder / program);
    return folder.string();
}

// The test process's children now: programs that an earlier test's window started and that still run (a
// helper on a stick that hung until it was pulled).
std::set<pid_t> runningChildren() {
    std::set<pid_t> children;
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (fs::directory_iterator entry("/proc", error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry->path() / "stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...", where the name may hold blanks and parentheses of its own.
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        std::string parent;
        rest >> state >> parent;
        if (parent == self)
            children.insert(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

} // namespace

std::string buildFolder() {
    return DRAVEX_BUILD_FOLDER;
}

Station::Station()
    : m_programFolder(makeProgramFolder()),
      m_capacityReports([this]() -> const DriveMap & { return m_volumes.driveMap(); }),
      m_launcher(
          m_programFolder, [this](const std::string &path) { return m_volumes.nativePath(path); },
          [this] { return scannedDisksText(m_volumes.driveMap()); }, m_capacityReports.folder()),
      m_services{m_volumes,    m_directories, m_files,         m_codePage,        m_launcher,
                 m_management, m_registry,    m_deviceChanges, m_capacityReports, m_productionLog,
                 m_programFolder} {
    // Detached programs are orphaned on purpose; here they come back to us instead of to PID 1.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    m_leftovers = runningChildren();
    m_window = std::make_unique<Form1>(m_station, "rig@dravex.example");
    m_window->setOperator(m_person);
}

Station::~Station() {
    m_window->hide();
    m_window.reset();
}

void Station::writeSettings(const std::string &label, const std::string &folder) const {
    std::ofstream(fs::path(m_programFolder) / "Volnum.txt", std::ios::binary) << label << "\r\n";
    std::ofstream(fs::path(m_programFolder) / "FileCopyPath.log", std::ios::binary) << folder << "\r\n";
}

void Station::start() {
    note("window loading");
    m_window->load();
    note("window loaded");
}

QString Station::text(const char *objectName) {
    auto *label = m_window->findChild<QLabel *>(QString::fromUtf8(objectName));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QString::fromUtf8(objectName));
}

QString Station::cell(const char *column, int row) {
    return text((std::string(column) + "_" + std::to_string(row)).c_str());
}

QStringList Station::column(const char *name, int rows) {
    QStringList cells;
    for (int row = 0; row < rows; ++row)
        cells << cell(name, row);
    return cells;
}

void Station::press(int key) {
    note("pressing " + QKeySequence(key).toString().toStdString());
    QApplication::setActiveWindow(m_window.get());
    QTest::keyClick(m_window.get(), static_cast<Qt::Key>(key));
    note("done");
}

std::string Station::describe() {
    std::string text = "table (" + this->text("Label6").toStdString() + "): ";
    for (int row = 0; row < 10; ++row) {
        if (cell("Label1", row).isEmpty())
            continue;
        text += "[" + cell("Label1", row).toStdString() + " " + cell("Label2", row).toStdString() + " " +
                cell("Label3", row).toStdString() + " " + cell("Label5", row).toStdString() + "] ";
    }
    text += "; panel 1: " + this->text("StatusBar1_Panel1").toStdString() + "\n";
    for (int port = 0; port < UsbRig::kPorts; ++port) {
        const auto device = m_rig.volumeDevice(port);
        if (!device)
            continue;
        const QStringList fileSystem =
            QString::fromStdString(run({"udevadm", "info", "-q", "property", *device}).out)
                .split('\n')
                .filter(QStringLiteral("ID_FS_"));
        const std::string properties =
            fileSystem.isEmpty() ? "(no ID_FS_)" : fileSystem.join(' ').toStdString();
        std::string mounts;
        for (const std::string &point : mountPointsOf(*device))
            mounts += " " + point;
        text += "  port " + std::to_string(port) + ": " + *device + " " + properties +
                " mounted at:" + mounts + "\n";
    }
    return text;
}

void Station::click(const char *checkBox) {
    if (auto *box = m_window->findChild<QAbstractButton *>(QString::fromUtf8(checkBox)))
        box->click();
}

bool Station::waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QTest::qWait(10);
    }
    return true;
}

bool Station::waitForHelpers(size_t count, std::chrono::milliseconds limit, std::vector<HelperExit> &ended) {
    return waitFor(
        [&] {
            siginfo_t info{};
            // Look first (the name is gone once reaped), then reap.
            while (ended.size() < count && ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                   info.si_pid != 0) {
                HelperExit exit{processName(info.si_pid), info.si_code == CLD_EXITED ? info.si_status : -1};
                ::waitpid(info.si_pid, nullptr, 0);
                if (m_leftovers.erase(info.si_pid) == 0)
                    ended.push_back(exit);
            }
            return ended.size() >= count;
        },
        limit);
}

} // namespace dravex::rig

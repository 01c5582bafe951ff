#include "demo/demomachine.h"

#include <QByteArray>

namespace dravex {

DemoMachine::DemoMachine(const std::filesystem::path &benchFolder, const std::string &toolDirectory,
                         std::string programDirectory)
    : m_bench(std::filesystem::absolute(benchFolder)),
      m_launcher(toolDirectory,
                 [this](const std::string &windowsPath) -> std::optional<std::string> {
                     const auto path = m_bench.nativePath(windowsPath);
                     return path ? std::optional<std::string>(path->string()) : std::nullopt;
                 }),
      m_watcher(m_bench.sticksFolder()),
      m_services{m_bench, m_bench, m_bench, m_codePage, m_launcher, m_bench, m_bench,
                 m_watcher, m_bench.capacityReports(), m_bench.productionLog(),
                 std::move(programDirectory)} {
    qputenv("DRAVEX_BENCH", QByteArray::fromStdString(std::filesystem::absolute(benchFolder).string()));
}

} // namespace dravex

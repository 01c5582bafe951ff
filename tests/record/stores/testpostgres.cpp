#include "record/stores/testpostgres.h"

#include "record/stores/childprogram.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace dravex::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char *kServerUser = "postgres";
// util-linux, in sbin, which a CI shell may not have on PATH.
constexpr const char *kRunUser = "/usr/sbin/runuser";

// The bin folder of the newest PostgreSQL that Debian installed, or nothing.
std::string binariesFolder() {
    std::error_code error;
    std::vector<std::pair<int, std::string>> found;
    for (const fs::directory_entry &entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        const fs::path bin = entry.path() / "bin";
        const std::string version = entry.path().filename().string();
        if (!version.empty() && std::all_of(version.begin(), version.end(), ::isdigit) &&
            fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl"))
            found.emplace_back(std::stoi(version), bin.string());
    }
    return found.empty() ? std::string() : std::max_element(found.begin(), found.end())->second;
}

bool asRoot() {
    return ::geteuid() == 0;
}

// A port number nobody listens on; the server listens on none, but names its socket after it.
int freePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 5432;
    if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (probe >= 0)
        ::close(probe);
    return port;
}

} // namespace

std::string TestPostgres::unavailable() {
    if (binariesFolder().empty())
        return "no PostgreSQL server programs in /usr/lib/postgresql/*/bin (Debian package postgresql)";
    if (asRoot() && !::getpwnam(kServerUser))
        return "running as root and there is no postgres user to run the server as (Debian package "
               "postgresql)";
    return {};
}

TestPostgres::TestPostgres() : m_binaries(binariesFolder()) {
    if (m_binaries.empty())
        throw std::runtime_error(unavailable());
    static std::atomic<unsigned> counter{0};
    m_folder = (fs::temp_directory_path() /
                ("dravex-pg-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                   .string();
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
    if (asRoot()) {
        const passwd *user = ::getpwnam(kServerUser);
        if (!user || ::chown(m_folder.c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + m_folder + " to the postgres user");
    }
    std::vector<std::string> initdb{
        m_binaries + "/initdb", "-D",       m_folder + "/data", "-A", "trust", "-U", "dravex", "-E", "UTF8",
        "--locale=C",           "--no-sync"};
    if (asRoot())
        initdb.insert(initdb.begin(), {kRunUser, "-u", kServerUser, "--"});
    if (ChildProgram::run(initdb, m_folder) != 0)
        throw std::runtime_error("initdb failed in " + m_folder);
    // In the configuration rather than on pg_ctl's -o, which it hands to a shell.
    const int port = freePort();
    std::ofstream(m_folder + "/data/postgresql.conf", std::ios::app)
        << "listen_addresses = ''\n"
        << "unix_socket_directories = '" << m_folder << "'\n"
        << "port = " << port << "\n"
        << "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n";
    m_connection = "host=" + m_folder + " port=" + std::to_string(port) + " dbname=postgres user=dravex";
    if (!start())
        throw std::runtime_error("the server did not start; its log is " + m_folder + "/log");
}

TestPostgres::~TestPostgres() {
    if (m_running)
        pgCtl("stop", "immediate");
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

bool TestPostgres::stop() {
    return pgCtl("stop", "fast");
}

bool TestPostgres::start() {
    return pgCtl("start", {});
}

bool TestPostgres::pgCtl(const std::string &action, const std::string &mode) {
    std::vector<std::string> arguments{
        m_binaries + "/pg_ctl", action, "-D", m_folder + "/data", "-w", "-t", "60"};
    if (action == "start")
        arguments.insert(arguments.end(), {"-l", m_folder + "/log"});
    if (!mode.empty())
        arguments.insert(arguments.end(), {"-m", mode});
    if (asRoot())
        arguments.insert(arguments.begin(), {kRunUser, "-u", kServerUser, "--"});
    const bool done = ChildProgram::run(arguments, m_folder) == 0;
    if (done)
        m_running = action == "start";
    return done;
}

} // namespace dravex::testing

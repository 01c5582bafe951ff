// Started by the launcher tests: writes what it was started with to the file named by
// DRAVEX_PROBE_OUTPUT, as NUL-terminated "key=value" records, then renames it into place so the test
// sees the whole file or none.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

std::string linkTarget(const std::string &path) {
    char buffer[4096];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

} // namespace

int main(int argc, char **argv) {
    const char *output = std::getenv("DRAVEX_PROBE_OUTPUT");
    if (!output)
        return 2;
    std::string records;
    const auto add = [&records](const std::string &key, const std::string &value) {
        records += key + "=" + value;
        records += '\0';
    };
    add("exe", linkTarget("/proc/self/exe"));
    add("sid", std::to_string(::getsid(0)));
    for (int i = 1; i < argc; ++i)
        add("arg", argv[i]);
    for (const char *name : {"DRAVEX_COMMAND_LINE", "DRAVEX_RECORDS", "DRAVEX_SCANNED_DISKS", "DRAVEX_CAPACITY_REPORTS"}) {
        if (const char *value = std::getenv(name))
            add("env", std::string(name) + "=" + value);
    }
    if (DIR *folder = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || name == std::to_string(::dirfd(folder)))
                continue;
            add("fd", name + " " + linkTarget("/proc/self/fd/" + name));
        }
        ::closedir(folder);
    }
    const std::string temporary = std::string(output) + ".part";
    FILE *file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return 3;
    const bool written = std::fwrite(records.data(), 1, records.size(), file) == records.size();
    if (std::fclose(file) != 0 || !written)
        return 4;
    return std::rename(temporary.c_str(), output) == 0 ? 0 : 5;
}

#include "rig/f3probe.h"

#include "rig/usbrig.h"

#include <chrono>
#include <regex>

namespace dravex::rig {

F3Verdict f3probe(const std::string &disk) {
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = run({"f3probe", "/dev/" + disk});
    F3Verdict verdict;
    verdict.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    verdict.exitCode = result.exitCode;
    verdict.genuine = result.out.find("is the real thing") != std::string::npos;
    verdict.damaged = result.out.find("is damaged") != std::string::npos;
    // "*Usable* size: 32.00 MB (65536 blocks)", in blocks of 512 bytes.
    std::smatch usable;
    if (std::regex_search(result.out, usable, std::regex(R"(\*Usable\* size: [0-9.]+ \S+ \(([0-9]+) blocks\))")))
        verdict.usableBytes = std::stoull(usable[1]) * 512;
    return verdict;
}

} // namespace dravex::rig

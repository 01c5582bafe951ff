#include "record/stores/writergroup.h"

namespace dravex::testing {

WriterGroup::WriterGroup(const std::vector<std::vector<std::string>> &writers) {
    for (std::vector<std::string> arguments : writers) {
        arguments.insert(arguments.begin(), DRAVEX_RECORD_WRITER);
        m_programs.push_back(std::make_unique<ChildProgram>(arguments));
    }
}

void WriterGroup::release() {
    m_released = std::chrono::steady_clock::now();
    for (const auto &program : m_programs)
        program->closeInput();
}

WriterGroup::Outcome WriterGroup::finish() {
    Outcome outcome;
    for (const auto &program : m_programs) {
        const bool succeeded = program->finish() == 0;
        outcome.allSucceeded = outcome.allSucceeded && succeeded;
        if (succeeded)
            outcome.microseconds.push_back(std::stoll(program->output()));
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_released).count();
    return outcome;
}

WriterGroup::Outcome WriterGroup::run(const std::vector<std::vector<std::string>> &writers) {
    WriterGroup group(writers);
    group.release();
    return group.finish();
}

std::vector<std::vector<std::string>> journalWriters(const std::string &path, int writers, int count,
                                                     const std::vector<std::string> &options) {
    std::vector<std::vector<std::string>> lists;
    for (int writer = 0; writer < writers; ++writer) {
        lists.push_back({"journal", path, std::to_string(writer), std::to_string(count)});
        lists.back().insert(lists.back().end(), options.begin(), options.end());
    }
    return lists;
}

} // namespace dravex::testing

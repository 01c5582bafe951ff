#pragma once

#include <string>

namespace dravex {

// A station keeps its records in Dravex.db in the program folder. A line names its PostgreSQL server in
// RecordServer.txt beside it: one line, a libpq connection string such as
// "host=10.0.0.5 port=5432 dbname=dravex user=line password=secret". No file, or an empty line, and the
// station keeps its records to itself.
inline constexpr const char *kJournalFileName = "Dravex.db";
inline constexpr const char *kServerSettingsFileName = "RecordServer.txt";

std::string journalPath(const std::string &programFolder);
// The connection string of RecordServer.txt in the folder, without the blanks and line end around it;
// empty when there is none.
std::string readServerSettings(const std::string &programFolder);

} // namespace dravex

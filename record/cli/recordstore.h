#pragma once

#include "record/productionrecord.h"
#include "record/recordfilter.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Reads a store's records that a filter lets through, ordered by time; nothing, with the reason, when the
// store cannot answer.
using RecordQuery = std::function<std::optional<std::vector<ProductionRecord>>(const RecordFilter &filter,
                                                                               std::string &error)>;

struct OpenedStore {
    RecordQuery query; // empty when the store could not be opened
    std::string error;
};

// The station journal at path. It must be one already: reading never starts a journal, and a file that is
// no journal is refused before LocalJournal could set it aside as damaged or add its table to it.
OpenedStore openJournal(const std::string &path);
// The line's server at a libpq connection string.
OpenedStore openServer(const std::string &connection);

} // namespace dravex

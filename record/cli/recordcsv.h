#pragma once

#include "record/productionrecord.h"

#include <ostream>
#include <vector>

namespace dravex {

// RFC 4180 CSV: a heading row of the store's column names, then one row per record with every column,
// lines ended by CR LF, UTF-8 as stored. A field holding a comma, a quote, CR or LF is quoted.
//
// A spreadsheet runs a cell that starts with =, +, -, @, tab or CR as a formula, and a label or message
// is whatever a stick or an operator put there. Such a text field gets an apostrophe in front, which
// spreadsheets show as text and do not display; a field that is a plain number ("-1") stays as it is.
void writeRecordCsv(const std::vector<ProductionRecord> &records, std::ostream &out);

} // namespace dravex

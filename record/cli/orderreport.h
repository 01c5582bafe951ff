#pragma once

#include "record/cli/ordersummary.h"

#include <ostream>
#include <string>

namespace dravex {

struct ReportHeading {
    std::string title;
    std::string order; // the source folder
    std::string range; // the dates as given, in words
    std::string made;  // local time
};

// A one-page report of an order in HTML: its style and bar charts (SVG) inline, no scripts, nothing to
// fetch, every stored text escaped.
void writeOrderReport(const ReportHeading &heading, const OrderSummary &summary, std::ostream &out);

// The text as HTML that shows it as written.
std::string htmlEscaped(const std::string &text);

} // namespace dravex

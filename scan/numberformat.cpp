#include "scan/numberformat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dravex {

namespace {

// The digits of |value| rounded to `places` decimals, halves away from zero, as a whole number of
// units of 10^-places. Like the window system's number formatting, the value is first taken to 15
// significant decimal digits, so 0.15 rounds to 0.2 although its binary form lies just below.
std::string roundedDigits(double value, int places) {
    value = std::fabs(value);
    if (value == 0.0 || !std::isfinite(value))
        return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.14e", value); // d.dddddddddddddde[+-]XX
    std::string mantissaText;
    const char *cursor = text;
    for (; *cursor != 'e'; ++cursor)
        if (*cursor != '.')
            mantissaText += *cursor;
    const int exponent = std::atoi(cursor + 1);
    const int shift = exponent - 14 + places; // value * 10^places == mantissa * 10^shift
    if (shift >= 0)
        return mantissaText + std::string(static_cast<size_t>(shift), '0');
    if (shift < -15)
        return "0";
    const unsigned long long mantissa = std::strtoull(mantissaText.c_str(), nullptr, 10);
    unsigned long long divisor = 1;
    for (int i = 0; i < -shift; ++i)
        divisor *= 10;
    const unsigned long long rounded = mantissa / divisor + ((mantissa % divisor) * 2 >= divisor ? 1 : 0);
    return std::to_string(rounded);
}

std::string groupThousands(const std::string &digits) {
    std::string grouped;
    const size_t length = digits.size();
    for (size_t i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// "#.#" and "#.##": integer part without leading zeros (none at all for zero), the point, then the
// decimals with trailing zeros dropped.
std::string formatDecimals(double value, int places) {
    std::string digits = roundedDigits(value, places);
    if (digits.size() <= static_cast<size_t>(places))
        digits.insert(0, static_cast<size_t>(places) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(places));
    std::string decimals = digits.substr(whole.size());
    whole.erase(0, whole.find_first_not_of('0'));
    const auto lastNonZero = decimals.find_last_not_of('0');
    decimals.erase(lastNonZero == std::string::npos ? 0 : lastNonZero + 1);
    const bool negative = value < 0 && (whole.size() + decimals.size()) > 0;
    return (negative ? "-" : "") + whole + "." + decimals;
}

} // namespace

void ByteCountToSingle(const ByteCount &count, float &value) {
    const uint64_t whole = (static_cast<uint64_t>(count.high) << 32) | count.low;
    value = static_cast<float>(whole);
}

std::string formatOneDecimal(double value) {
    return formatDecimals(value, 1);
}

std::string formatTwoDecimals(double value) {
    return formatDecimals(value, 2);
}

std::string formatWholeGrouped(double value) {
    const std::string grouped = groupThousands(roundedDigits(value, 0));
    return (value < 0 && grouped != "0" ? "-" : "") + grouped;
}

std::string formatByteTotal(uint64_t value) {
    return groupThousands(std::to_string(value));
}

std::string formatCapacity(float totalBytes, Variant variant) {
    const double gib = static_cast<double>(totalBytes) / 1073741824.0;
    const std::string prefix = variant == Variant::Pelmora ? "C:" : "容量:";
    if (gib <= 1.0)
        return prefix + formatOneDecimal(gib * 1024) + "M";
    if (variant == Variant::V2)
        return prefix + formatOneDecimal(gib) + "G";
    // Decimal gigabytes, in the exact order of operations the figure has always been computed in.
    const double decimalGigabytes = (((((gib / 1024) * 1000) / 1024) * 1000) / 1024) * 1000;
    return prefix + formatTwoDecimals(decimalGigabytes) + "G";
}

} // namespace dravex

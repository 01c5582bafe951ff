#pragma once

#include "platform/volumeservices.h"
#include "model/variant.h"

#include <cstdint>
#include <string>

namespace dravex {

// Stores in value the count high half * 2^32 + low half (both unsigned), rounded to the nearest float.
void ByteCountToSingle(const ByteCount &count, float &value);

// Pattern "#.#": one decimal place, halves away from zero, no leading zero, the point always printed,
// the decimal digit only when it is not zero (14.25 -> "14.3", 2 -> "2.", 0.5 -> ".5", 0 -> ".").
std::string formatOneDecimal(double value);

// Pattern "#.##": as "#.#" with two places, trailing zero decimals dropped (6.9 -> "6.9", 7 -> "7.").
std::string formatTwoDecimals(double value);

// Pattern "#,0": rounded to a whole number, halves away from zero, groups of three digits.
std::string formatWholeGrouped(double value);

// Pattern "#,###,###,##0" for an exact byte total: groups of three digits, at least one digit.
std::string formatByteTotal(uint64_t value);

// The capacity cell of the drive table for a disk of the given total bytes (as a float).
std::string formatCapacity(float totalBytes, Variant variant);

} // namespace dravex

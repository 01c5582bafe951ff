#include "scan/numberformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace dravex {
namespace {

float single(uint64_t bytes) {
    float value = 0;
    ByteCountToSingle(ByteCount{static_cast<uint32_t>(bytes), static_cast<uint32_t>(bytes >> 32)}, value);
    return value;
}

TEST(ByteCountToSingle, BothHalvesUnsignedRoundedToNearestSingle) {
    // A low half with its top bit set must not turn negative; above 2^24 a float rounds to its step.
    const std::pair<uint64_t, float> cases[] = {{0, 0.0f},
                                                {16039018496ull, 16039018496.0f},
                                                {0xFFFFFFFFull, 4294967296.0f},
                                                {0x80000000ull, 2147483648.0f},
                                                {16777217, 16777216.0f},
                                                {16777219, 16777220.0f},
                                                {10737418240ull + 511, 10737418240.0f},
                                                {10737418240ull + 513, 10737418240.0f + 1024.0f}};
    for (const auto &[bytes, expected] : cases)
        EXPECT_EQ(single(bytes), expected) << bytes;
}

TEST(NumberFormat, EveryPatternRoundsAndDropsLeadingZeros) {
    const struct {
        std::string (*format)(double);
        double value;
        const char *expected;
    } cases[] = {{formatOneDecimal, 14.8994140625, "14.9"},
                 {formatOneDecimal, 14.25, "14.3"},
                 {formatOneDecimal, 992, "992."},
                 {formatOneDecimal, 1.04, "1."},
                 {formatOneDecimal, 0.5, ".5"},
                 {formatOneDecimal, 0, "."},
                 {formatOneDecimal, 0.04, "."},
                 {formatOneDecimal, 0.05, ".1"},
                 {formatOneDecimal, 0.15, ".2"},
                 {formatOneDecimal, 9.95, "10."},
                 {formatOneDecimal, 99.96, "100."},
                 {formatOneDecimal, 0.96875, "1."},
                 {formatTwoDecimals, 6.9, "6.9"},
                 {formatTwoDecimals, 7, "7."},
                 {formatTwoDecimals, 0, "."},
                 {formatTwoDecimals, 0.005, ".01"},
                 {formatTwoDecimals, 0.004, "."},
                 {formatTwoDecimals, 1.005, "1.01"},
                 {formatTwoDecimals, 13.876, "13.88"},
                 {formatTwoDecimals, 0.999, "1."},
                 {formatTwoDecimals, 2.675, "2.68"},
                 {formatWholeGrouped, 0, "0"},
                 {formatWholeGrouped, 0.4, "0"},
                 {formatWholeGrouped, 0.5, "1"},
                 {formatWholeGrouped, 999, "999"},
                 {formatWholeGrouped, 1000, "1,000"},
                 {formatWholeGrouped, 999999.5, "1,000,000"},
                 {formatWholeGrouped, 1e15, "1,000,000,000,000,000"}};
    for (const auto &c : cases)
        EXPECT_EQ(c.format(c.value), c.expected) << c.value;
    EXPECT_EQ(formatByteTotal(0), "0");
    EXPECT_EQ(formatByteTotal(12345678901ull), "12,345,678,901");
    EXPECT_EQ(formatByteTotal(UINT64_MAX), "18,446,744,073,709,551,615");
}

TEST(Capacity, BothVariants) {
    const uint64_t gib = 1073741824ull;
    const struct {
        uint64_t bytes;
        const char *v2;
        const char *pelmora;
    } cases[] = {{15998124032ull, "容量:14.9G", "C:13.88G"},
                 {16039018496ull, "容量:14.9G", "C:13.91G"},
                 {1040187392ull, "容量:992.M", "C:992.M"},
                 {2 * gib, "容量:2.G", "C:1.86G"},
                 {gib, "容量:1024.M", "C:1024.M"},
                 // 1.05 GiB lands just below 1.05 as a float.
                 {gib + gib / 20, "容量:1.G", "C:.98G"},
                 {0, "容量:.M", "C:.M"}};
    for (const auto &c : cases) {
        EXPECT_EQ(formatCapacity(single(c.bytes), Variant::V2), c.v2) << c.bytes;
        EXPECT_EQ(formatCapacity(single(c.bytes), Variant::Pelmora), c.pelmora) << c.bytes;
    }
}

} // namespace
} // namespace dravex

#include "scan/numberformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace dravex {
namespace {

float single(uint64_t bytes) {
    float value = 0;
    ByteCountToSingle(ByteCount{static_cast<uint32_t>(bytes), static_cast<uint32_t>(bytes >> 32)}, value);
    return value;
}

TEST(ByteCountToSingle, ReadsBothHalvesUnsigned) {
    EXPECT_EQ(single(0), 0.0f);
    EXPECT_EQ(single(15998124032ull), 15998124032.0f);
    // Low half with its top bit set must not turn negative.
    EXPECT_EQ(single(16039018496ull), 16039018496.0f);
    EXPECT_EQ(single(0xFFFFFFFFull), 4294967296.0f);
    EXPECT_EQ(single(0x80000000ull), 2147483648.0f);
}

TEST(ByteCountToSingle, RoundsToNearestSingle) {
    // Above 2^24 a float holds only multiples of a power of two.
    EXPECT_EQ(single(16777217), 16777216.0f);
    EXPECT_EQ(single(16777219), 16777220.0f);
    // Between 8 GiB and 16 GiB a float steps by 1,024 bytes.
    EXPECT_EQ(single(10737418240ull + 511), 10737418240.0f);
    EXPECT_EQ(single(10737418240ull + 513), 10737418240.0f + 1024.0f);
}

TEST(NumberFormat, OneDecimal) {
    const std::vector<std::pair<double, const char *>> cases = {{14.8994140625, "14.9"},
                                                                {14.25, "14.3"},
                                                                {511.75, "511.8"},
                                                                {992, "992."},
                                                                {1.04, "1."},
                                                                {2.0, "2."},
                                                                {0.5, ".5"},
                                                                {0, "."},
                                                                {0.04, "."},
                                                                {0.05, ".1"},
                                                                {0.15, ".2"},
                                                                {9.95, "10."},
                                                                {99.96, "100."},
                                                                {1024, "1024."},
                                                                {2.35, "2.4"},
                                                                {1.25, "1.3"},
                                                                {0.96875, "1."},
                                                                {123456.75, "123456.8"}};
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(formatOneDecimal(value), expected) << value;
}

TEST(NumberFormat, TwoDecimals) {
    const std::vector<std::pair<double, const char *>> cases = {
        {6.9, "6.9"},    {7, "7."},         {0.5, ".5"},   {0, "."},        {0.005, ".01"}, {0.004, "."},
        {1.005, "1.01"}, {13.876, "13.88"}, {0.999, "1."}, {2.675, "2.68"}, {1.10, "1.1"}};
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(formatTwoDecimals(value), expected) << value;
}

TEST(NumberFormat, WholeGrouped) {
    const std::vector<std::pair<double, const char *>> cases = {{0, "0"},
                                                                {0.4, "0"},
                                                                {0.5, "1"},
                                                                {999, "999"},
                                                                {1000, "1,000"},
                                                                {15171584, "15,171,584"},
                                                                {999999.5, "1,000,000"},
                                                                {15982952448.0, "15,982,952,448"},
                                                                {1e15, "1,000,000,000,000,000"}};
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(formatWholeGrouped(value), expected) << value;
}

TEST(NumberFormat, ByteTotal) {
    EXPECT_EQ(formatByteTotal(0), "0");
    EXPECT_EQ(formatByteTotal(350), "350");
    EXPECT_EQ(formatByteTotal(1234567), "1,234,567");
    EXPECT_EQ(formatByteTotal(12345678901ull), "12,345,678,901");
    EXPECT_EQ(formatByteTotal(UINT64_MAX), "18,446,744,073,709,551,615");
}

struct CapacityCase {
    uint64_t bytes;
    const char *v2;
    const char *pelmora;
};

TEST(Capacity, BothVariants) {
    const uint64_t gib = 1073741824ull;
    const std::vector<CapacityCase> cases = {
        {15998124032ull, "容量:14.9G", "C:13.88G"},
        {16039018496ull, "容量:14.9G", "C:13.91G"},
        {1040187392ull, "容量:992.M", "C:992.M"},
        {536608768ull, "容量:511.8M", "C:511.8M"},
        {2 * gib, "容量:2.G", "C:1.86G"},
        {gib, "容量:1024.M", "C:1024.M"},
        // 1.05 GiB lands just below 1.05 as a float.
        {gib + gib / 20, "容量:1.G", "C:.98G"},
        {0, "容量:.M", "C:.M"},
    };
    for (const CapacityCase &c : cases) {
        EXPECT_EQ(formatCapacity(single(c.bytes), Variant::V2), c.v2) << c.bytes;
        EXPECT_EQ(formatCapacity(single(c.bytes), Variant::Pelmora), c.pelmora) << c.bytes;
    }
    // 1.04 GiB: above 1 GiB, and no tenths after rounding.
    EXPECT_EQ(formatCapacity(static_cast<float>(1.04 * gib), Variant::V2), "容量:1.G");
}

} // namespace
} // namespace dravex

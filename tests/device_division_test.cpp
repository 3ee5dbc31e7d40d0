// The device's integer division helpers, called as the device compiler calls
// them: divisor first, quotient in the low word and remainder in the high.
#include "platform/device_division.h"

#include <gtest/gtest.h>

// compiler-rt's unsigned division stands behind the helpers on the device;
// the ARM builds take it from their own run-time library, and this stands in
// where the build machine's has none.
extern "C" __attribute__((weak)) uint32_t __udivsi3(uint32_t dividend, uint32_t divisor) {
    return dividend / divisor;
}

namespace {

struct SignedRow {
    int32_t dividend, divisor, quotient, remainder;
};

TEST(DeviceDivisionTest, signed_division_takes_the_divisor_first_and_truncates_toward_zero) {
    const SignedRow rows[] = {
        {7, 2, 3, 1},
        {2, 7, 0, 2},  // with the arguments swapped this would be 3 remainder 1
        {-7, 2, -3, -1},
        {7, -2, -3, 1},
        {-7, -2, 3, -1},
        {240 * 960, 320, 720, 0},  // the filter's rescaling of x
        {INT32_MIN, 1, INT32_MIN, 0},
        {INT32_MIN, -1, INT32_MIN, 0},  // wraps, as the device's arithmetic does
        {INT32_MIN, 3, -715827882, -2},
    };
    for (const SignedRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.dividend) + " / " + std::to_string(row.divisor));
        uint64_t result = __rt_sdiv(row.divisor, row.dividend);
        EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(result)), row.quotient);
        EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(result >> 32)), row.remainder);
    }
}

struct UnsignedRow {
    uint32_t dividend, divisor, quotient, remainder;
};

TEST(DeviceDivisionTest, unsigned_division_takes_the_divisor_first) {
    const UnsignedRow rows[] = {
        {0xFFFFFFFFu, 2, 0x7FFFFFFFu, 1},
        {5, 0x80000000u, 0, 5},
        {0x80000000u, 0xFFFFFFFFu, 0, 0x80000000u},
        {1000, 7, 142, 6},
    };
    for (const UnsignedRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.dividend) + " / " + std::to_string(row.divisor));
        uint64_t result = __rt_udiv(row.divisor, row.dividend);
        EXPECT_EQ(static_cast<uint32_t>(result), row.quotient);
        EXPECT_EQ(static_cast<uint32_t>(result >> 32), row.remainder);
    }
}

}  // namespace

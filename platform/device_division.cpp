#include "platform/device_division.h"

extern "C" {
// compiler-rt's unsigned division (udivsi3.c): dividend first, quotient only.
uint32_t __udivsi3(uint32_t dividend, uint32_t divisor);
}

namespace {

uint64_t QuotientAndRemainder(uint32_t quotient, uint32_t remainder) {
    return static_cast<uint64_t>(remainder) << 32 | quotient;
}

uint32_t Magnitude(int32_t value) {
    return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

}  // namespace

// Signed division goes through the unsigned one rather than compiler-rt's
// __divsi3, whose own "/" the device compiler turns into a division-by-zero
// check with a Thumb-2 branch. The quotient is negative when the signs
// differ and the remainder takes the dividend's sign, both wrapping as the
// device's arithmetic does (INT32_MIN / -1 is INT32_MIN).
uint64_t __rt_sdiv(int32_t divisor, int32_t dividend) {
    uint32_t magnitude = Magnitude(dividend);
    uint32_t quotient = __udivsi3(magnitude, Magnitude(divisor));
    uint32_t remainder = magnitude - quotient * Magnitude(divisor);
    if ((dividend < 0) != (divisor < 0)) {
        quotient = 0u - quotient;
    }
    if (dividend < 0) {
        remainder = 0u - remainder;
    }
    return QuotientAndRemainder(quotient, remainder);
}

uint64_t __rt_udiv(uint32_t divisor, uint32_t dividend) {
    uint32_t quotient = __udivsi3(dividend, divisor);
    return QuotientAndRemainder(quotient, dividend - quotient * divisor);
}

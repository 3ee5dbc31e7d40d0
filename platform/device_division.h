// Integer division on the device. The device compiler turns every 32-bit
// division and remainder into a call of __rt_sdiv (signed) or __rt_udiv
// (unsigned), which take the divisor first and the dividend second, and
// return the quotient in r0 and the remainder in r1: a 64-bit result with
// the quotient in its low word and the remainder in its high word. They are
// built on compiler-rt's __udivsi3, linked into the DLL.
//
// The driver never divides by 0 (its one division guards the divisor); the
// result of a division by 0 is unspecified.
#ifndef PENWICK_PLATFORM_DEVICE_DIVISION_H
#define PENWICK_PLATFORM_DEVICE_DIVISION_H

#include <stdint.h>

extern "C" {
uint64_t __rt_sdiv(int32_t divisor, int32_t dividend);
uint64_t __rt_udiv(uint32_t divisor, uint32_t dividend);
}

#endif

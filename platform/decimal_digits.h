// A number's decimal digits for the device's modules, found by subtracting
// powers of ten: the device's compiler puts a Thumb-2 branch before every
// division it calls a helper for.
#ifndef PENWICK_PLATFORM_DECIMAL_DIGITS_H
#define PENWICK_PLATFORM_DECIMAL_DIGITS_H

#include <stdint.h>

// Writes `value`'s digits, most significant first, with leading zeros up to
// `minimumDigits` (1 to 10), and a terminator into `text`.
inline void DecimalDigits(uint32_t value, int minimumDigits, char text[11]) {
    static const uint32_t kPowers[] = {1000000000, 100000000, 10000000, 1000000, 100000,
                                       10000,      1000,      100,      10,      1};
    int count = 0;
    for (int i = 0; i < 10; i++) {
        char digit = '0';
        while (value >= kPowers[i]) {
            value -= kPowers[i];
            digit++;
        }
        if (count > 0 || digit != '0' || 10 - i <= minimumDigits) {
            text[count++] = digit;
        }
    }
    text[count] = 0;
}

#endif

// A number's decimal digits for the device's modules, found by subtracting
// powers of ten: the device's compiler puts a Thumb-2 branch before every
// division it calls a helper for. And a sample's flags in hex, as the
// capture, the trace writer and the replay's table all write them.
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

// Writes a sample's flags as every trace writes them, 0x and upper-case hex
// of at least two digits ("0x0F"), and a terminator into `text`.
inline void FlagsHexDigits(uint32_t flags, char text[11]) {
    const char hex[] = "0123456789ABCDEF";
    text[0] = '0';
    text[1] = 'x';
    int shift = 28;
    while (shift > 4 && (flags >> shift) == 0) {
        shift -= 4;
    }
    int at = 2;
    for (; shift >= 0; shift -= 4) {
        text[at++] = hex[(flags >> shift) & 0xF];
    }
    text[at] = 0;
}

#endif

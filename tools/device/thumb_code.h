// Which Thumb instructions an ARMv5TE executes.
//
// The device's processors (ARM9, XScale) implement ARMv5TE: 16-bit Thumb
// instructions and the two-halfword BL/BLX call, nothing of Thumb-2. This
// walks a code section halfword by halfword and reports every instruction
// the ARMv5TE does not execute as intended:
//
//   - a 32-bit Thumb-2 encoding (movw, movt, ldr.w, VFP, ...), that is any
//     halfword of 11101, 11110 or 11111 that does not open a BL/BLX pair;
//   - the 16-bit encodings added by ARMv6 and ARMv6T2: CBZ/CBNZ, IT and the
//     hints, sign and zero extension, REV, CPS and SETEND, and the rest of
//     the 1011 space that ARMv5TE leaves undefined;
//   - the permanently undefined 11011110 space, except the compiler's trap
//     for a division by zero (0xDEF9);
//   - ADD, CMP and MOV of the high-register form between two low registers,
//     and BX/BLX with nonzero low bits, which are unpredictable on ARMv5TE.
//
// Code also holds data: the literal pools that PC-relative loads read. Each
// word that an LDR Rd, [PC, #imm] or ADR/ADD Rd, PC, #imm points at is data,
// and so is each word that the caller knows to be data (those a base
// relocation covers). A PC-relative load reaches only forward, so a forward
// walk meets the load before the pool it reads and skips the pool.
#ifndef PENWICK_TOOLS_DEVICE_THUMB_CODE_H
#define PENWICK_TOOLS_DEVICE_THUMB_CODE_H

#include <stddef.h>
#include <stdint.h>

#include <set>
#include <string>
#include <vector>

struct ThumbFinding {
    uint32_t address;
    std::string what;  // the encoding and why it does not run on an ARMv5TE
};

// Checks `size` bytes of Thumb code that sit at `address`. dataWords holds
// addresses of 32-bit words known to be data.
std::vector<ThumbFinding> ThumbCheckArmv5te(const uint8_t* code, size_t size, uint32_t address,
                                            const std::set<uint32_t>& dataWords);

#endif

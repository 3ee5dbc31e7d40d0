#include "thumb_code.h"

#include <stdio.h>

namespace {

std::string Halfwords(uint16_t first, int count, uint16_t second) {
    char text[32];
    if (count == 2) {
        snprintf(text, sizeof text, "%04x %04x", first, second);
    } else {
        snprintf(text, sizeof text, "%04x", first);
    }
    return text;
}

// The target of a PC-relative LDR or ADR at `address`: the word-aligned
// address of the instruction plus 4, plus the 8-bit immediate times 4.
uint32_t PcRelativeTarget(uint32_t address, uint16_t halfword) {
    return ((address + 4) & ~3u) + (halfword & 0xFFu) * 4;
}

// Why a 16-bit encoding does not run as intended on an ARMv5TE; null if it does.
const char* Armv5teProblem(uint16_t h) {
    if ((h & 0xF000) == 0xB000) {
        switch ((h >> 8) & 0xF) {
            case 0x0:  // ADD/SUB SP, #imm
            case 0x4:
            case 0x5:  // PUSH
            case 0xC:
            case 0xD:  // POP
            case 0xE:  // BKPT
                return nullptr;
            case 0x1:
            case 0x3:
            case 0x9:
            case 0xB:
                return "CBZ/CBNZ (ARMv6T2)";
            case 0x2:
                return "sign or zero extension (ARMv6)";
            case 0xA:
                return "byte reversal (ARMv6)";
            case 0x6:
                return "CPS or SETEND (ARMv6)";
            case 0xF:
                return "IT or hint (ARMv6T2)";
            default:
                return "undefined on ARMv5TE";
        }
    }
    if ((h & 0xFF00) == 0xDE00 && h != 0xDEF9) {
        return "undefined instruction";
    }
    if ((h & 0xFC00) == 0x4400) {
        int op = (h >> 8) & 3;
        bool bothLow = (h & 0xC0) == 0;
        if (op != 3 && bothLow) {
            return "high-register ADD, CMP or MOV between two low registers (unpredictable before "
                   "ARMv6)";
        }
        if (op == 3 && ((h & 7) != 0 || (h & 0xF8) == 0xF8)) {
            return "BX/BLX with nonzero low bits or BLX PC (unpredictable)";
        }
    }
    return nullptr;
}

}  // namespace

std::vector<ThumbFinding> ThumbCheckArmv5te(const uint8_t* code, size_t size, uint32_t address,
                                            const std::set<uint32_t>& dataWords) {
    // Halfwords that are data, by address.
    std::set<uint32_t> data;
    for (uint32_t word : dataWords) {
        data.insert(word);
        data.insert(word + 2);
    }
    std::vector<ThumbFinding> findings;
    size_t count = size / 2;
    auto at = [&](size_t i) { return static_cast<uint16_t>(code[2 * i] | code[2 * i + 1] << 8); };
    for (size_t i = 0; i < count; i++) {
        uint32_t here = address + static_cast<uint32_t>(2 * i);
        if (data.count(here) != 0) {
            continue;
        }
        uint16_t h = at(i);
        int top = h >> 11;
        if ((h & 0xF800) == 0x4800 || (h & 0xF800) == 0xA000) {
            uint32_t pool = PcRelativeTarget(here, h);
            data.insert(pool);
            data.insert(pool + 2);
            continue;
        }
        if (top == 0x1E) {  // BL/BLX prefix: its suffix must follow
            bool paired = i + 1 < count && data.count(here + 2) == 0;
            uint16_t next = paired ? at(i + 1) : 0;
            if (paired && ((next >> 11) == 0x1F || ((next >> 11) == 0x1D && (next & 1) == 0))) {
                i++;
                continue;
            }
            findings.push_back(
                {here, Halfwords(h, paired ? 2 : 1, next) +
                           ": 32-bit Thumb-2 encoding (only BL/BLX pairs run on ARMv5TE)"});
            i += paired ? 1 : 0;
            continue;
        }
        if (top == 0x1D || top == 0x1F) {
            bool whole = i + 1 < count;
            findings.push_back(
                {here, Halfwords(h, whole ? 2 : 1, whole ? at(i + 1) : 0) +
                           ": 32-bit Thumb-2 encoding (only BL/BLX pairs run on ARMv5TE)"});
            i += whole ? 1 : 0;
            continue;
        }
        if (const char* problem = Armv5teProblem(h)) {
            findings.push_back({here, Halfwords(h, 1, 0) + ": " + problem});
        }
    }
    return findings;
}

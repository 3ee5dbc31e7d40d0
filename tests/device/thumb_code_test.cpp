#include "thumb_code.h"

#include <gtest/gtest.h>

namespace {

const uint32_t kBase = 0x10001000;

struct Expected {
    uint32_t offset;
    const char* what;  // a part of the finding's text
};

struct ThumbRow {
    const char* name;
    std::vector<uint16_t> halfwords;
    std::vector<uint32_t> dataWordOffsets;  // known to be data, as base relocations tell
    std::vector<Expected> findings;
};

TEST(ThumbCodeTest, reports_exactly_what_an_armv5te_does_not_execute) {
    const char* const k32 = "32-bit Thumb-2 encoding";
    const ThumbRow rows[] = {
        {"16-bit ARMv5TE code, the division-by-zero trap included",
         {0xB510, 0x2001, 0x0014, 0x46C0, 0x4798, 0xBE00, 0xDF01, 0xB082, 0xC803, 0xD0FE, 0xE7FE,
          0xDEF9, 0xBD10, 0x4770},
         {},
         {}},
        {"BL and BLX pairs", {0xF000, 0xF800, 0xF7FF, 0xEFFE}, {}, {}},
        {"BLX whose suffix has its low bit set", {0xF000, 0xE801}, {}, {{0, k32}}},
        {"movw and movt", {0xF240, 0x0C00, 0xF2C1, 0x0C00}, {}, {{0, k32}, {4, k32}}},
        {"ldr.w pc, the linker's import thunk", {0xF8DC, 0xF000}, {}, {{0, k32}}},
        {"beq.w, the compiler's division-by-zero branch", {0x2A00, 0xF005, 0x8000}, {}, {{2, k32}}},
        {"VFP arithmetic", {0xEE30, 0x0A20}, {}, {{0, k32}}},
        {"a BL prefix cut off by the end of the code", {0x2000, 0xF000}, {}, {{2, k32}}},
        {"CBZ and CBNZ", {0xB108, 0xB918}, {}, {{0, "CBZ"}, {2, "CBZ"}}},
        {"IT and the NOP hint", {0xBF08, 0xBF00}, {}, {{0, "IT or hint"}, {2, "IT or hint"}}},
        {"ARMv6 extension, reversal, CPS and SETEND",
         {0xB280, 0xBA00, 0xB672, 0xB658},
         {},
         {{0, "extension"}, {2, "reversal"}, {4, "CPS"}, {6, "CPS"}}},
        {"MOV, ADD and CMP of the high-register form between low registers",
         {0x4608, 0x4408, 0x4508, 0x4640},
         {},
         {{0, "two low registers"}, {2, "two low registers"}, {4, "two low registers"}}},
        {"BX with nonzero low bits", {0x4701}, {}, {{0, "BX/BLX"}}},
        {"an undefined instruction other than the division trap", {0xDE00}, {}, {{0, "undefined"}}},
        {"a literal pool that a PC-relative load reads",
         {0x4800, 0x4770, 0xFFFF, 0x7FFF},  // ldr r0, [pc, #0]; bx lr; .word 0x7FFFFFFF
         {},
         {}},
        {"the same words with no load pointing at them",
         {0x2000, 0x4770, 0xFFFF, 0x7FFF},
         {},
         {{4, k32}}},
        {"a load from a halfword-aligned address reads the word-aligned pool",
         {0x2000, 0x4801, 0x4770, 0x46C0, 0xF240, 0x0C00},  // ldr r0, [pc, #4] at +2 reads +8
         {},
         {}},
        {"a word that ADR points at", {0xA000, 0x4770, 0xF240, 0x0C00}, {}, {}},
        {"a word that a base relocation covers", {0x2000, 0x4770, 0xF240, 0x0C00}, {4}, {}},
    };
    for (const ThumbRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> code;
        for (uint16_t h : row.halfwords) {
            code.push_back(static_cast<uint8_t>(h));
            code.push_back(static_cast<uint8_t>(h >> 8));
        }
        std::set<uint32_t> data;
        for (uint32_t offset : row.dataWordOffsets) {
            data.insert(kBase + offset);
        }
        std::vector<ThumbFinding> found = ThumbCheckArmv5te(code.data(), code.size(), kBase, data);
        ASSERT_EQ(found.size(), row.findings.size());
        for (size_t i = 0; i < found.size(); i++) {
            EXPECT_EQ(found[i].address, kBase + row.findings[i].offset);
            EXPECT_NE(found[i].what.find(row.findings[i].what), std::string::npos) << found[i].what;
        }
    }
}

}  // namespace

// Registry files (.reg) as users keep the settings of their devices:
// "REGEDIT4" or "Windows Registry Editor Version 5.00", in ASCII/UTF-8 or
// UTF-16LE with a byte-order mark, with dword:, "string" and hex: / hex(N):
// values. Only the values of the Penwick key are kept; the rest of the file
// is checked for form and otherwise ignored.
#ifndef PENWICK_TOOLS_REG_FILE_H
#define PENWICK_TOOLS_REG_FILE_H

#include <stdint.h>

#include <string>
#include <vector>

struct RegValue {
    std::u16string name;
    uint32_t type;              // REG_SZ 1, REG_BINARY 3, REG_DWORD 4, or hex(N)'s N
    std::vector<uint8_t> data;  // as the registry stores it
};

struct RegFile {
    bool hasPenwickKey = false;
    std::vector<RegValue> penwickValues;  // one per name, the file's last word
};

// A REG_DWORD value, as "name"=dword:... gives it.
RegValue RegDword(const std::u16string& name, uint32_t number);

// Stores a value in the file's Penwick key, replacing any of the same name
// (names compare without regard to the case of ASCII letters).
void RegFileSet(RegFile& file, const RegValue& value);

// Removes the Penwick key's value of that name, if there is one.
void RegFileRemove(RegFile& file, const std::u16string& name);

// Parses a .reg file's bytes; throws InputError naming fileName and the line.
RegFile ParseRegFile(const std::string& bytes, const std::string& fileName);

// UTF-8 to UTF-16; throws InputError on malformed UTF-8.
std::u16string Utf16FromUtf8(const std::string& text, const std::string& fileName, int line);

#endif

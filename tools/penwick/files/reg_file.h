// Registry files (.reg) as users keep the settings of their devices:
// "REGEDIT4" or "Windows Registry Editor Version 5.00", in ASCII/UTF-8 or
// UTF-16LE with a byte-order mark, with dword:, "string" and hex: / hex(N):
// values. Only the values of the two keys Penwick's installation writes are
// kept: Penwick's own key and the touch key with the host's DriverName; the
// rest of the file is checked for form and otherwise ignored.
#ifndef PENWICK_TOOLS_FILES_REG_FILE_H
#define PENWICK_TOOLS_FILES_REG_FILE_H

#include <stdint.h>

#include <string>
#include <vector>

struct RegValue {
    std::u16string name;
    uint32_t type;              // REG_SZ 1, REG_BINARY 3, REG_DWORD 4, or hex(N)'s N
    std::vector<uint8_t> data;  // as the registry stores it
};

// One key as the file leaves it.
struct RegKey {
    bool present = false;         // the file writes the key and does not delete it after
    std::vector<RegValue> values; // one per name, the file's last word
};

struct RegFile {
    RegKey penwick;  // HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH\Penwick
    RegKey touch;    // HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH
};

// A REG_DWORD value, as "name"=dword:... gives it.
RegValue RegDword(const std::u16string& name, uint32_t number);

// A REG_SZ value with its terminator, as "name"="text" gives it.
RegValue RegString(const std::u16string& name, const std::u16string& text);

// Stores a value in a key, replacing any of the same name (names compare
// without regard to the case of ASCII letters), and makes the key present.
void RegKeySet(RegKey& key, const RegValue& value);

// Removes the key's value of that name, if there is one.
void RegKeyRemove(RegKey& key, const std::u16string& name);

// The key's value of that name, or null.
const RegValue* RegKeyFind(const RegKey& key, const std::u16string& name);

// The file as REGEDIT4 text, each line of `comment` as a ';' comment at the
// top, then the touch key and Penwick's key with their values.
std::string FormatRegFile(const RegFile& file, const std::string& comment);

// Parses a .reg file's bytes; throws InputError naming fileName and the line.
RegFile ParseRegFile(const std::string& bytes, const std::string& fileName);

// UTF-8 to UTF-16; throws InputError on malformed UTF-8.
std::u16string Utf16FromUtf8(const std::string& text, const std::string& fileName, int line);

#endif

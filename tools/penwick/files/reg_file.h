// Registry files (.reg) as users keep the settings of their devices, read by
// the installer's own reader (setup/settings_file.h says what it accepts and
// refuses) and written back as REGEDIT4. What is kept is what an install
// concerns: Penwick's own key and the touch key's DriverName.
#ifndef PENWICK_TOOLS_FILES_REG_FILE_H
#define PENWICK_TOOLS_FILES_REG_FILE_H

#include <stdint.h>

#include <string>
#include <vector>

struct RegValue {
    std::u16string name;
    uint32_t type;              // REG_SZ 1 or REG_DWORD 4
    std::vector<uint8_t> data;  // as the registry stores it
};

// One key as the file leaves it.
struct RegKey {
    bool present = false;         // the file writes the key and does not delete it after
    std::vector<RegValue> values; // one per name, the file's last word
};

struct RegFile {
    RegKey penwick;  // HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH\Penwick
    RegKey touch;    // HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH, DriverName only
    int deletionLine = 0;  // the first line that deletes a value or a key; 0 when none
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

// The file as REGEDIT4 text in UTF-8, each line of `comment` as a ';'
// comment at the top, then the touch key and Penwick's key with their values.
std::string FormatRegFile(const RegFile& file, const std::string& comment);

// Characters of the Basic Multilingual Plane, the only ones the reader
// keeps, as UTF-8.
std::string Utf8FromUtf16(const std::u16string& text);

// Reads a .reg file's bytes; throws InputError naming fileName and the line.
RegFile ParseRegFile(const std::string& bytes, const std::string& fileName);

#endif

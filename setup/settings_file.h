// The settings file the installer writes into Penwick's key: a .reg file, as
// samples/install.reg and penwick tune's output are, read strictly and
// without a heap.
//
// Accepted: "REGEDIT4" or "Windows Registry Editor Version 5.00" first (after
// blank lines and comments), in ASCII or in UTF-16LE with its byte-order
// mark; `;` comments; the two keys Penwick's installation concerns,
// [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH\Penwick] and
// [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH] (HKLM\ too); in them,
// "name"=dword:hhhhhhhh and "name"="string" values with \" and \\ escapes,
// and "name"=- or [-key] deletions. In the touch key only DriverName, which
// the installer ignores: it switches DriverName itself. Anything else (other
// keys, hex: values, @ default values, lines that continue on the next,
// characters outside ASCII in an ASCII file, control characters) is refused
// with the line it is on.
//
// What is kept is Penwick's key as the file leaves it, as penwick's own .reg
// reader keeps it: a later value of the same name (compared without regard
// to case) replaces an earlier one and moves to the end, a deletion removes
// it, deleting either key empties Penwick's.
#ifndef PENWICK_SETUP_SETTINGS_FILE_H
#define PENWICK_SETUP_SETTINGS_FILE_H

#include <stdint.h>

// The largest file read, the most values Penwick's key may get from it, and
// the longest value name and string, each with its terminator.
const uint32_t kSettingsFileBytes = 16384;
const int kSettingsFileValues = 16;
const uint32_t kSettingsNameUnits = 64;
const uint32_t kSettingsStringUnits = 260;

struct SettingsValue {
    char16_t name[kSettingsNameUnits];
    uint32_t type;  // REG_SZ or REG_DWORD
    uint32_t size;  // bytes of data, a string's terminator included
    alignas(4) uint8_t data[kSettingsStringUnits * sizeof(char16_t)];
};

struct SettingsFile {
    bool penwickKey;  // the file writes Penwick's key and does not delete it after
    int count;
    SettingsValue values[kSettingsFileValues];
    int32_t firstDeletionLine;  // the first line that deletes a value or key; 0 when none
    // When the file is refused: the line (0 for the file as a whole) and why.
    int32_t errorLine;
    const char* error;
};

// Reads a file's bytes; false with errorLine and error set when it is
// refused.
bool SettingsFileRead(const uint8_t* bytes, uint32_t size, SettingsFile* file);

// Whether two value names are the same, as the registry compares them: the
// letters a to z the same as A to Z.
bool SettingsSameName(const char16_t* a, const char16_t* b);

#endif

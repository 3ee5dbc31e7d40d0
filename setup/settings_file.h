// The one reader of Penwick's .reg files: the installer reads its settings
// file with it, on the device and without a heap, and penwick reads every
// .reg file through it (tools/penwick/files/reg_file), so that what penwick
// check accepts the installer installs, and the reverse.
//
// Accepted: "REGEDIT4" or "Windows Registry Editor Version 5.00" first (after
// blank lines and comments), in UTF-8 (ASCII included, a byte-order mark
// passed over) or in UTF-16LE with its byte-order mark; `;` comments of any
// text; the two keys Penwick's installation concerns,
// [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH\Penwick] and
// [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH] (HKLM\ too); in them,
// "name"=dword:hhhhhhhh and "name"="string" values with \" and \\ escapes,
// and "name"=- or [-key] deletions. The touch key's other values, as a
// registry editor exports them (CalibrationData and the like, hex: and
// hex(N): data too, its lines continued with a backslash), are read for
// their form and passed over: nothing installs them. Anything else (other
// keys, hex: data in Penwick's key or for DriverName, @ default values, a
// backslash that continues any other line, malformed UTF-8, characters
// outside the Basic Multilingual Plane, control characters, a file over
// 16384 bytes) is refused with the line it is on.
//
// What is kept is Penwick's key and the touch key's DriverName as the file
// leaves them: a later value of the same name (compared without regard to
// case) replaces an earlier one and moves to the end, a deletion removes it,
// deleting the touch key empties both, deleting Penwick's key empties
// Penwick's.
#ifndef PENWICK_SETUP_SETTINGS_FILE_H
#define PENWICK_SETUP_SETTINGS_FILE_H

#include <stdint.h>

#include "platform/ascii.h"

// The largest file read, the most values Penwick's key may get from it, and
// the longest value name and string, each with its terminator.
const uint32_t kSettingsFileBytes = 16384;
const int kSettingsFileValues = 16;
const uint32_t kSettingsNameUnits = 64;
const uint32_t kSettingsStringUnits = 260;

// Why a file that deletes is no file to install from.
const char kSettingsDeletionRefused[] =
    "deletes a value or a key; a settings file for installing only writes values";

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
    bool touchKey;     // the file writes the touch key and does not delete it after
    bool driverNamed;  // and leaves DriverName in it
    SettingsValue driverName;
    int32_t firstDeletionLine;  // the first line that deletes a value or key; 0 when none
    // When the file is refused: the line (0 for the file as a whole) and why.
    int32_t errorLine;
    const char* error;
};

// Reads a file's bytes; false with errorLine and error set when it is
// refused.
bool SettingsFileRead(const uint8_t* bytes, uint32_t size, SettingsFile* file);

#endif

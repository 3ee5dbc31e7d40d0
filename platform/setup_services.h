// The services the device installer (PenwickSetup.exe) needs of the
// platform, behind a seam of their own: writing the registry, copying and
// comparing files, its own folder, its log and its message boxes. The driver
// never links this seam.
//
// As with the system services, the implementation is chosen by the link
// line, one folder a system: device/setup_services_device.cpp on the device
// (coredll.dll), windows/setup_services_windows.cpp on desktop Windows and
// Wine, and host/setup_services_host.cpp (a fake over the host fake's
// registry and files, with switches for every failure) on the build machine.
// The program's entry points, which hand the command line to SetupRun, are
// in entry/.
//
// Results are the platform's error numbers: 0 for success, else the reason
// (kSetupError* below), so that the installer can say why a step failed.
// Names and paths are UTF-16 and terminated.
#ifndef PENWICK_PLATFORM_SETUP_SERVICES_H
#define PENWICK_PLATFORM_SETUP_SERVICES_H

#include <stdint.h>

#include "platform/system_services.h"

// Error numbers as the platform gives them.
const int32_t kSetupErrorNotFound = 2;      // ERROR_FILE_NOT_FOUND
const int32_t kSetupErrorPathNotFound = 3;  // ERROR_PATH_NOT_FOUND
const int32_t kSetupErrorAccessDenied = 5;  // ERROR_ACCESS_DENIED
const int32_t kSetupErrorSharing = 32;      // ERROR_SHARING_VIOLATION: in use
const int32_t kSetupErrorFileExists = 80;   // ERROR_FILE_EXISTS
const int32_t kSetupErrorDiskFull = 112;    // ERROR_DISK_FULL
const int32_t kSetupErrorMoreData = kSystemRegistryMoreData;
const int32_t kSetupErrorNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

// --- The registry, below HKEY_LOCAL_MACHINE ----------------------------------

// Opens an existing key for reading and writing values.
int32_t SetupOpenKey(const char16_t* subKey, SystemKey* key);

// Creates a key (its parent must exist) and opens it as SetupOpenKey does.
int32_t SetupCreateKey(const char16_t* subKey, SystemKey* key);

// Reads a value as SystemQueryRegistryValue does: *size in and out, the
// type in *type, kSetupErrorMoreData when the data is larger than *size.
int32_t SetupQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* size);

// Writes a value, replacing any of that name.
int32_t SetupSetValue(SystemKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t size);

int32_t SetupDeleteValue(SystemKey key, const char16_t* name);

// The name of an open key's value number `index`, counting from 0, into
// `name` of `units` UTF-16 units: kSetupErrorNoMoreItems past the last one,
// kSetupErrorMoreData when the name does not fit.
int32_t SetupValueName(SystemKey key, uint32_t index, char16_t* name, uint32_t units);

// The same for an open key's subkeys.
int32_t SetupSubkeyName(SystemKey key, uint32_t index, char16_t* name, uint32_t units);

// Writes what the registry holds of the key out to the store.
int32_t SetupFlushKey(SystemKey key);

void SetupCloseKey(SystemKey key);

// Deletes a key with its values (it has no subkeys).
int32_t SetupDeleteKey(const char16_t* subKey);

// --- Files, by full path --------------------------------------------------------

// 0 and the size in bytes when a file (not a folder) is there.
int32_t SetupFileSize(const char16_t* path, uint32_t* size);

// Whether a module that the system runs in place from ROM is at `path`: it
// is there, but it cannot be opened and read as a file.
bool SetupIsRomModule(const char16_t* path);

// Copies a file; nothing may be at `to`.
int32_t SetupCopyFile(const char16_t* from, const char16_t* to);

int32_t SetupDeleteFile(const char16_t* path);

// The name (without the folder) of file number `index`, counting from 0, of
// those in `folder` whose names begin with `prefix` (in any case):
// kSetupErrorNoMoreItems past the last one, kSetupErrorMoreData when the
// name does not fit `units` UTF-16 units.
int32_t SetupFileInFolder(const char16_t* folder, const char16_t* prefix, uint32_t index,
                          char16_t* name, uint32_t units);

// Opens a file for reading from its start, or (`append`) for writing at its
// end, creating it when it is not there.
int32_t SetupOpenFile(const char16_t* path, bool append, SystemFile* file);

// Reads at most `size` bytes; *got is 0 at the end of the file.
int32_t SetupReadFromFile(SystemFile file, void* data, uint32_t size, uint32_t* got);

// Writes all the bytes and then what the file system holds of the file out
// to the store.
int32_t SetupWriteToFile(SystemFile file, const void* data, uint32_t size);

void SetupCloseFile(SystemFile file);

// --- Where things are, the clock and the user ------------------------------

// The folder the program was started from, without a closing backslash;
// `units` is the buffer's size in UTF-16 units.
void SetupProgramFolder(char16_t* folder, uint32_t units);

// The system's folder, where the host finds its touch driver: \Windows on
// the device.
void SetupSystemFolder(char16_t* folder, uint32_t units);

// The device's clock.
void SetupLocalTime(SystemDateTime* time);

// Whether the system loads only signed boot drivers, as Windows Mobile's
// security model has it, with the platform type it gives in `platform`
// ("PocketPC", "SmartPhone"; empty when it gives none). A system that does
// not say is taken to. Desktop Windows plays a Windows Mobile device here,
// so that what the installer refuses there is what it refuses on one.
bool SetupPlatformChecksTrust(char16_t* platform, uint32_t units);

// Claims the one run of PenwickSetup (or of its setup DLL) the device may
// have at a time: false while another holds it. Held until the process
// ends or SetupReleaseSingleRun.
bool SetupClaimSingleRun(void);
void SetupReleaseSingleRun(void);

enum SetupAnswer { SetupAnswerYes, SetupAnswerNo, SetupAnswerCancel };

// Asks a question in a message box with Yes and No buttons (and Cancel when
// `cancel` is set).
SetupAnswer SetupAsk(const char16_t* question, bool cancel);

// Shows a message box with an OK button, as an error when `failed` is set.
void SetupShow(const char16_t* message, bool failed);

#endif

// Installing Penwick as the device's touch driver, undoing that, and saying
// what is installed, without ever leaving the device without touch input.
//
// The host loads the driver that HKLM\HARDWARE\DEVICEMAP\TOUCH\DriverName
// names, once, at boot; Penwick loads the one its own key's OrigDriverName
// names. A wrong name there leaves the device without touch input until
// the registry is mended by other means, so every step is taken in an order
// that keeps DriverName as it was until everything else is in place and
// judged, and every write is undone when a later step fails:
//
//   install    1. DriverName is read and judged. When it names Penwick (an
//                 install again), OrigDriverName is kept; otherwise the
//                 driver it names must be a file in \Windows (or where the
//                 name points), or a module in ROM, and no copy of Penwick.
//                 Penwick.dll beside the installer must be one the device
//                 loads at boot (setup/device_trust.h), unless /untrusted
//                 is given; that it was is recorded as InstalledUntrusted.
//              2. The settings file is read, and judged by the check as the
//                 install would leave the registry: DriverName naming
//                 Penwick, OrigDriverName the driver it forwards to, the
//                 file's values and nothing left from before. A file lacking
//                 a setting is refused. Nothing is written yet.
//              3. Penwick.dll beside the installer goes to \Windows under a
//                 name of this version's own (registry/registry_contract.h),
//                 unless the same bytes are there already; a different
//                 file there is never overwritten: the next name is taken.
//                 The module the host loaded at boot is never touched.
//              4. OrigDriverName (the old DriverName) and the settings are
//                 written, each value's former state kept, and read back.
//              5. The configuration check runs: the only error it may find
//                 is that DriverName does not name Penwick yet.
//              6. DriverName is switched to that name (installing again too,
//                 when it named another) and read back; the check runs
//                 again and may find no error at all.
//              7. Penwick's files of earlier installs that nothing names now
//                 are deleted; one the host has loaded stays until a later
//                 run, after the next boot.
//              Any failure: every value is put back as it was (absent ones
//              deleted), a key that was created is deleted, the copied
//              Penwick.dll is deleted.
//   uninstall  DriverName goes back to OrigDriverName, only when that
//              driver's file is there; Penwick's settings stay, unless
//              purging, which deletes its key. Penwick's files that are not
//              in use are deleted.
//   status     what DriverName and OrigDriverName name, the check's verdict,
//              the capture.
//
// Each says what it did in the log and what came of it in the outcome
// (setup/setup_report.h). Each has a file of its own (install_command.cpp,
// uninstall_command.cpp, status_command.cpp); what they read on the device
// is in setup/installation_device.h, the undo journal in
// setup/installation_journal.h.
#ifndef PENWICK_SETUP_INSTALLATION_H
#define PENWICK_SETUP_INSTALLATION_H

#include <stdint.h>

#include "platform/setup_services.h"
#include "registry/configuration_check.h"
#include "setup/settings_file.h"
#include "setup/setup_report.h"

// What came of a command; also the program's exit code.
enum InstallationResult {
    InstallationDone = 0,
    InstallationNothingChanged = 1,  // refused, or failed and undone
    InstallationUsage = 2,           // the command line was not understood
    InstallationNotUndone = 3,       // failed, and undoing it failed too
    // What status finds the next boot does, when Penwick does not filter
    // as installed:
    InstallationNoTouchInput = 4,    // the device is left without touch input
    InstallationNotInstalled = 5,    // the touch driver is not Penwick
    InstallationNotFiltering = 6,    // Penwick forwards every sample unfiltered (a check error)
};

// One write's undo: the value as it was before.
struct InstallationSaved {
    SystemKey key;
    const char16_t* name;
    bool existed;
    uint32_t type;
    uint32_t size;
    alignas(4) uint8_t data[1024];
    // What was written, to be read back.
    uint32_t writtenType;
    uint32_t writtenSize;
    const void* written;
};

struct Installation {
    char16_t programFolder[kSetupPathUnits];
    char16_t systemFolder[kSetupPathUnits];
    char16_t originalFile[kSetupPathUnits];   // the original driver's file
    char16_t penwickSource[kSetupPathUnits];  // Penwick.dll beside the installer
    char16_t penwickTarget[kSetupPathUnits];  // \Windows\Penwick-VERSION.dll
    char16_t penwickName[kSetupPathUnits];    // its name, for DriverName
    char16_t settingsPath[kSetupPathUnits];   // empty: the built-in recommended settings

    ConfigurationDriverName touchDriver;     // DriverName
    ConfigurationDriverName originalDriver;  // OrigDriverName
    const char16_t* forwardsTo;              // the driver Penwick forwards to once installed

    uint8_t fileBytes[kSettingsFileBytes];
    SettingsFile settings;

    // The undo journal.
    SystemKey touchKey;
    SystemKey penwickKey;
    bool penwickKeyCreated;
    bool penwickCopied;
    bool originalInRom;  // the original driver runs in place from ROM
    bool installedUntrusted;  // with /untrusted, though the device does not trust Penwick.dll
    int savedCount;
    InstallationSaved saved[kSettingsFileValues + 3];  // and OrigDriverName, InstalledUntrusted, DriverName
    // Why the step that failed failed, for the outcome.
    char16_t reason[kSetupOutcomeUnits];
};

extern Installation g_installation;

// `settingsPath`: the settings file named on the command line, or null for
// install.reg beside the installer, or the built-in recommended settings
// when there is none. `untrusted`: install even a Penwick.dll that the
// device does not load at boot, as far as can be told (/untrusted).
InstallationResult InstallationInstall(const char16_t* settingsPath, bool untrusted);

InstallationResult InstallationUninstall(bool purge);

InstallationResult InstallationStatus(void);

// For the question asked when the installer is started without a command:
// whether DriverName names Penwick now, and the name of the driver it would
// install in front of or go back to (empty when not known).
bool InstallationIsInstalled(char16_t driver[kSetupPathUnits]);

// Where Penwick.dll and the settings are taken from: `folder`, or (null)
// beside the installer.
void InstallationUseProgramFolder(const char16_t* folder);

// Where the installer's log goes: PenwickSetup.log in the system's folder.
void InstallationLogPath(char16_t path[kSetupPathUnits]);

#endif

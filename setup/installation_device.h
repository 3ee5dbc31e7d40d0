// What the installer reads on the device before it writes anything, and
// how a step that fails says why: HKLM\HARDWARE\DEVICEMAP\TOUCH's
// DriverName, Penwick's OrigDriverName, the files the two name, Penwick.dll
// beside the installer, and the configuration check's verdict on the
// registry as it is. Every function works on g_installation
// (setup/installation.h); one that fails leaves the reason there, for the
// outcome, and in the log.
#ifndef PENWICK_SETUP_INSTALLATION_DEVICE_H
#define PENWICK_SETUP_INSTALLATION_DEVICE_H

#include <stdint.h>

#include "registry/registry_contract.h"
#include "registry/configuration_check.h"
#include "setup/installation.h"

const char16_t kPenwickFile[] = u"Penwick.dll";
const char16_t* const kOriginalValue = kOriginalDriverValue;

// The registry as the installer reads and writes it, for the check.
extern const ConfigurationRegistry kInstallationRegistry;

// A string value's size in bytes, its terminating null included.
uint32_t InstallationStringBytes(const char16_t* text);

// Where Penwick.dll and the settings are taken from (InstallationUseProgramFolder).
void InstallationProgramFolder(char16_t folder[kSetupPathUnits]);

// Clears g_installation and finds the installer's and the system's folders.
void InstallationResetRecord(void);
void InstallationCloseKeys(void);

// Keeps why the step failed in g_installation.reason and logs it.
void InstallationRecordFailure(const char* format, ...);
// The same for a finding of the check, after `lead`.
void InstallationRecordFindingFailure(const char* lead, const ConfigurationFinding& finding);
// "LowSpeed is missing: filtering is off", from the check's own words.
void InstallationFormatFinding(char16_t* text, uint32_t units, uint32_t* length,
                               const ConfigurationFinding& finding);

// Closes the keys and says that nothing was changed, and why.
InstallationResult InstallationRefuse(void);

// DriverName, which must be a name a loader can be given; the touch key is
// left open.
bool InstallationReadDriverName(void);
// OrigDriverName, when DriverName names Penwick: it must name a driver that
// is not Penwick. Penwick's key is left open.
bool InstallationReadOrigDriverName(void);

// The file a driver name stands for: where the name points, or in the
// system's folder for a bare name; the loader adds ".dll" to a name without
// an extension. False when the path is too long.
bool InstallationDriverFilePath(const char16_t* name, char16_t path[kSetupPathUnits]);
// The driver `name` is there, as a file or as a module in ROM; its path
// goes to g_installation.originalFile.
bool InstallationFindDriverFile(const char16_t* name);
// Penwick.dll beside the installer, whole, and the original driver no copy
// of it.
bool InstallationFindPenwickSource(void);

// Deletes Penwick's files in the system's folder that are not `keep` (a
// driver name): earlier versions' modules, and Penwick.dll.old left by an
// earlier installer. One in use (the module the host loaded) stays, for a
// later run after the next boot; each is logged. The path of the first
// that stays goes to `stays`, when given (empty when none does).
void InstallationRemoveRetiredFiles(const char16_t* keep, char16_t* stays = nullptr);

// What the check found, counted; its findings go to the log.
struct InstallationVerdict {
    bool beforeSwitch;  // DriverName is not switched yet: its finding is expected
    bool sayWarnings;   // each warning goes to the log
    int32_t errors;
    int32_t warnings;
    ConfigurationFinding firstError;
    // An error that leaves Penwick loaded but with no driver to forward
    // to (OrigDriverName empty, or naming Penwick): no touch input.
    bool noOriginalDriver;
};

// The check on `registry`, each finding counted into `verdict`.
void InstallationCountFindings(const ConfigurationRegistry& registry, InstallationVerdict* verdict);
// The same, failing with the first error as the reason when there is one.
bool InstallationCheck(const ConfigurationRegistry& registry, InstallationVerdict* verdict);
// The check on what is written now.
bool InstallationCheckWritten(InstallationVerdict* verdict);

#endif

#include "setup/installation.h"

#include <string.h>

#include "registry/registry_contract.h"
#include "setup/device_trust.h"
#include "setup/installation_device.h"
#include "setup/installation_journal.h"
#include "setup/installed_settings.h"
#include "penwick_version.h"
#include "setup/setup_build.h"
#include "setup/setup_files.h"

namespace {

const char16_t kInstallFile[] = u"install.reg";

// Penwick.dll beside the installer, loaded by the device at boot: otherwise
// the device would have no touch input. /untrusted goes on all the same.
bool InstallRequireTrustedPenwick(bool untrusted) {
    Installation& s = g_installation;
    if (DeviceTrustJudge(s.penwickSource)) {
        return true;
    }
    if (untrusted) {
        s.installedUntrusted = true;
        SetupLog("trust: /untrusted: installing all the same");
        return true;
    }
    uint32_t length = 0;
    DeviceTrustFinding(kPenwickFile, s.reason, kSetupOutcomeUnits, &length);
    SetupFormat(s.reason, kSetupOutcomeUnits, &length,
                ": a Windows Mobile device does not load it at boot and would be left without "
                "touch input. To go on, ");
    DeviceTrustAdvice(s.reason, kSetupOutcomeUnits, &length);
    SetupLog("failed: %s", s.reason);
    return false;
}

// The settings file: the one named, or install.reg beside the installer,
// or the recommended settings built in.
bool InstallReadSettingsFile(const char16_t* named) {
    Installation& s = g_installation;
    uint32_t size = 0;
    if (named != nullptr) {
        bool made = ConfigurationIsFullPath(named)
                        ? SetupMakePath(s.settingsPath, "%s", named)
                        : SetupMakePath(s.settingsPath, "%s\\%s", s.programFolder, named);
        if (!made) {
            InstallationRecordFailure("the settings file's path is longer than %u characters",
                                      kSetupPathUnits - 1);
            return false;
        }
    } else if (!SetupMakePath(s.settingsPath, "%s\\%s", s.programFolder, kInstallFile) ||
               SetupFileSize(s.settingsPath, &size) != 0) {
        s.settingsPath[0] = 0;
    }

    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(kSetupRecommendedSettings);
    size = sizeof kSetupRecommendedSettings - 1;
    if (s.settingsPath[0] != 0) {
        int32_t error = SetupReadWholeFile(s.settingsPath, s.fileBytes, kSettingsFileBytes, &size);
        if (error == kSetupErrorMoreData) {
            InstallationRecordFailure("the settings file %s is larger than %u bytes",
                                      s.settingsPath, kSettingsFileBytes);
            return false;
        }
        if (error != 0) {
            InstallationRecordFailure("the settings file %s cannot be read (%a)", s.settingsPath,
                                      SetupErrorWords(error));
            return false;
        }
        bytes = s.fileBytes;
    }
    const char16_t* name = s.settingsPath[0] != 0 ? s.settingsPath : u"the recommended settings";
    SettingsFile& file = s.settings;
    if (!SettingsFileRead(bytes, size, &file)) {
        if (file.errorLine != 0) {
            InstallationRecordFailure("%s, line %d: %a", name, file.errorLine, file.error);
        } else {
            InstallationRecordFailure("%s: %a", name, file.error);
        }
        return false;
    }
    if (file.firstDeletionLine != 0) {
        InstallationRecordFailure("%s, line %d: %a", name, file.firstDeletionLine,
                                  kSettingsDeletionRefused);
        return false;
    }
    if (!file.penwickKey) {
        InstallationRecordFailure("%s writes nothing under HKEY_LOCAL_MACHINE\\%s", name,
                                  kConfigurationKey);
        return false;
    }
    SetupLog("settings: %s, %d values", name, file.count);
    return true;
}

// --- What the user chose, judged before anything is written -----------------

// The settings as chosen, before anything is written: complete, and without
// an error of the check on their own.
bool InstallCheckChosenSettings(InstallationVerdict* verdict) {
    Installation& s = g_installation;
    InstalledSettingsUse(&s.settings, s.forwardsTo);
    if (!InstallationCheck(kInstalledSettingsRegistry, verdict)) {
        return false;
    }
    SetupLog("the settings chosen: no error, %d warnings", verdict->warnings);
    return true;
}

// --- Writing -------------------------------------------------------------------

// One of the names of this version's module in the system's folder: number
// 1 is Penwick-VERSION.dll, the others Penwick-VERSION-N.dll.
const int kPenwickNames = 9;

bool InstallPenwickName(int n) {
    Installation& s = g_installation;
    uint32_t length = 0;
    SetupFormat(s.penwickName, kSetupPathUnits, &length, n == 1 ? "%s%a.dll" : "%s%a-%d.dll",
                kPenwickModuleVersioned, kPenwickVersion, n);
    if (!SetupMakePath(s.penwickTarget, "%s\\%s", s.systemFolder, s.penwickName)) {
        InstallationRecordFailure("the system's folder %s has too long a path", s.systemFolder);
        return false;
    }
    return true;
}

// \Windows\Penwick-VERSION.dll: a file of one of the version's names that
// holds the same bytes stays; a different one (a rebuild of the version,
// perhaps the module the host has loaded) or one that cannot be read is
// never touched: Penwick.dll goes to the first name that is free. When none
// is, the files of earlier installs that nothing names are deleted first.
bool InstallCopyPenwickFile(bool retried) {
    Installation& s = g_installation;
    int free = 0;
    for (int n = 1; n <= kPenwickNames; n++) {
        uint32_t size = 0;
        if (!InstallPenwickName(n)) {
            return false;
        }
        int32_t there = SetupFileSize(s.penwickTarget, &size);
        if (there == kSetupErrorNotFound || there == kSetupErrorPathNotFound) {
            free = free == 0 ? n : free;
            continue;
        }
        if (there != 0) {
            // There, but not to be read: never touched.
            SetupLog("%s cannot be read (%a): it stays", s.penwickTarget, SetupErrorWords(there));
            continue;
        }
        int32_t same = 0;
        int32_t error = SetupCompareFiles(s.penwickSource, s.penwickTarget, &same);
        if (error != 0) {
            InstallationRecordFailure("%s cannot be read (%a)", s.penwickTarget,
                                      SetupErrorWords(error));
            return false;
        }
        if (same) {
            SetupLog("%s holds the same bytes already", s.penwickTarget);
            return true;
        }
        SetupLog("%s differs from the Penwick.dll beside the installer: it stays", s.penwickTarget);
    }
    if (free == 0 && !retried) {
        // Files of earlier installs that nothing names free their names.
        InstallationRemoveRetiredFiles(s.touchDriver.name);
        return InstallCopyPenwickFile(true);
    }
    if (free == 0) {
        InstallationRecordFailure(
            "%s holds %d files of this version that differ from the Penwick.dll beside the "
            "installer: soft-reset the device and install again, which deletes those not used",
            s.systemFolder, kPenwickNames);
        return false;
    }
    if (!InstallPenwickName(free)) {
        return false;
    }
    int32_t error = SetupCopyFile(s.penwickSource, s.penwickTarget);
    // What a copy that failed may have left is deleted by the undo; a file
    // that was there already is not the copy's.
    s.penwickCopied = error != kSetupErrorFileExists;
    if (error != 0) {
        InstallationRecordFailure("Penwick.dll cannot be copied to %s (%a)", s.penwickTarget,
                                  SetupErrorWords(error));
        return false;
    }
    SetupLog("copied %s to %s", s.penwickSource, s.penwickTarget);
    return true;
}

// OrigDriverName (unless it is kept) and the settings into Penwick's key.
bool InstallWritePenwickKey(bool keepOriginal) {
    Installation& s = g_installation;
    // Open already when installing again: OrigDriverName was read from it.
    int32_t error = s.penwickKey != nullptr ? 0 : SetupOpenKey(kConfigurationKey, &s.penwickKey);
    if (error == kSetupErrorNotFound) {
        error = SetupCreateKey(kConfigurationKey, &s.penwickKey);
        s.penwickKeyCreated = error == 0;
    }
    if (error != 0) {
        s.penwickKey = nullptr;
        InstallationRecordFailure("HKEY_LOCAL_MACHINE\\%s cannot be made (%a)", kConfigurationKey,
                                  SetupErrorWords(error));
        return false;
    }
    if (keepOriginal) {
        SetupLog("OrigDriverName kept");
    } else if (!JournalWriteValue(s.penwickKey, kConfigurationKey, kOriginalValue,
                                  kSystemRegistryString, s.touchDriver.name,
                                  InstallationStringBytes(s.touchDriver.name))) {
        return false;
    }
    for (int i = 0; i < s.settings.count; i++) {
        const SettingsValue& value = s.settings.values[i];
        // The installer's own values are its to write, whatever the file says.
        if (AsciiSameText(value.name, kOriginalValue) || AsciiSameText(value.name, kUntrustedValue)) {
            SetupLog("the settings' %s is not used", value.name);
            continue;
        }
        if (!JournalWriteValue(s.penwickKey, kConfigurationKey, value.name, value.type, value.data,
                               value.size)) {
            return false;
        }
    }
    // Whether this install was untrusted, said where an earlier one may
    // have said it was.
    static const uint32_t kUntrusted[] = {0, 1};
    const uint32_t* untrusted = &kUntrusted[s.installedUntrusted ? 1 : 0];
    uint32_t type = 0;
    uint32_t earlier = 0;
    uint32_t size = sizeof earlier;
    error = SetupQueryValue(s.penwickKey, kUntrustedValue, &type, &earlier, &size);
    if ((s.installedUntrusted || error == 0 || error == kSetupErrorMoreData) &&
        !JournalWriteValue(s.penwickKey, kConfigurationKey, kUntrustedValue, kSystemRegistryDword,
                           untrusted, sizeof *untrusted)) {
        return false;
    }
    return JournalFlushKey(s.penwickKey, kConfigurationKey) && JournalReadBack(0);
}

}  // namespace

InstallationResult InstallationInstall(const char16_t* settingsPath, bool untrusted) {
    Installation& s = g_installation;
    InstallationResetRecord();
    SetupLog("install");
    if (!InstallationReadDriverName()) {
        return InstallationRefuse();
    }
    bool again = NamesPenwick(s.touchDriver.name);
    if (again) {
        SetupLog("DriverName names Penwick: installing again, OrigDriverName kept");
        if (!InstallationReadOrigDriverName()) {
            return InstallationRefuse();
        }
    }
    s.forwardsTo = again ? s.originalDriver.name : s.touchDriver.name;
    InstallationVerdict chosen = {false, true, 0, 0, {}, false};
    if (!InstallationFindDriverFile(s.forwardsTo) || !InstallationFindPenwickSource() ||
        !InstallRequireTrustedPenwick(untrusted) || !InstallReadSettingsFile(settingsPath) ||
        !InstallCheckChosenSettings(&chosen)) {
        return InstallationRefuse();
    }

    // What was written, judged as the driver will read it. Installing again,
    // DriverName names Penwick already: one check judges everything, and
    // DriverName is switched only when it names another of Penwick's files.
    InstallationVerdict written = {!again, false, 0, 0, {}, false};
    InstallationVerdict switched = {false, false, 0, 0, {}, false};
    if (!InstallCopyPenwickFile(false) || !InstallWritePenwickKey(again) ||
        !InstallationCheckWritten(&written)) {
        return JournalUndoAfterFailure();
    }
    if (!AsciiSameText(s.touchDriver.name, s.penwickName) &&
        (!JournalSwitchDriverName(s.penwickName) || !InstallationCheckWritten(&switched))) {
        return JournalUndoAfterFailure();
    }
    InstallationRemoveRetiredFiles(s.penwickName);
    InstallationCloseKeys();
    SetupOutcome("Penwick is installed: soft-reset the device to start it.");
    SetupOutcome("It forwards to %s, with %s.", s.forwardsTo,
                 s.settingsPath[0] != 0 ? s.settingsPath : u"the recommended settings");
    if (s.installedUntrusted) {
        SetupOutcome(
            "Installed with /untrusted: the device's privileged store does not trust "
            "Penwick.dll, so the device has touch input at the next boot only if it loads "
            "unsigned boot drivers.");
    }
    if (chosen.warnings != 0) {
        SetupOutcome("The check warns about %d of the settings; the log says which.",
                     chosen.warnings);
    }
    return InstallationDone;
}

#include "setup/installation.h"

#include <string.h>

#include "proxy/configuration.h"
#include "setup/device_trust.h"
#include "setup/setup_build.h"
#include "setup/setup_files.h"

Installation g_installation;

namespace {

// The check reads the registry the installer writes.
const ConfigurationRegistry kSetupRegistry = {SetupOpenKey, SetupQueryValue, SetupCloseKey};

const char16_t kPenwickFile[] = u"Penwick.dll";
const char16_t* const kOriginalValue = kOriginalDriverValue;
const char16_t kInstallFile[] = u"install.reg";
// Penwick's key's one value of the installer's own: 1 when Penwick.dll was
// installed with /untrusted though the device's store does not trust it.
const char16_t kUntrustedValue[] = u"InstalledUntrusted";

uint32_t Length(const char16_t* text) {
    uint32_t length = 0;
    while (text[length] != 0) {
        length++;
    }
    return length;
}

// --- Saying why -------------------------------------------------------------

void Because(const char* format, ...) {
    Installation& s = g_installation;
    uint32_t length = 0;
    va_list arguments;
    va_start(arguments, format);
    SetupFormatList(s.reason, kSetupOutcomeUnits, &length, format, arguments);
    va_end(arguments);
    SetupLog("failed: %s", s.reason);
}

// "LowSpeed is missing: filtering is off", from the check's own words.
void FormatFinding(char16_t* text, uint32_t units, uint32_t* length,
                   const ConfigurationFinding& finding) {
    SetupFormat(text, units, length, "%s ", finding.value);
    SetupFormat(text, units, length, ConfigurationFindingPhrase(finding.kind), finding.number);
}

void BecauseFinding(const char* lead, const ConfigurationFinding& finding) {
    Installation& s = g_installation;
    uint32_t length = 0;
    SetupFormat(s.reason, kSetupOutcomeUnits, &length, "%a", lead);
    FormatFinding(s.reason, kSetupOutcomeUnits, &length, finding);
    SetupLog("failed: %s", s.reason);
}

// The host's DriverName judged by the check's rules for a driver name, in
// words of its own.
const char* DriverNameProblem(ConfigurationFindingKind kind) {
    switch (kind) {
    case FindingDriverNameTooLong:
        return "has %d bytes, more than a driver name may have (63 characters)";
    case FindingDriverNameNotString: return "is stored as type %d, not as a string";
    case FindingDriverNameUnterminated: return "has no terminating null";
    case FindingDriverNameEmpty: return "is empty";
    default: return "is missing";
    }
}

struct FirstFinding {
    bool any;
    ConfigurationFinding finding;
};

void KeepFirstFinding(const ConfigurationFinding& finding, void* context) {
    FirstFinding* first = static_cast<FirstFinding*>(context);
    if (!first->any) {
        first->any = true;
        first->finding = finding;
    }
}

// --- Reading what is there ---------------------------------------------------

void Begin(void) {
    Installation& s = g_installation;
    memset(&s, 0, sizeof s);
    SetupProgramFolder(s.programFolder, kSetupPathUnits);
    SetupSystemFolder(s.systemFolder, kSetupPathUnits);
}

void CloseKeys(void) {
    Installation& s = g_installation;
    if (s.touchKey != nullptr) {
        SetupCloseKey(s.touchKey);
        s.touchKey = nullptr;
    }
    if (s.penwickKey != nullptr) {
        SetupCloseKey(s.penwickKey);
        s.penwickKey = nullptr;
    }
}

// DriverName, which must be a name a loader can be given.
bool ReadTouchDriver(void) {
    Installation& s = g_installation;
    int32_t error = SetupOpenKey(kTouchKey, &s.touchKey);
    if (error != 0) {
        s.touchKey = nullptr;
        Because("HKEY_LOCAL_MACHINE\\%s cannot be opened: %a", kTouchKey, SetupErrorWords(error));
        return false;
    }
    FirstFinding first = {};
    CheckDriverName(kSetupRegistry, s.touchKey, kTouchDriverValue, &s.touchDriver, KeepFirstFinding,
                    &first);
    if (first.any) {
        uint32_t length = 0;
        SetupFormat(s.reason, kSetupOutcomeUnits, &length,
                    "DriverName under HKEY_LOCAL_MACHINE\\%s ", kTouchKey);
        SetupFormat(s.reason, kSetupOutcomeUnits, &length, DriverNameProblem(first.finding.kind),
                    first.finding.number);
        SetupFormat(s.reason, kSetupOutcomeUnits, &length,
                    ", so the device's own touch driver is not known");
        SetupLog("failed: %s", s.reason);
        return false;
    }
    SetupLog("DriverName: %s", s.touchDriver.name);
    return true;
}

// OrigDriverName, when DriverName names Penwick: it must name a driver that
// is not Penwick.
bool ReadOriginalDriver(void) {
    Installation& s = g_installation;
    if (s.penwickKey == nullptr) {
        int32_t error = SetupOpenKey(kConfigurationKey, &s.penwickKey);
        if (error != 0) {
            s.penwickKey = nullptr;
            Because(
                "DriverName names Penwick, but Penwick's key HKEY_LOCAL_MACHINE\\%s is not "
                "there, so the device's own touch driver is not known",
                kConfigurationKey);
            return false;
        }
    }
    FirstFinding first = {};
    CheckOriginalDriverName(kSetupRegistry, s.penwickKey, &s.originalDriver, KeepFirstFinding,
                            &first);
    if (first.any) {
        BecauseFinding("DriverName names Penwick, and ", first.finding);
        return false;
    }
    SetupLog("OrigDriverName: %s", s.originalDriver.name);
    return true;
}

// The file a driver name stands for: where the name points, or in the
// system's folder for a bare name; the loader adds ".dll" to a name without
// an extension.
bool DriverFile(const char16_t* name, char16_t path[kSetupPathUnits]) {
    bool folder = false;
    bool extension = false;
    for (const char16_t* c = name; *c != 0; c++) {
        folder = folder || *c == u'\\' || *c == u'/';
        extension = *c == u'.' || (extension && *c != u'\\' && *c != u'/');
    }
    const char* dll = extension ? "" : ".dll";
    return folder ? SetupMakePath(path, "%s%a", name, dll)
                  : SetupMakePath(path, "%s\\%s%a", g_installation.systemFolder, name, dll);
}

bool FindDriverFile(const char16_t* name) {
    Installation& s = g_installation;
    uint32_t size = 0;
    bool made = DriverFile(name, s.originalFile);
    // A device's own touch driver often runs in place from ROM: it is there,
    // though it cannot be read as a file.
    s.originalInRom = made && SetupIsRomModule(s.originalFile);
    if (s.originalInRom) {
        SetupLog("%s: a module in ROM", s.originalFile);
        return true;
    }
    int32_t error = made ? SetupFileSize(s.originalFile, &size) : kSetupErrorNotFound;
    if (error != 0) {
        Because("the driver %s is not there as %s (%a)", name, s.originalFile,
                SetupErrorWords(error));
        return false;
    }
    SetupLog("%s: %u bytes", s.originalFile, size);
    return true;
}

// Penwick.dll beside the installer, and the original driver no copy of it.
bool FindPenwick(void) {
    Installation& s = g_installation;
    uint32_t size = 0;
    int32_t error = SetupMakePath(s.penwickSource, "%s\\%s", s.programFolder, kPenwickFile)
                        ? SetupFileSize(s.penwickSource, &size)
                        : kSetupErrorNotFound;
    if (error != 0) {
        Because("Penwick.dll is not beside the installer in %s (%a)", s.programFolder,
                SetupErrorWords(error));
        return false;
    }
    SetupLog("%s: %u bytes", s.penwickSource, size);
    int32_t whole = 0;
    error = SetupModuleIsWhole(s.penwickSource, &whole);
    if (error != 0) {
        Because("%s cannot be read (%a)", s.penwickSource, SetupErrorWords(error));
        return false;
    }
    if (!whole) {
        Because("%s is not a whole module (%u bytes): copy it from the package again",
                s.penwickSource, size);
        return false;
    }
    // A module in ROM is the device maker's, never a copy of Penwick.
    int32_t same = 0;
    error = s.originalInRom ? 0 : SetupCompareFiles(s.originalFile, s.penwickSource, &same);
    if (error != 0) {
        Because("%s cannot be read (%a)", s.originalFile, SetupErrorWords(error));
        return false;
    }
    if (same) {
        Because("%s is a copy of Penwick.dll, so the device's own touch driver is not known",
                s.originalFile);
        return false;
    }
    return true;
}

// Penwick.dll beside the installer, loaded by the device at boot: otherwise
// the device would have no touch input. /untrusted goes on all the same.
bool JudgePenwickTrust(bool untrusted) {
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
bool ReadSettings(const char16_t* named) {
    Installation& s = g_installation;
    uint32_t size = 0;
    if (named != nullptr) {
        bool made = ConfigurationIsFullPath(named)
                        ? SetupMakePath(s.settingsPath, "%s", named)
                        : SetupMakePath(s.settingsPath, "%s\\%s", s.programFolder, named);
        if (!made) {
            Because("the settings file's path is longer than %u characters", kSetupPathUnits - 1);
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
            Because("the settings file %s is larger than %u bytes", s.settingsPath,
                    kSettingsFileBytes);
            return false;
        }
        if (error != 0) {
            Because("the settings file %s cannot be read (%a)", s.settingsPath,
                    SetupErrorWords(error));
            return false;
        }
        bytes = s.fileBytes;
    }
    const char16_t* name = s.settingsPath[0] != 0 ? s.settingsPath : u"the recommended settings";
    SettingsFile& file = s.settings;
    if (!SettingsFileRead(bytes, size, &file)) {
        if (file.errorLine != 0) {
            Because("%s, line %d: %a", name, file.errorLine, file.error);
        } else {
            Because("%s: %a", name, file.error);
        }
        return false;
    }
    if (file.firstDeletionLine != 0) {
        Because("%s, line %d: %a", name, file.firstDeletionLine, kSettingsDeletionRefused);
        return false;
    }
    if (!file.penwickKey) {
        Because("%s writes nothing under HKEY_LOCAL_MACHINE\\%s", name, kConfigurationKey);
        return false;
    }
    SetupLog("settings: %s, %d values", name, file.count);
    return true;
}

// --- What the user chose, judged before anything is written -----------------

// The two keys as the install leaves them, whatever the registry holds now:
// DriverName names Penwick, OrigDriverName the driver Penwick forwards to,
// and every other value of Penwick's key is the settings file's, so that a
// file lacking a setting is refused even where an earlier install left that
// setting behind.
char g_chosenTouchKey;
char g_chosenPenwickKey;

int32_t ChosenOpenKey(const char16_t* subKey, SystemKey* key) {
    *key = SettingsSameName(subKey, kTouchKey)           ? &g_chosenTouchKey
           : SettingsSameName(subKey, kConfigurationKey) ? &g_chosenPenwickKey
                                                         : nullptr;
    return *key != nullptr ? 0 : kSetupErrorNotFound;
}

int32_t ChosenValue(uint32_t storedType, const void* stored, uint32_t storedSize, uint32_t* type,
                    void* data, uint32_t* size) {
    uint32_t room = *size;
    *type = storedType;
    *size = storedSize;
    if (storedSize > room) {
        return kSetupErrorMoreData;
    }
    memcpy(data, stored, storedSize);
    return 0;
}

int32_t ChosenQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                         uint32_t* size) {
    Installation& s = g_installation;
    if (key == &g_chosenTouchKey) {
        return SettingsSameName(name, kTouchDriverValue)
                   ? ChosenValue(kSystemRegistryString, kPenwickFile, sizeof kPenwickFile, type,
                                 data, size)
                   : kSetupErrorNotFound;
    }
    if (SettingsSameName(name, kOriginalValue)) {
        return ChosenValue(kSystemRegistryString, s.forwardsTo,
                           (Length(s.forwardsTo) + 1) * sizeof(char16_t), type, data, size);
    }
    for (int i = 0; i < s.settings.count; i++) {
        const SettingsValue& value = s.settings.values[i];
        if (SettingsSameName(name, value.name)) {
            return ChosenValue(value.type, value.data, value.size, type, data, size);
        }
    }
    return kSetupErrorNotFound;
}

void ChosenCloseKey(SystemKey) {}

const ConfigurationRegistry kChosenRegistry = {ChosenOpenKey, ChosenQueryValue, ChosenCloseKey};

// --- Writing, with the undo journal ------------------------------------------

// Writes one value after keeping what it was.
bool Write(SystemKey key, const char16_t* keyPath, const char16_t* name, uint32_t type,
           const void* data, uint32_t size) {
    Installation& s = g_installation;
    InstallationSaved& saved = s.saved[s.savedCount];
    saved.key = key;
    saved.name = name;
    saved.size = sizeof saved.data;
    int32_t error = SetupQueryValue(key, name, &saved.type, saved.data, &saved.size);
    if (error == kSetupErrorMoreData) {
        Because(
            "%s under HKEY_LOCAL_MACHINE\\%s has %u bytes, too many to keep for putting it "
            "back",
            name, keyPath, saved.size);
        return false;
    }
    if (error != 0 && error != kSetupErrorNotFound) {
        Because("%s under HKEY_LOCAL_MACHINE\\%s cannot be read (%a)", name, keyPath,
                SetupErrorWords(error));
        return false;
    }
    saved.existed = error == 0;
    saved.writtenType = type;
    saved.writtenSize = size;
    saved.written = data;
    // A value is written whole or not at all: one that was not needs no undoing.
    error = SetupSetValue(key, name, type, data, size);
    if (error != 0) {
        Because("%s cannot be written under HKEY_LOCAL_MACHINE\\%s (%a)", name, keyPath,
                SetupErrorWords(error));
        return false;
    }
    s.savedCount++;
    if (type == kSystemRegistryDword) {
        int32_t number;
        memcpy(&number, data, sizeof number);
        SetupLog("wrote %s = %d", name, number);
    } else {
        SetupLog("wrote %s = %s", name, static_cast<const char16_t*>(data));
    }
    return true;
}

// Reads back what the journal's entries from `first` on wrote.
bool ReadBack(int first) {
    Installation& s = g_installation;
    for (int i = first; i < s.savedCount; i++) {
        const InstallationSaved& saved = s.saved[i];
        alignas(4) uint8_t data[sizeof saved.data];
        uint32_t type = 0;
        uint32_t size = sizeof data;
        int32_t error = SetupQueryValue(saved.key, saved.name, &type, data, &size);
        if (error != 0 || type != saved.writtenType || size != saved.writtenSize ||
            memcmp(data, saved.written, size) != 0) {
            Because("%s does not read back as it was written", saved.name);
            return false;
        }
    }
    SetupLog("read back %d values", s.savedCount - first);
    return true;
}

bool Flush(SystemKey key, const char16_t* keyPath) {
    int32_t error = SetupFlushKey(key);
    if (error != 0) {
        Because("HKEY_LOCAL_MACHINE\\%s cannot be written out to the store (%a)", keyPath,
                SetupErrorWords(error));
        return false;
    }
    return true;
}

// \Windows\Penwick.dll: the same bytes stay; a different file is moved aside,
// so that it can be put back.
bool PlacePenwick(void) {
    Installation& s = g_installation;
    if (!SetupMakePath(s.penwickTarget, "%s\\%s", s.systemFolder, kPenwickFile) ||
        !SetupMakePath(s.penwickAside, "%s\\Penwick.dll.old", s.systemFolder)) {
        Because("the system's folder %s has too long a path", s.systemFolder);
        return false;
    }
    uint32_t size = 0;
    if (SetupFileSize(s.penwickTarget, &size) == 0) {
        int32_t same = 0;
        int32_t error = SetupCompareFiles(s.penwickSource, s.penwickTarget, &same);
        if (error != 0) {
            Because("%s cannot be read (%a)", s.penwickTarget, SetupErrorWords(error));
            return false;
        }
        if (same) {
            SetupLog("%s holds the same bytes already", s.penwickTarget);
            return true;
        }
        if (SetupFileSize(s.penwickAside, &size) == 0) {
            Because("%s is in the way: delete it and try again", s.penwickAside);
            return false;
        }
        error = SetupMoveFile(s.penwickTarget, s.penwickAside);
        if (error != 0) {
            Because(
                "%s differs from the Penwick.dll beside the installer and cannot be replaced "
                "(%a): uninstall, soft-reset and install again",
                s.penwickTarget, SetupErrorWords(error));
            return false;
        }
        s.penwickMovedAside = true;
        SetupLog("moved %s aside to %s", s.penwickTarget, s.penwickAside);
    }
    s.penwickCopied = true;
    int32_t error = SetupCopyFile(s.penwickSource, s.penwickTarget);
    if (error != 0) {
        Because("Penwick.dll cannot be copied to %s (%a)", s.penwickTarget, SetupErrorWords(error));
        return false;
    }
    SetupLog("copied %s to %s", s.penwickSource, s.penwickTarget);
    return true;
}

// OrigDriverName (unless it is kept) and the settings into Penwick's key.
bool WritePenwickKey(bool keepOriginal) {
    Installation& s = g_installation;
    // Open already when installing again: OrigDriverName was read from it.
    int32_t error = s.penwickKey != nullptr ? 0 : SetupOpenKey(kConfigurationKey, &s.penwickKey);
    if (error == kSetupErrorNotFound) {
        error = SetupCreateKey(kConfigurationKey, &s.penwickKey);
        s.penwickKeyCreated = error == 0;
    }
    if (error != 0) {
        s.penwickKey = nullptr;
        Because("HKEY_LOCAL_MACHINE\\%s cannot be made (%a)", kConfigurationKey,
                SetupErrorWords(error));
        return false;
    }
    if (keepOriginal) {
        SetupLog("OrigDriverName kept");
    } else if (!Write(s.penwickKey, kConfigurationKey, kOriginalValue, kSystemRegistryString,
                      s.touchDriver.name, (Length(s.touchDriver.name) + 1) * sizeof(char16_t))) {
        return false;
    }
    for (int i = 0; i < s.settings.count; i++) {
        const SettingsValue& value = s.settings.values[i];
        if (SettingsSameName(value.name, kOriginalValue)) {
            SetupLog("the settings' OrigDriverName is not used");
            continue;
        }
        if (!Write(s.penwickKey, kConfigurationKey, value.name, value.type, value.data,
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
        !Write(s.penwickKey, kConfigurationKey, kUntrustedValue, kSystemRegistryDword, untrusted,
               sizeof *untrusted)) {
        return false;
    }
    return Flush(s.penwickKey, kConfigurationKey) && ReadBack(0);
}

struct Verdict {
    bool beforeSwitch;  // DriverName is not switched yet: its finding is expected
    bool sayWarnings;   // each warning goes to the log
    int32_t errors;
    int32_t warnings;
    ConfigurationFinding firstError;
};

void Judge(const ConfigurationFinding& finding, void* context) {
    Verdict* verdict = static_cast<Verdict*>(context);
    if (finding.kind == FindingTouchDriverNotPenwick && verdict->beforeSwitch) {
        return;
    }
    char16_t text[256];
    uint32_t length = 0;
    FormatFinding(text, 256, &length, finding);
    if (finding.error) {
        if (verdict->errors++ == 0) {
            verdict->firstError = finding;
        }
        SetupLog("check: error: %s", text);
    } else {
        verdict->warnings++;
        if (verdict->sayWarnings) {
            SetupLog("check: warning: %s", text);
        }
    }
}

// The configuration check on what is written now.
bool Check(Verdict* verdict) {
    CheckConfigurationIn(kSetupRegistry, Judge, verdict);
    if (verdict->errors != 0) {
        BecauseFinding("with these settings, ", verdict->firstError);
        return false;
    }
    SetupLog("check: no error%a",
             verdict->beforeSwitch ? " but that DriverName is not switched yet" : "");
    return true;
}

// The settings as chosen, before anything is written: complete, and without
// an error of the check on their own.
bool JudgeChosenSettings(Verdict* verdict) {
    CheckConfigurationIn(kChosenRegistry, Judge, verdict);
    if (verdict->errors != 0) {
        BecauseFinding("with these settings, ", verdict->firstError);
        return false;
    }
    SetupLog("the settings chosen: no error, %d warnings", verdict->warnings);
    return true;
}

// DriverName to `name`, written out and read back.
bool SwitchDriverName(const char16_t* name) {
    Installation& s = g_installation;
    int first = s.savedCount;
    return Write(s.touchKey, kTouchKey, kTouchDriverValue, kSystemRegistryString, name,
                 (Length(name) + 1) * sizeof(char16_t)) &&
           Flush(s.touchKey, kTouchKey) && ReadBack(first);
}

// Puts back everything written, newest first; true when all of it was.
bool Undo(void) {
    Installation& s = g_installation;
    bool all = true;
    for (int i = s.savedCount - 1; i >= 0; i--) {
        const InstallationSaved& saved = s.saved[i];
        int32_t error =
            saved.existed ? SetupSetValue(saved.key, saved.name, saved.type, saved.data, saved.size)
                          : SetupDeleteValue(saved.key, saved.name);
        if (error != 0 && !(error == kSetupErrorNotFound && !saved.existed)) {
            SetupLog("undo: %s cannot be put back (%a)", saved.name, SetupErrorWords(error));
            all = false;
        } else {
            SetupLog(saved.existed ? "undo: %s put back" : "undo: %s deleted", saved.name);
        }
    }
    if (s.touchKey != nullptr && s.savedCount > 0) {
        SetupFlushKey(s.touchKey);
    }
    if (s.penwickKey != nullptr) {
        SetupFlushKey(s.penwickKey);
    }
    if (s.penwickKeyCreated) {
        SetupCloseKey(s.penwickKey);
        s.penwickKey = nullptr;
        int32_t error = SetupDeleteKey(kConfigurationKey);
        SetupLog(error == 0 ? "undo: Penwick's key deleted"
                            : "undo: Penwick's key cannot be deleted");
        all = all && error == 0;
    }
    if (s.penwickCopied) {
        int32_t error = SetupDeleteFile(s.penwickTarget);
        if (error != 0 && error != kSetupErrorNotFound) {
            SetupLog("undo: %s cannot be deleted (%a)", s.penwickTarget, SetupErrorWords(error));
            all = false;
        }
    }
    if (s.penwickMovedAside) {
        int32_t error = SetupMoveFile(s.penwickAside, s.penwickTarget);
        SetupLog(error == 0 ? "undo: %s put back" : "undo: %s cannot be put back", s.penwickTarget);
        all = all && error == 0;
    }
    return all;
}

InstallationResult Refused(void) {
    CloseKeys();
    SetupOutcome("Nothing was changed: %s.", g_installation.reason);
    return InstallationNothingChanged;
}

// After a failure once something was written.
InstallationResult Undone(void) {
    Installation& s = g_installation;
    if (Undo()) {
        return Refused();
    }
    SetupOutcome("It failed: %s.", s.reason);
    SetupOutcome("Putting everything back failed too; the log says what is left.");
    // What the host loads at the next boot matters most now.
    ConfigurationDriverName now;
    CheckDriverName(kSetupRegistry, s.touchKey, kTouchDriverValue, &now, nullptr, nullptr);
    CloseKeys();
    if (now.name != nullptr && SettingsSameName(now.name, s.touchDriver.name)) {
        SetupOutcome("DriverName still names %s.", now.name);
    } else {
        SetupOutcome("DriverName must name %s again before the device is soft-reset.",
                     s.touchDriver.name);
    }
    return InstallationNotUndone;
}

bool FileSize(const char16_t* path, uint32_t* size) { return SetupFileSize(path, size) == 0; }

// Deletes Penwick's key, which is open, and says so.
void Purge(void) {
    Installation& s = g_installation;
    SetupCloseKey(s.penwickKey);
    s.penwickKey = nullptr;
    int32_t error = SetupDeleteKey(kConfigurationKey);
    SetupOutcome(error == 0 ? "Penwick's settings are deleted."
                            : "Penwick's settings cannot be deleted (%a).",
                 SetupErrorWords(error));
}

// Says which values of Penwick's key, which is open, nothing reads: made by
// hand, or a setting's name mistyped.
void SayUnreadValues(void) {
    Installation& s = g_installation;
    char16_t names[kSetupOutcomeUnits];
    uint32_t length = 0;
    int count = 0;
    // A key holds few values; the bound only keeps a broken registry from
    // holding the installer here.
    for (uint32_t i = 0; i < 1000; i++) {
        char16_t name[kSettingsNameUnits];
        int32_t error = SetupValueName(s.penwickKey, i, name, kSettingsNameUnits);
        if (error == kSetupErrorMoreData) {
            uint32_t at = 0;
            SetupFormat(name, kSettingsNameUnits, &at, "(a name over %u characters)",
                        kSettingsNameUnits - 1);
        } else if (error != 0) {
            break;
        } else if (ConfigurationReadsValue(name) || SettingsSameName(name, kUntrustedValue)) {
            continue;
        }
        SetupFormat(names, kSetupOutcomeUnits, &length, count++ == 0 ? "%s" : ", %s", name);
    }
    if (count != 0) {
        SetupOutcome("Penwick does not read these values of its key: %s.", names);
    }
}

}  // namespace

InstallationResult InstallationInstall(const char16_t* settingsPath, bool untrusted) {
    Installation& s = g_installation;
    Begin();
    SetupLog("install");
    if (!ReadTouchDriver()) {
        return Refused();
    }
    bool again = NamesPenwick(s.touchDriver.name);
    if (again) {
        SetupLog("DriverName names Penwick: installing again, OrigDriverName kept");
        if (!ReadOriginalDriver()) {
            return Refused();
        }
    }
    s.forwardsTo = again ? s.originalDriver.name : s.touchDriver.name;
    Verdict chosen = {false, true, 0, 0, {}};
    if (!FindDriverFile(s.forwardsTo) || !FindPenwick() || !JudgePenwickTrust(untrusted) ||
        !ReadSettings(settingsPath) || !JudgeChosenSettings(&chosen)) {
        return Refused();
    }

    // What was written, judged as the driver will read it. Installing again,
    // DriverName names Penwick already: one check judges everything.
    Verdict written = {!again, false, 0, 0, {}};
    Verdict switched = {false, false, 0, 0, {}};
    if (!PlacePenwick() || !WritePenwickKey(again) || !Check(&written) ||
        (!again && (!SwitchDriverName(kPenwickFile) || !Check(&switched)))) {
        return Undone();
    }
    if (s.penwickMovedAside && SetupDeleteFile(s.penwickAside) != 0) {
        SetupLog("%s cannot be deleted; it is not used", s.penwickAside);
    }
    CloseKeys();
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

InstallationResult InstallationUninstall(bool purge) {
    Installation& s = g_installation;
    Begin();
    SetupLog(purge ? "uninstall --purge" : "uninstall");
    if (!ReadTouchDriver()) {
        return Refused();
    }
    if (!NamesPenwick(s.touchDriver.name)) {
        SetupLog("DriverName does not name Penwick: nothing to switch back");
        SetupOutcome("Penwick is not installed: the touch driver is %s.", s.touchDriver.name);
        if (purge && SetupOpenKey(kConfigurationKey, &s.penwickKey) == 0) {
            Purge();
        }
        CloseKeys();
        return InstallationDone;
    }
    if (!ReadOriginalDriver() || !FindDriverFile(s.originalDriver.name)) {
        return Refused();
    }
    if (!SwitchDriverName(s.originalDriver.name)) {
        return Undone();
    }
    SetupOutcome(
        "Penwick is uninstalled: the touch driver is %s again from the next boot. "
        "Soft-reset the device.",
        s.originalDriver.name);
    if (purge) {
        Purge();
    } else {
        SetupOutcome(
            "Penwick's settings stay under HKEY_LOCAL_MACHINE\\%s (uninstall --purge "
            "deletes them).",
            kConfigurationKey);
    }
    SetupOutcome("After the soft reset, \\Windows\\Penwick.dll is not used and may be deleted.");
    CloseKeys();
    return InstallationDone;
}

InstallationResult InstallationStatus(void) {
    Installation& s = g_installation;
    Begin();
    SetupLog("status");
    uint32_t size = 0;
    bool installed = false;
    // A file the host or Penwick cannot load at the next boot, which leaves
    // the device without touch input whatever the check finds.
    const char16_t* missing = nullptr;
    if (!ReadTouchDriver()) {
        SetupOutcome("%s.", s.reason);
    } else if (NamesPenwick(s.touchDriver.name)) {
        installed = true;
        SetupOutcome("Penwick is installed: DriverName names %s.", s.touchDriver.name);
        if (ReadOriginalDriver()) {
            bool found = FindDriverFile(s.originalDriver.name);
            SetupOutcome(found ? "It forwards to %s (%s)."
                               : "It forwards to %s, but %s is not there: no touch input!",
                         s.originalDriver.name, s.originalFile);
            missing = found ? nullptr : s.originalFile;
        } else {
            SetupOutcome("%s.", s.reason);
        }
    } else {
        SetupOutcome("Penwick is not installed: the touch driver is %s.", s.touchDriver.name);
    }
    if (s.penwickKey == nullptr && SetupOpenKey(kConfigurationKey, &s.penwickKey) != 0) {
        s.penwickKey = nullptr;
    }
    // Penwick's file: the one DriverName names when it names Penwick.
    char16_t penwick[kSetupPathUnits];
    if (!installed || !DriverFile(s.touchDriver.name, penwick)) {
        SetupMakePath(penwick, "%s\\%s", s.systemFolder, kPenwickFile);
    }
    bool there = FileSize(penwick, &size);
    SetupOutcome(there ? "%s: %u bytes." : "%s is not there.", penwick, size);
    if (installed && !there) {
        missing = penwick;
    }
    // Whether the host loads it at boot: unless it was installed with
    // /untrusted, a Penwick.dll the device does not trust leaves it without
    // touch input.
    bool untrusted = false;
    if (there) {
        bool loaded = DeviceTrustJudge(penwick);
        char16_t finding[kSetupOutcomeUnits];
        uint32_t length = 0;
        DeviceTrustFinding(kPenwickFile, finding, kSetupOutcomeUnits, &length);
        SetupOutcome("%s.", finding);
        uint32_t type = 0;
        uint32_t recorded = 0;
        uint32_t recordedSize = sizeof recorded;
        bool allowed = s.penwickKey != nullptr &&
                       SetupQueryValue(s.penwickKey, kUntrustedValue, &type, &recorded,
                                       &recordedSize) == 0 &&
                       recorded == 1;
        if (!loaded && allowed && installed) {
            SetupOutcome(
                "It was installed with /untrusted: the device has touch input at the next boot "
                "only if it loads unsigned boot drivers.");
        }
        untrusted = installed && !loaded && !allowed;
    }

    Verdict verdict = {false, false, 0, 0, {}};
    CheckConfigurationIn(kSetupRegistry, Judge, &verdict);
    bool noTouchInput = missing != nullptr || untrusted;
    if (missing != nullptr) {
        SetupOutcome(
            "At the next boot Penwick does not filter and there is no touch input: %s is not "
            "there.",
            missing);
    } else if (untrusted) {
        char16_t advice[kSetupOutcomeUnits];
        uint32_t length = 0;
        DeviceTrustAdvice(advice, kSetupOutcomeUnits, &length);
        SetupOutcome(
            "At the next boot the host does not load Penwick and there is no touch input: "
            "uninstall, or %s.",
            advice);
    } else if (verdict.errors == 0) {
        SetupOutcome("At the next boot Penwick filters (the check finds no error, %d warnings).",
                     verdict.warnings);
    } else {
        char16_t text[256];
        uint32_t length = 0;
        FormatFinding(text, 256, &length, verdict.firstError);
        SetupOutcome("At the next boot Penwick does not filter: %s%a.", text,
                     verdict.errors > 1 ? " (and more: see the log)" : "");
        // Penwick loaded, but with no driver to forward to.
        noTouchInput = installed && (verdict.firstError.kind == FindingDriverNameEmpty ||
                                     verdict.firstError.kind == FindingDriverNameIsPenwick);
    }

    // The capture, by the driver's own rules for its two values, when the
    // driver is loaded at all.
    alignas(4) char16_t capture[kCaptureFileUnits];
    uint32_t type = 0;
    uint32_t captureSize = sizeof capture;
    uint32_t limit = 0;
    uint32_t limitSize = sizeof limit;
    bool on = installed && !noTouchInput && s.penwickKey != nullptr &&
              SetupQueryValue(s.penwickKey, u"CaptureFile", &type, capture, &captureSize) == 0 &&
              ConfigurationCaptureFileUsable(type, capture, captureSize);
    bool limitRead =
        on && SetupQueryValue(s.penwickKey, u"CaptureLimit", &type, &limit, &limitSize) == 0 &&
        limitSize == sizeof limit;
    limit = ConfigurationCaptureLimit(limitRead, limit);
    if (!on) {
        SetupOutcome("Capture is off.");
    } else if (FileSize(capture, &size)) {
        SetupOutcome("Capture is on, into %s: %u bytes of at most %u.", capture, size, limit);
    } else {
        SetupOutcome("Capture is on, into %s (no file yet), at most %u bytes.", capture, limit);
    }
    if (s.penwickKey != nullptr) {
        SayUnreadValues();
    }
    CloseKeys();
    return noTouchInput ? InstallationNoTouchInput : InstallationDone;
}

bool InstallationIsInstalled(char16_t driver[kSetupPathUnits]) {
    Installation& s = g_installation;
    Begin();
    driver[0] = 0;
    bool installed = false;
    if (ReadTouchDriver()) {
        installed = NamesPenwick(s.touchDriver.name);
        const char16_t* name = s.touchDriver.name;
        if (installed) {
            name = ReadOriginalDriver() ? s.originalDriver.name : u"";
        }
        SetupMakePath(driver, "%s", name);
    }
    CloseKeys();
    return installed;
}

void InstallationLogPath(char16_t path[kSetupPathUnits]) {
    char16_t folder[kSetupPathUnits];
    SetupSystemFolder(folder, kSetupPathUnits);
    SetupMakePath(path, "%s\\PenwickSetup.log", folder);
}

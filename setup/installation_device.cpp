#include "setup/installation_device.h"

#include <string.h>

#include "setup/setup_files.h"

const ConfigurationRegistry kInstallationRegistry = {SetupOpenKey, SetupQueryValue, SetupCloseKey};

namespace {

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

// One finding counted into the verdict that `context` points to, and logged.
void InstallationCountFinding(const ConfigurationFinding& finding, void* context) {
    InstallationVerdict* verdict = static_cast<InstallationVerdict*>(context);
    if (finding.kind == FindingTouchDriverNotPenwick && verdict->beforeSwitch) {
        return;
    }
    char16_t text[256];
    uint32_t length = 0;
    InstallationFormatFinding(text, 256, &length, finding);
    if (finding.error) {
        verdict->noOriginalDriver = verdict->noOriginalDriver ||
                                    finding.kind == FindingDriverNameEmpty ||
                                    finding.kind == FindingDriverNameIsPenwick;
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

}  // namespace

uint32_t InstallationStringBytes(const char16_t* text) {
    uint32_t length = 0;
    while (text[length] != 0) {
        length++;
    }
    return (length + 1) * sizeof(char16_t);
}

// --- Saying why -------------------------------------------------------------

void InstallationRecordFailure(const char* format, ...) {
    Installation& s = g_installation;
    uint32_t length = 0;
    va_list arguments;
    va_start(arguments, format);
    SetupFormatList(s.reason, kSetupOutcomeUnits, &length, format, arguments);
    va_end(arguments);
    SetupLog("failed: %s", s.reason);
}

void InstallationFormatFinding(char16_t* text, uint32_t units, uint32_t* length,
                               const ConfigurationFinding& finding) {
    SetupFormat(text, units, length, "%s ", finding.value);
    SetupFormat(text, units, length, ConfigurationFindingPhrase(finding.kind), finding.number);
}

void InstallationRecordFindingFailure(const char* lead, const ConfigurationFinding& finding) {
    Installation& s = g_installation;
    uint32_t length = 0;
    SetupFormat(s.reason, kSetupOutcomeUnits, &length, "%a", lead);
    InstallationFormatFinding(s.reason, kSetupOutcomeUnits, &length, finding);
    SetupLog("failed: %s", s.reason);
}

InstallationResult InstallationRefuse(void) {
    InstallationCloseKeys();
    SetupOutcome("Nothing was changed: %s.", g_installation.reason);
    return InstallationNothingChanged;
}

// --- Reading what is there ---------------------------------------------------

void InstallationResetRecord(void) {
    Installation& s = g_installation;
    memset(&s, 0, sizeof s);
    InstallationProgramFolder(s.programFolder);
    SetupSystemFolder(s.systemFolder, kSetupPathUnits);
}

void InstallationCloseKeys(void) {
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

bool InstallationReadDriverName(void) {
    Installation& s = g_installation;
    int32_t error = SetupOpenKey(kTouchKey, &s.touchKey);
    if (error != 0) {
        s.touchKey = nullptr;
        InstallationRecordFailure("HKEY_LOCAL_MACHINE\\%s cannot be opened: %a", kTouchKey,
                                  SetupErrorWords(error));
        return false;
    }
    FirstFinding first = {};
    CheckDriverName(kInstallationRegistry, s.touchKey, kTouchDriverValue, &s.touchDriver,
                    KeepFirstFinding, &first);
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

bool InstallationReadOrigDriverName(void) {
    Installation& s = g_installation;
    if (s.penwickKey == nullptr) {
        int32_t error = SetupOpenKey(kConfigurationKey, &s.penwickKey);
        if (error != 0) {
            s.penwickKey = nullptr;
            InstallationRecordFailure(
                "DriverName names Penwick, but Penwick's key HKEY_LOCAL_MACHINE\\%s is not "
                "there, so the device's own touch driver is not known",
                kConfigurationKey);
            return false;
        }
    }
    FirstFinding first = {};
    CheckOriginalDriverName(kInstallationRegistry, s.penwickKey, &s.originalDriver,
                            KeepFirstFinding, &first);
    if (first.any) {
        InstallationRecordFindingFailure("DriverName names Penwick, and ", first.finding);
        return false;
    }
    SetupLog("OrigDriverName: %s", s.originalDriver.name);
    return true;
}

bool InstallationDriverFilePath(const char16_t* name, char16_t path[kSetupPathUnits]) {
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

bool InstallationFindDriverFile(const char16_t* name) {
    Installation& s = g_installation;
    uint32_t size = 0;
    bool made = InstallationDriverFilePath(name, s.originalFile);
    // A device's own touch driver often runs in place from ROM: it is there,
    // though it cannot be read as a file.
    s.originalInRom = made && SetupIsRomModule(s.originalFile);
    if (s.originalInRom) {
        SetupLog("%s: a module in ROM", s.originalFile);
        return true;
    }
    int32_t error = made ? SetupFileSize(s.originalFile, &size) : kSetupErrorNotFound;
    if (error != 0) {
        InstallationRecordFailure("the driver %s is not there as %s (%a)", name, s.originalFile,
                                  SetupErrorWords(error));
        return false;
    }
    SetupLog("%s: %u bytes", s.originalFile, size);
    return true;
}

bool InstallationFindPenwickSource(void) {
    Installation& s = g_installation;
    uint32_t size = 0;
    int32_t error = SetupMakePath(s.penwickSource, "%s\\%s", s.programFolder, kPenwickFile)
                        ? SetupFileSize(s.penwickSource, &size)
                        : kSetupErrorNotFound;
    if (error != 0) {
        InstallationRecordFailure("Penwick.dll is not beside the installer in %s (%a)",
                                  s.programFolder, SetupErrorWords(error));
        return false;
    }
    SetupLog("%s: %u bytes", s.penwickSource, size);
    int32_t whole = 0;
    error = SetupModuleIsWhole(s.penwickSource, &whole);
    if (error != 0) {
        InstallationRecordFailure("%s cannot be read (%a)", s.penwickSource,
                                  SetupErrorWords(error));
        return false;
    }
    if (!whole) {
        InstallationRecordFailure(
            "%s is not a whole module (%u bytes): copy it from the package again", s.penwickSource,
            size);
        return false;
    }
    // A module in ROM is the device maker's, never a copy of Penwick.
    int32_t same = 0;
    error = s.originalInRom ? 0 : SetupCompareFiles(s.originalFile, s.penwickSource, &same);
    if (error != 0) {
        InstallationRecordFailure("%s cannot be read (%a)", s.originalFile, SetupErrorWords(error));
        return false;
    }
    if (same) {
        InstallationRecordFailure(
            "%s is a copy of Penwick.dll, so the device's own touch driver is not known",
            s.originalFile);
        return false;
    }
    return true;
}

void InstallationRemoveRetiredFiles(const char16_t* keep, char16_t* stays) {
    Installation& s = g_installation;
    if (stays != nullptr) {
        stays[0] = 0;
    }
    char16_t kept[kSetupPathUnits];
    if (!InstallationDriverFilePath(keep, kept)) {
        return;
    }
    // The names first, then the deletions, which would renumber the files.
    const uint32_t kMost = 16;
    const uint32_t kNameUnits = 64;
    char16_t names[kMost][kNameUnits];
    uint32_t count = 0;
    for (uint32_t i = 0; count < kMost; i++) {
        int32_t error = SetupFileInFolder(s.systemFolder, kPenwickModuleStem, i, names[count],
                                          kNameUnits);
        if (error == kSetupErrorMoreData) {
            continue;
        }
        if (error != 0) {
            break;
        }
        // Penwick.dll.old: what an earlier installer moved aside.
        char16_t* name = names[count];
        uint32_t length = 0;
        while (name[length] != 0) {
            length++;
        }
        bool aside = length > 4 && AsciiSameText(name + length - 4, ".old");
        if (aside) {
            name[length - 4] = 0;
        }
        bool penwick = NamesPenwick(name);
        if (aside) {
            name[length - 4] = u'.';
        }
        count += penwick ? 1 : 0;
    }
    for (uint32_t i = 0; i < count; i++) {
        char16_t path[kSetupPathUnits];
        if (!SetupMakePath(path, "%s\\%s", s.systemFolder, names[i]) ||
            AsciiSameText(path, kept)) {
            continue;
        }
        int32_t error = SetupDeleteFile(path);
        if (error == 0) {
            SetupLog("deleted %s: an earlier install's, not used", path);
        } else {
            SetupLog("%s stays (%a): a later run after the next boot deletes it", path,
                     SetupErrorWords(error));
            if (stays != nullptr && stays[0] == 0) {
                SetupMakePath(stays, "%s", path);
            }
        }
    }
}

// --- The check's verdict -----------------------------------------------------

void InstallationCountFindings(const ConfigurationRegistry& registry,
                               InstallationVerdict* verdict) {
    CheckConfigurationIn(registry, InstallationCountFinding, verdict);
}

bool InstallationCheck(const ConfigurationRegistry& registry, InstallationVerdict* verdict) {
    InstallationCountFindings(registry, verdict);
    if (verdict->errors != 0) {
        InstallationRecordFindingFailure("with these settings, ", verdict->firstError);
        return false;
    }
    return true;
}

bool InstallationCheckWritten(InstallationVerdict* verdict) {
    if (!InstallationCheck(kInstallationRegistry, verdict)) {
        return false;
    }
    SetupLog("check: no error%a",
             verdict->beforeSwitch ? " but that DriverName is not switched yet" : "");
    return true;
}

#include "setup/cab_setup.h"

#include "platform/setup_services.h"
#include "setup/installation.h"
#include "setup/setup_command.h"
#include "setup/setup_files.h"

namespace {

struct CabShortcut {
    const char* name;
    const char* command;  // PenwickSetup's
};

const CabShortcut kCabShortcuts[] = {
    {"Penwick status.lnk", "status"},
    {"Penwick uninstall.lnk", "uninstall"},
};

bool CabShortcutPath(const CabShortcut& shortcut, char16_t path[kSetupPathUnits]) {
    return SetupMakePath(path, "%s\\%a", kCabSetupShortcutFolder, shortcut.name);
}

// A shortcut is a line of text: the count of the characters after the '#',
// the '#', and the command line, the program quoted.
void CabWriteShortcuts(const char16_t* folder) {
    for (const CabShortcut& shortcut : kCabShortcuts) {
        char16_t command[kSetupPathUnits + 32];
        uint32_t length = 0;
        SetupFormat(command, kSetupPathUnits + 32, &length, "\"%s\\PenwickSetup.exe\" %a", folder,
                    shortcut.command);
        char16_t text[kSetupPathUnits + 48];
        uint32_t textLength = 0;
        SetupFormat(text, kSetupPathUnits + 48, &textLength, "%u#%s", length, command);
        char bytes[(kSetupPathUnits + 48) * 3];
        uint32_t size = SetupUtf8(text, textLength, bytes, sizeof bytes);
        char16_t path[kSetupPathUnits];
        int32_t error = CabShortcutPath(shortcut, path) ? 0 : kSetupErrorPathNotFound;
        if (error == 0) {
            SetupDeleteFile(path);
            error = SetupAppendToFile(path, bytes, size);
        }
        if (error == 0) {
            SetupLog("shortcut %s: %s", path, command);
        } else {
            SetupLog("shortcut %s cannot be written (%a)", path, SetupErrorWords(error));
        }
    }
}

void CabDeleteShortcuts(void) {
    for (const CabShortcut& shortcut : kCabShortcuts) {
        char16_t path[kSetupPathUnits];
        if (CabShortcutPath(shortcut, path) && SetupDeleteFile(path) == 0) {
            SetupLog("deleted the shortcut %s", path);
        }
    }
}

// Runs PenwickSetup's `command` from the CAB's folder, quiet or not, with
// (when `fleet`) the switches of PenwickSetup.options in the system's folder.
int32_t CabRun(bool quiet, const char16_t* folder, const char* command, bool fleet,
               const char16_t* refusal) {
    char16_t line[64];
    uint32_t length = 0;
    SetupFormat(line, 64, &length, quiet ? "%a /quiet" : "%a", command);
    char16_t system[kSetupPathUnits];
    char16_t path[kSetupPathUnits];
    SetupSystemFolder(system, kSetupPathUnits);
    char options[kSetupPathUnits];
    uint32_t size = 0;
    char16_t switches[kSetupPathUnits];
    bool given = fleet && SetupMakePath(path, "%s\\%s", system, kCabSetupOptionsFile) &&
                 SetupReadWholeFile(path, options, sizeof options, &size) == 0;
    // Its first line, after a UTF-8 byte-order mark.
    uint32_t from = size >= 3 && options[0] == '\xEF' && options[1] == '\xBB' &&
                            options[2] == '\xBF'
                        ? 3
                        : 0;
    uint32_t units = 0;
    for (uint32_t i = from; given && i < size && options[i] != '\r' && options[i] != '\n' &&
                            units + 1 < kSetupPathUnits;
         i++) {
        switches[units++] = static_cast<char16_t>(static_cast<uint8_t>(options[i]));
    }
    switches[units] = 0;
    return SetupRunFrom(kCabSetupProgram, folder, line, given ? switches : nullptr, refusal);
}

}  // namespace

int32_t CabSetupInstallExit(bool quiet, const char16_t* given, uint32_t failed) {
    char16_t folder[kSetupPathUnits];
    SetupMakeFolder(folder, given);
    char16_t incomplete[kSetupPathUnits + 160];
    uint32_t length = 0;
    SetupFormat(incomplete, kSetupPathUnits + 160, &length,
                "%u of the CAB's files and folders could not be installed in %s. Copy the CAB "
                "to the device again, whole, and install it again.",
                failed, folder);
    if (CabRun(quiet, folder, "install", true, failed != 0 ? incomplete : nullptr) !=
        InstallationDone) {
        return kCabSetupRollBack;
    }
    SetupReportReset();
    // A folder on a storage card serves as well: the system may not load
    // drivers from a card at boot, but the module it loads is in \Windows.
    SetupLog("the CAB's files are in %s; the touch driver is in \\Windows", folder);
    CabWriteShortcuts(folder);
    SetupFinish(kCabSetupProgram, u"shortcuts", InstallationDone);
    return kCabSetupDone;
}

int32_t CabSetupUninstallInit(bool quiet, const char16_t* given) {
    char16_t folder[kSetupPathUnits];
    SetupMakeFolder(folder, given);
    if (CabRun(quiet, folder, "uninstall", false, nullptr) != InstallationDone) {
        return kCabSetupCancel;
    }
    SetupReportReset();
    CabDeleteShortcuts();
    SetupFinish(kCabSetupProgram, u"shortcuts", InstallationDone);
    return kCabSetupContinue;
}

#include "setup/installation.h"

#include "setup/installation_device.h"
#include "setup/setup_files.h"

Installation g_installation;

namespace {
char16_t g_programFolder[kSetupPathUnits];  // empty: beside the installer
}

void InstallationUseProgramFolder(const char16_t* folder) {
    if (folder == nullptr || !SetupMakePath(g_programFolder, "%s", folder)) {
        g_programFolder[0] = 0;
    }
}

void InstallationProgramFolder(char16_t folder[kSetupPathUnits]) {
    if (g_programFolder[0] == 0 || !SetupMakePath(folder, "%s", g_programFolder)) {
        SetupProgramFolder(folder, kSetupPathUnits);
    }
}

bool InstallationIsInstalled(char16_t driver[kSetupPathUnits]) {
    Installation& s = g_installation;
    InstallationResetRecord();
    driver[0] = 0;
    bool installed = false;
    if (InstallationReadDriverName()) {
        installed = NamesPenwick(s.touchDriver.name);
        const char16_t* name = s.touchDriver.name;
        if (installed) {
            name = InstallationReadOrigDriverName() ? s.originalDriver.name : u"";
        }
        SetupMakePath(driver, "%s", name);
    }
    InstallationCloseKeys();
    return installed;
}

void InstallationLogPath(char16_t path[kSetupPathUnits]) {
    char16_t folder[kSetupPathUnits];
    SetupSystemFolder(folder, kSetupPathUnits);
    SetupMakePath(path, "%s\\PenwickSetup.log", folder);
}

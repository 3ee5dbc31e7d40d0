#include "setup/installation.h"

#include "registry/registry_contract.h"
#include "setup/installation_device.h"
#include "setup/installation_journal.h"
#include "setup/setup_files.h"

namespace {

// Deletes Penwick's key, which is open, and says so.
void UninstallDeletePenwickKey(void) {
    Installation& s = g_installation;
    SetupCloseKey(s.penwickKey);
    s.penwickKey = nullptr;
    int32_t error = SetupDeleteKey(kConfigurationKey);
    SetupOutcome(error == 0 ? "Penwick's settings are deleted."
                            : "Penwick's settings cannot be deleted (%a).",
                 SetupErrorWords(error));
}

}  // namespace

InstallationResult InstallationUninstall(bool purge) {
    Installation& s = g_installation;
    InstallationResetRecord();
    SetupLog(purge ? "uninstall --purge" : "uninstall");
    if (!InstallationReadDriverName()) {
        return InstallationRefuse();
    }
    if (!NamesPenwick(s.touchDriver.name)) {
        SetupLog("DriverName does not name Penwick: nothing to switch back");
        SetupOutcome("Penwick is not installed: the touch driver is %s.", s.touchDriver.name);
        if (purge && SetupOpenKey(kConfigurationKey, &s.penwickKey) == 0) {
            UninstallDeletePenwickKey();
        }
        InstallationRemoveRetiredFiles(s.touchDriver.name);
        InstallationCloseKeys();
        return InstallationDone;
    }
    if (!InstallationReadOrigDriverName() || !InstallationFindDriverFile(s.originalDriver.name)) {
        return InstallationRefuse();
    }
    if (!JournalSwitchDriverName(s.originalDriver.name)) {
        return JournalUndoAfterFailure();
    }
    SetupOutcome(
        "Penwick is uninstalled: the touch driver is %s again from the next boot. "
        "Soft-reset the device.",
        s.originalDriver.name);
    if (purge) {
        UninstallDeletePenwickKey();
    } else {
        SetupOutcome(
            "Penwick's settings stay under HKEY_LOCAL_MACHINE\\%s (uninstall --purge "
            "deletes them).",
            kConfigurationKey);
    }
    // The module the host loaded at boot is in use until the next one.
    char16_t stays[kSetupPathUnits];
    InstallationRemoveRetiredFiles(s.originalDriver.name, stays);
    if (stays[0] != 0) {
        SetupOutcome("After the soft reset, %s is not used and may be deleted.", stays);
    }
    InstallationCloseKeys();
    return InstallationDone;
}

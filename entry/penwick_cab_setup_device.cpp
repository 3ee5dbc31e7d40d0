// The Penwick CAB's setup DLL on the device: the four functions the
// system's installer looks up by name in the CAB's setup DLL
// (setup/cab_setup.h says what each does). Without a window of the
// installer's to show things over, it runs silently. Nothing runs before
// DllMain (no C run-time start-up code).
#include "platform/device/coredll.h"
#include "setup/cab_setup.h"

extern "C" {

BOOL DllMain(HANDLE, DWORD, void*) { return 1; }

// Before anything is installed: nothing to judge yet, the files are not
// there.
int Install_Init(HANDLE, BOOL, BOOL, const char16_t*) { return kCabSetupContinue; }

// The five counts are WORDs, each passed in a 32-bit register or stack
// slot whose upper half the caller need not clear.
int Install_Exit(HANDLE window, const char16_t* folder, DWORD failedDirs, DWORD failedFiles,
                 DWORD failedKeys, DWORD failedValues, DWORD failedShortcuts) {
    uint32_t failed = (failedDirs & 0xFFFF) + (failedFiles & 0xFFFF) + (failedKeys & 0xFFFF) +
                      (failedValues & 0xFFFF) + (failedShortcuts & 0xFFFF);
    return CabSetupInstallExit(window == nullptr, folder != nullptr ? folder : u"", failed);
}

int Uninstall_Init(HANDLE window, const char16_t* folder) {
    return CabSetupUninstallInit(window == nullptr, folder != nullptr ? folder : u"");
}

int Uninstall_Exit(HANDLE) { return kCabSetupDone; }
}

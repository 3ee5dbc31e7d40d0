// What the Penwick CAB's setup DLL does when the system's installer
// (wceload, from a tap on the .cab, a management console, or Remove
// Programs) calls it. The CAB puts Penwick.dll, PenwickSetup.exe, the .reg
// files and README.txt in its folder (\Program Files\Penwick, or where the
// user chose); the setup DLL then runs PenwickSetup's own install from that
// folder, with every check it makes, and its uninstall before the folder is
// removed:
//
//   after the files are installed   the install of install.reg; refused,
//                                   or a file of the CAB not installed, the
//                                   system is told to roll the installation
//                                   back, so that the device is as it was.
//                                   Installed, two Start-menu shortcuts:
//                                   "Penwick status" and "Penwick uninstall".
//   before the files are removed    the uninstall; refused, the removal is
//                                   cancelled. Done, the shortcuts go.
//
// With no window to show them in (a silent install), nothing is shown and
// nothing waits for a tap: the outcome goes to the log, as every run's does
// (setup/setup_command.h). Since a silent install may still be given a
// window, a fleet can put PenwickSetup's /quiet and /log FOLDER ("/quiet
// /log \Storage Card\fleet") in \Windows\PenwickSetup.options before it
// installs the CAB: the install adds them to its command (Remove Programs,
// where a user is at the screen, does not).
// The entry points themselves are in entry/penwick_cab_setup_device.cpp.
#ifndef PENWICK_SETUP_CAB_SETUP_H
#define PENWICK_SETUP_CAB_SETUP_H

#include <stdint.h>

// The answers the system's installer takes, by their values.
const int32_t kCabSetupContinue = 0;  // codeINSTALL_INIT_CONTINUE, codeUNINSTALL_INIT_CONTINUE
const int32_t kCabSetupCancel = 1;    // codeINSTALL_INIT_CANCEL, codeUNINSTALL_INIT_CANCEL
const int32_t kCabSetupDone = 0;      // codeINSTALL_EXIT_DONE, codeUNINSTALL_EXIT_DONE
const int32_t kCabSetupRollBack = 1;  // codeINSTALL_EXIT_UNINSTALL

// The program's name in the log.
const char kCabSetupProgram[] = "Penwick CAB setup";

// The switches a fleet gives the setup DLL, one line of ASCII.
const char16_t kCabSetupOptionsFile[] = u"PenwickSetup.options";

// Where the shortcuts go: the Start menu's Programs.
const char16_t kCabSetupShortcutFolder[] = u"\\Windows\\Start Menu\\Programs";

// After the CAB's files went into `folder`; `failed` of its folders,
// files, registry keys and values and shortcuts could not be installed.
int32_t CabSetupInstallExit(bool quiet, const char16_t* folder, uint32_t failed);

// Before the files in `folder` are removed.
int32_t CabSetupUninstallInit(bool quiet, const char16_t* folder);

#endif

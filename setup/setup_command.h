// PenwickSetup's command line, what it asks, what it shows and what it logs.
//
//   PenwickSetup install [SETTINGS.reg] [/untrusted] [/quiet] [/log FOLDER]
//   PenwickSetup uninstall [--purge] [/quiet] [/log FOLDER]
//   PenwickSetup status [/quiet] [/log FOLDER]
//   PenwickSetup                (as the file explorer starts it)
//
// Without a command it asks first, in a message box that says what it will
// do: install; or, when Penwick is installed, install again or uninstall. A
// settings file named by a relative path is beside the installer (a device
// has no current folder). Every run appends what it did to
// PenwickSetup.log in the system's folder (\Windows), or in the folder
// /log names (a storage card, for a fleet's results), and shows the
// outcome in a message box; /quiet shows none and asks nothing, so that
// nothing waits for a tap. /untrusted installs a Penwick.dll that a
// Windows Mobile device does not load at boot, for a device known to load
// unsigned boot drivers (setup/device_trust.h). One run at a time: a
// second, while one runs, changes nothing.
#ifndef PENWICK_SETUP_SETUP_COMMAND_H
#define PENWICK_SETUP_SETUP_COMMAND_H

#include <stdint.h>

#include "setup/setup_report.h"

// The words of the command line, at most this many.
const int kSetupWords = 6;

struct SetupCommand {
    char16_t words[kSetupWords][kSetupPathUnits];
    int count;
    bool quiet;
    bool untrusted;  // install a Penwick.dll the device may not load at boot
    char16_t logFolder[kSetupPathUnits];  // /log's folder; empty: the system's folder
    // /log's folder when it could not be written, and why.
    char16_t logUnwritten[kSetupPathUnits];
    int32_t logError;
    // The log's text for the file, as UTF-8.
    char logBytes[kSetupLogUnits * 3 + 1024];
};

extern SetupCommand g_setupCommand;

// The program's name in the log.
const char kSetupProgram[] = "PenwickSetup";
// Where the log goes without /log, as the outcome names it.
const char kSetupLogDefaultFolder[] = "the system's folder (\\Windows)";

// Runs the command line (without the program's name) and returns the exit
// code: an InstallationResult.
int32_t SetupRun(const char16_t* commandLine);

// The same, as `program` (for the log) and with Penwick.dll and the
// settings in `folder` rather than beside the program (when not null), with
// the /quiet and /log FOLDER of `switches` (when not null) taken too; or,
// given a `refusal`, only the switches are taken and the command is
// refused, nothing changed, for that reason.
int32_t SetupRunFrom(const char* program, const char16_t* folder, const char16_t* commandLine,
                     const char16_t* switches, const char16_t* refusal);

// Logs the run of `line` and shows its outcome, unless quiet.
void SetupFinish(const char* program, const char16_t* line, int32_t result);

// Where this run's log goes: PenwickSetup.log in /log's folder, or in the
// system's folder.
void SetupLogPath(char16_t path[kSetupPathUnits]);

#endif

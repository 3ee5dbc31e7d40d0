#include "setup/setup_command.h"

#include <string.h>

#include "platform/ascii.h"
#include "platform/device_identity.h"
#include "platform/setup_services.h"
#include "setup/installation.h"
#include "penwick_version.h"
#include "setup/setup_files.h"

SetupCommand g_setupCommand;

namespace {

bool Is(const char16_t* word, const char* text) { return AsciiSameText(word, text); }

// Splits the command line into words at blanks; double quotes keep blanks
// in a word. False when there are too many words or one is too long.
bool SplitWords(const char16_t* line) {
    SetupCommand& c = g_setupCommand;
    c.count = 0;
    c.quiet = false;
    c.untrusted = false;
    c.logFolder[0] = 0;
    while (*line != 0) {
        if (*line == u' ' || *line == u'\t') {
            line++;
            continue;
        }
        if (c.count == kSetupWords) {
            return false;
        }
        char16_t* word = c.words[c.count++];
        uint32_t length = 0;
        bool quoted = false;
        for (; *line != 0 && (quoted || (*line != u' ' && *line != u'\t')); line++) {
            if (*line == u'"') {
                quoted = !quoted;
            } else if (length + 1 < kSetupPathUnits) {
                word[length++] = *line;
            } else {
                return false;
            }
        }
        word[length] = 0;
        if (Is(word, "/quiet") || Is(word, "/untrusted")) {
            (Is(word, "/quiet") ? c.quiet : c.untrusted) = true;
            c.count--;
        }
    }
    // "/log FOLDER", anywhere.
    for (int i = 0; i < c.count; i++) {
        if (Is(c.words[i], "/log")) {
            if (i + 1 == c.count || c.words[i + 1][0] == 0) {
                return false;
            }
            SetupMakeFolder(c.logFolder, c.words[i + 1]);
            for (int k = i; k + 2 < c.count; k++) {
                memcpy(c.words[k], c.words[k + 2], sizeof c.words[k]);
            }
            c.count -= 2;
            i--;
        }
    }
    return true;
}

InstallationResult Usage(const char16_t* line) {
    SetupOutcome("PenwickSetup does not understand \"%s\".", line);
    SetupOutcome(
        "Use: PenwickSetup install [SETTINGS.reg] [/untrusted] | uninstall [--purge] | status, "
        "each with /quiet for no message box and /log FOLDER for the log's folder.");
    return InstallationUsage;
}

// Without a command: asks what to do, saying what it will do.
InstallationResult Ask(void) {
    char16_t driver[kSetupPathUnits];
    bool installed = InstallationIsInstalled(driver);
    const char16_t* name = driver[0] != 0 ? driver : u"the device's touch driver";
    char16_t question[1024];
    uint32_t length = 0;
    if (!installed) {
        SetupFormat(question, 1024, &length,
                    "Install Penwick in front of %s?\n\n"
                    "Penwick.dll goes into \\Windows, its settings (install.reg beside "
                    "PenwickSetup, or the recommended ones) into the registry, and Penwick becomes "
                    "the touch driver. If any step fails, everything is put back. Soft-reset the "
                    "device afterwards.",
                    name);
        SetupReportReset();
        return SetupAsk(question, false) == SetupAnswerYes ? InstallationInstall(nullptr, false)
                                                           : InstallationNothingChanged;
    }
    SetupFormat(question, 1024, &length,
                "Penwick is installed, in front of %s.\n\n"
                "Yes: install it again, with the settings of install.reg beside PenwickSetup (or "
                "the recommended ones).\n"
                "No: uninstall it; its settings stay.\n"
                "Cancel: change nothing.",
                name);
    SetupReportReset();
    SetupAnswer answer = SetupAsk(question, true);
    return answer == SetupAnswerYes  ? InstallationInstall(nullptr, false)
           : answer == SetupAnswerNo ? InstallationUninstall(false)
                                     : InstallationNothingChanged;
}

InstallationResult RunWords(const char16_t* line) {
    SetupCommand& c = g_setupCommand;
    if (c.count == 0) {
        return c.quiet ? Usage(line) : Ask();
    }
    const char16_t* command = c.words[0];
    if (Is(command, "install") && c.count <= 2) {
        bool named = c.count == 2 && c.words[1][0] != u'-' && c.words[1][0] != u'/';
        if (c.count == 2 && !named) {
            return Usage(line);
        }
        return InstallationInstall(named ? c.words[1] : nullptr, c.untrusted);
    }
    if (c.untrusted) {
        return Usage(line);
    }
    if (Is(command, "uninstall") && (c.count == 1 || (c.count == 2 && Is(c.words[1], "--purge")))) {
        return InstallationUninstall(c.count == 2);
    }
    if (Is(command, "status") && c.count == 1) {
        return InstallationStatus();
    }
    return Usage(line);
}

// Appends the run's log to PenwickSetup.log, under a line that says when,
// which program and what, and one that says which device.
void WriteLog(const char* program, const char16_t* line) {
    SetupCommand& c = g_setupCommand;
    SystemDateTime now;
    SetupLocalTime(&now);
    char16_t header[512];
    uint32_t length = 0;
    SetupFormat(header, 512, &length, "%a %a, %u-%2u-%2u %2u:%2u:%2u: \"%s\"\n", program,
                kPenwickVersion, now.year, now.month, now.day, now.hour, now.minute, now.second,
                line);
    uint32_t size = SetupUtf8(header, length, c.logBytes, sizeof c.logBytes);
    // Which device, so that the logs of a fleet can be told apart.
    DeviceIdentity identity;
    DeviceIdentityRead(&identity);
    char device[kDeviceIdentityTextBytes];
    DeviceIdentityFormat(identity, device);
    for (const char* text = device; *text != 0 && size + 2 < sizeof c.logBytes; text++) {
        c.logBytes[size++] = *text;
    }
    c.logBytes[size++] = '\n';
    size += SetupUtf8(g_setupReport.log, g_setupReport.logLength, c.logBytes + size,
                      sizeof c.logBytes - size);
    char16_t path[kSetupPathUnits];
    SetupLogPath(path);
    SetupAppendToFile(path, c.logBytes, size);
}

// The log of a run whose /log folder cannot be written goes to the
// system's folder, and the run goes on: a card taken out never stands in
// the way of an install or an uninstall.
void CheckLogFolder(void) {
    SetupCommand& c = g_setupCommand;
    if (c.logFolder[0] == 0) {
        return;
    }
    char16_t path[kSetupPathUnits];
    SetupLogPath(path);
    c.logError = SetupAppendToFile(path, "", 0);
    if (c.logError != 0) {
        SetupLog("the log's folder %s cannot be written (%a)", c.logFolder,
                 SetupErrorWords(c.logError));
        SetupMakePath(c.logUnwritten, "%s", c.logFolder);
        c.logFolder[0] = 0;
    }
}

// Adds the switches of `switches` to the command line's: /quiet and /log
// FOLDER are taken, anything else is not used, and said so in the log.
void TakeSwitches(const char16_t* commandLine, const char16_t* switches) {
    SetupCommand& c = g_setupCommand;
    const int count = c.count;
    const bool untrusted = c.untrusted;
    char16_t line[kSetupPathUnits * 2];
    uint32_t length = 0;
    if (!SetupFormat(line, kSetupPathUnits * 2, &length, "%s %s", commandLine, switches) ||
        !SplitWords(line)) {
        SplitWords(commandLine);
        SetupLog("the switches \"%s\" are not understood and not used", switches);
        return;
    }
    if (c.count != count || c.untrusted != untrusted) {
        SetupLog("of the switches \"%s\" only /quiet and /log FOLDER are used", switches);
    }
    c.count = count;
    c.untrusted = untrusted;
}

}  // namespace

void SetupLogPath(char16_t path[kSetupPathUnits]) {
    const SetupCommand& c = g_setupCommand;
    if (c.logFolder[0] == 0 || !SetupMakePath(path, "%s\\PenwickSetup.log", c.logFolder)) {
        InstallationLogPath(path);
    }
}

int32_t SetupRun(const char16_t* commandLine) {
    return SetupRunFrom(kSetupProgram, nullptr, commandLine, nullptr, nullptr);
}

int32_t SetupRunFrom(const char* program, const char16_t* folder, const char16_t* commandLine,
                     const char16_t* switches, const char16_t* refusal) {
    SetupReportReset();
    InstallationUseProgramFolder(folder);
    InstallationResult result = InstallationNothingChanged;
    if (!SplitWords(commandLine)) {
        g_setupCommand.logFolder[0] = 0;
        result = Usage(commandLine);
    } else {
        if (switches != nullptr) {
            TakeSwitches(commandLine, switches);
        }
        CheckLogFolder();
        if (!SetupClaimSingleRun()) {
            SetupOutcome(
                "Nothing was changed: another PenwickSetup (or a Penwick CAB's installation) is "
                "running. Try again when it has finished.");
        } else {
            if (refusal != nullptr) {
                SetupOutcome("Nothing was changed: %s", refusal);
            } else {
                result = RunWords(commandLine);
            }
            SetupReleaseSingleRun();
        }
    }
    InstallationUseProgramFolder(nullptr);
    SetupFinish(program, commandLine, result);
    return result;
}

void SetupFinish(const char* program, const char16_t* line, int32_t result) {
    SetupCommand& c = g_setupCommand;
    if (c.logError != 0) {
        SetupOutcome("The log's folder %s cannot be written (%a): the log is in %a.",
                     c.logUnwritten, SetupErrorWords(c.logError), kSetupLogDefaultFolder);
        c.logError = 0;
    }
    WriteLog(program, line);
    if (!c.quiet && g_setupReport.outcomeLength != 0) {
        SetupShow(g_setupReport.outcome,
                  result != InstallationDone && result != InstallationNotInstalled);
    }
}

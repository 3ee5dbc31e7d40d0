// The build machine's side of the installer's seam: a fake over the host
// fake's registry (g_hostSystem.registry) and files (g_hostSystem.files),
// with a switch for every way a step can fail, and message boxes that tests
// answer and read. HostSetupReset puts it back as at start.
#ifndef PENWICK_PLATFORM_SETUP_HOST_H
#define PENWICK_PLATFORM_SETUP_HOST_H

#include <set>
#include <string>
#include <vector>

#include "platform/host/host_system.h"
#include "platform/setup_services.h"

struct HostShownMessage {
    std::u16string text;
    bool failed;
};

struct HostSetup {
    std::u16string programFolder = u"\\Storage Card\\Penwick";
    std::u16string systemFolder = u"\\Windows";
    SystemDateTime now = {2026, 12, 9, 10, 30, 5};
    // Keys (paths below HKEY_LOCAL_MACHINE, any case) that cannot be
    // created, written or deleted: access is denied.
    std::set<std::u16string> readOnlyKeys;
    // Files (full paths, any case) in use: they can be read, not replaced,
    // moved or deleted.
    std::set<std::u16string> filesInUse;
    // Files (full paths, any case) that are there but cannot be opened at
    // all, as a module the loader holds may be.
    std::set<std::u16string> lockedFiles;
    // Modules in ROM (full paths, any case): there, but not files that can
    // be read; they are not in g_hostSystem.files.
    std::set<std::u16string> romModules;
    // Every write to the store (a registry value, a file) takes its bytes
    // from g_hostSystem.storeRoom; more than is left fails: the store is full.
    // A value (its name, any case) whose next write the store takes, says it
    // took, and keeps with its first byte changed: a store that does not
    // keep what it is given.
    std::u16string garbledOnce;
    int openFiles = 0;  // opened and not yet closed
    // Another PenwickSetup runs: the one run cannot be claimed.
    bool anotherRun = false;
    bool runClaimed = false;
    // What the system says of its platform type; empty: it says nothing.
    std::u16string platformType = u"PocketPC";

    // The message boxes: what is asked and answered, what is shown.
    SetupAnswer answer = SetupAnswerYes;
    std::vector<std::u16string> questions;
    std::vector<HostShownMessage> shown;
};

extern HostSetup g_hostSetup;

void HostSetupReset();

// The file at a path, whatever its case, or null.
std::string* HostFindFile(const std::u16string& path);

#endif

#include "setup/installation_journal.h"

#include <string.h>

#include "setup/installation_device.h"
#include "setup/settings_file.h"

bool JournalWriteValue(SystemKey key, const char16_t* keyPath, const char16_t* name, uint32_t type,
                       const void* data, uint32_t size) {
    Installation& s = g_installation;
    if (s.savedCount == static_cast<int>(sizeof s.saved / sizeof s.saved[0])) {
        InstallationRecordFailure("%s cannot be written: too many values to put back", name);
        return false;
    }
    InstallationSaved& saved = s.saved[s.savedCount];
    saved.key = key;
    saved.name = name;
    saved.size = sizeof saved.data;
    int32_t error = SetupQueryValue(key, name, &saved.type, saved.data, &saved.size);
    if (error == kSetupErrorMoreData) {
        InstallationRecordFailure(
            "%s under HKEY_LOCAL_MACHINE\\%s has %u bytes, too many to keep for putting it "
            "back",
            name, keyPath, saved.size);
        return false;
    }
    if (error != 0 && error != kSetupErrorNotFound) {
        InstallationRecordFailure("%s under HKEY_LOCAL_MACHINE\\%s cannot be read (%a)", name,
                                  keyPath, SetupErrorWords(error));
        return false;
    }
    saved.existed = error == 0;
    saved.writtenType = type;
    saved.writtenSize = size;
    saved.written = data;
    // A value is written whole or not at all: one that was not needs no undoing.
    error = SetupSetValue(key, name, type, data, size);
    if (error != 0) {
        InstallationRecordFailure("%s cannot be written under HKEY_LOCAL_MACHINE\\%s (%a)", name,
                                  keyPath, SetupErrorWords(error));
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

bool JournalReadBack(int first) {
    Installation& s = g_installation;
    for (int i = first; i < s.savedCount; i++) {
        const InstallationSaved& saved = s.saved[i];
        alignas(4) uint8_t data[sizeof saved.data];
        uint32_t type = 0;
        uint32_t size = sizeof data;
        int32_t error = SetupQueryValue(saved.key, saved.name, &type, data, &size);
        if (error != 0 || type != saved.writtenType || size != saved.writtenSize ||
            memcmp(data, saved.written, size) != 0) {
            InstallationRecordFailure("%s does not read back as it was written", saved.name);
            return false;
        }
    }
    SetupLog("read back %d values", s.savedCount - first);
    return true;
}

bool JournalFlushKey(SystemKey key, const char16_t* keyPath) {
    int32_t error = SetupFlushKey(key);
    if (error != 0) {
        InstallationRecordFailure("HKEY_LOCAL_MACHINE\\%s cannot be written out to the store (%a)",
                                  keyPath, SetupErrorWords(error));
        return false;
    }
    return true;
}

bool JournalSwitchDriverName(const char16_t* name) {
    Installation& s = g_installation;
    int first = s.savedCount;
    return JournalWriteValue(s.touchKey, kTouchKey, kTouchDriverValue, kSystemRegistryString, name,
                             InstallationStringBytes(name)) &&
           JournalFlushKey(s.touchKey, kTouchKey) && JournalReadBack(first);
}

bool JournalUndo(void) {
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
    return all;
}

InstallationResult JournalUndoAfterFailure(void) {
    Installation& s = g_installation;
    if (JournalUndo()) {
        return InstallationRefuse();
    }
    SetupOutcome("It failed: %s.", s.reason);
    SetupOutcome("Putting everything back failed too; the log says what is left.");
    // What the host loads at the next boot matters most now.
    ConfigurationDriverName now;
    CheckDriverName(kInstallationRegistry, s.touchKey, kTouchDriverValue, &now, nullptr, nullptr);
    InstallationCloseKeys();
    if (now.name != nullptr && AsciiSameText(now.name, s.touchDriver.name)) {
        SetupOutcome("DriverName still names %s.", now.name);
    } else {
        SetupOutcome("DriverName must name %s again before the device is soft-reset.",
                     s.touchDriver.name);
    }
    return InstallationNotUndone;
}

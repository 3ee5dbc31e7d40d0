#include "setup/installation.h"

#include "registry/registry_contract.h"
#include "setup/device_trust.h"
#include "setup/installation_device.h"
#include "setup/settings_file.h"
#include "setup/setup_files.h"

namespace {

bool StatusFileIsThere(const char16_t* path, uint32_t* size) {
    return SetupFileSize(path, size) == 0;
}

// Says which values of Penwick's key, which is open, nothing reads: made by
// hand, or a setting's name mistyped.
void StatusSayUnreadValues(void) {
    Installation& s = g_installation;
    char16_t names[kSetupOutcomeUnits];
    uint32_t length = 0;
    int count = 0;
    // A key holds few values; the bound only keeps a broken registry from
    // holding the installer here.
    for (uint32_t i = 0; i < 1000; i++) {
        char16_t name[kSettingsNameUnits];
        int32_t error = SetupValueName(s.penwickKey, i, name, kSettingsNameUnits);
        if (error == kSetupErrorMoreData) {
            uint32_t at = 0;
            SetupFormat(name, kSettingsNameUnits, &at, "(a name over %u characters)",
                        kSettingsNameUnits - 1);
        } else if (error != 0) {
            break;
        } else if (ConfigurationReadsValue(name) || AsciiSameText(name, kUntrustedValue)) {
            continue;
        }
        SetupFormat(names, kSetupOutcomeUnits, &length, count++ == 0 ? "%s" : ", %s", name);
    }
    if (count != 0) {
        SetupOutcome("Penwick does not read these values of its key: %s.", names);
    }
}

}  // namespace

InstallationResult InstallationStatus(void) {
    Installation& s = g_installation;
    InstallationResetRecord();
    SetupLog("status");
    uint32_t size = 0;
    bool installed = false;
    // A file the host or Penwick cannot load at the next boot, which leaves
    // the device without touch input whatever the check finds.
    const char16_t* missing = nullptr;
    if (!InstallationReadDriverName()) {
        SetupOutcome("%s.", s.reason);
    } else if (NamesPenwick(s.touchDriver.name)) {
        installed = true;
        SetupOutcome("Penwick is installed: DriverName names %s.", s.touchDriver.name);
        if (InstallationReadOrigDriverName()) {
            bool found = InstallationFindDriverFile(s.originalDriver.name);
            SetupOutcome(found ? "It forwards to %s (%s)."
                               : "It forwards to %s, but %s is not there: no touch input!",
                         s.originalDriver.name, s.originalFile);
            missing = found ? nullptr : s.originalFile;
        } else {
            SetupOutcome("%s.", s.reason);
        }
    } else {
        SetupOutcome("Penwick is not installed: the touch driver is %s.", s.touchDriver.name);
    }
    if (s.penwickKey == nullptr && SetupOpenKey(kConfigurationKey, &s.penwickKey) != 0) {
        s.penwickKey = nullptr;
    }
    // Penwick's file: the one DriverName names.
    char16_t penwick[kSetupPathUnits];
    bool there = installed && InstallationDriverFilePath(s.touchDriver.name, penwick) &&
                 StatusFileIsThere(penwick, &size);
    if (installed && !there) {
        SetupOutcome("%s is not there.", penwick);
        missing = penwick;
    }
    // Whether the host loads it at boot: unless it was installed with
    // /untrusted, a Penwick.dll the device does not trust leaves it without
    // touch input.
    bool untrusted = false;
    if (there) {
        bool loaded = DeviceTrustJudge(penwick);
        char16_t finding[kSetupOutcomeUnits];
        uint32_t length = 0;
        DeviceTrustModuleLine(penwick, finding, kSetupOutcomeUnits, &length);
        SetupOutcome("%s.", finding);
        length = 0;
        DeviceTrustFinding(s.touchDriver.name, finding, kSetupOutcomeUnits, &length);
        SetupOutcome("%s.", finding);
        uint32_t type = 0;
        uint32_t recorded = 0;
        uint32_t recordedSize = sizeof recorded;
        bool allowed =
            s.penwickKey != nullptr &&
            SetupQueryValue(s.penwickKey, kUntrustedValue, &type, &recorded, &recordedSize) == 0 &&
            recorded == 1;
        if (!loaded && allowed && installed) {
            SetupOutcome(
                "It was installed with /untrusted: the device has touch input at the next boot "
                "only if it loads unsigned boot drivers.");
        }
        // A module that cannot be read cannot be judged: the verdict says
        // what the check finds, and the line above why it was not judged.
        untrusted = installed && !loaded && !allowed && g_deviceTrust.readError == 0;
    }

    InstallationVerdict verdict = {false, false, 0, 0, {}, false};
    InstallationCountFindings(kInstallationRegistry, &verdict);
    bool noTouchInput = missing != nullptr || untrusted || s.touchDriver.name == nullptr;
    if (missing != nullptr) {
        SetupOutcome(
            "At the next boot Penwick does not filter and there is no touch input: %s is not "
            "there.",
            missing);
    } else if (untrusted) {
        char16_t advice[kSetupOutcomeUnits];
        uint32_t length = 0;
        DeviceTrustAdvice(advice, kSetupOutcomeUnits, &length);
        SetupOutcome(
            "At the next boot the host does not load Penwick and there is no touch input: "
            "uninstall, or %s.",
            advice);
    } else if (verdict.errors == 0) {
        SetupOutcome("At the next boot Penwick filters (the check finds no error, %d warnings).",
                     verdict.warnings);
    } else {
        char16_t text[256];
        uint32_t length = 0;
        InstallationFormatFinding(text, 256, &length, verdict.firstError);
        SetupOutcome("At the next boot Penwick does not filter: %s%a.", text,
                     verdict.errors > 1 ? " (and more: see the log)" : "");
        // Penwick loaded, but with no driver to forward to.
        noTouchInput = noTouchInput || (installed && verdict.noOriginalDriver);
    }

    // The capture, by the driver's own rules for its two values, when the
    // driver is loaded at all.
    alignas(4) char16_t capture[kCaptureFileUnits];
    uint32_t type = 0;
    uint32_t captureSize = sizeof capture;
    uint32_t limit = 0;
    uint32_t limitSize = sizeof limit;
    bool on = installed && !noTouchInput && s.penwickKey != nullptr &&
              SetupQueryValue(s.penwickKey, u"CaptureFile", &type, capture, &captureSize) == 0 &&
              ConfigurationCaptureFileUsable(type, capture, captureSize);
    bool limitRead =
        on && SetupQueryValue(s.penwickKey, u"CaptureLimit", &type, &limit, &limitSize) == 0 &&
        limitSize == sizeof limit;
    limit = ConfigurationCaptureLimit(limitRead, limit);
    if (!on) {
        SetupOutcome("Capture is off.");
    } else if (StatusFileIsThere(capture, &size)) {
        SetupOutcome("Capture is on, into %s: %u bytes of at most %u.", capture, size, limit);
    } else {
        SetupOutcome("Capture is on, into %s (no file yet), at most %u bytes.", capture, limit);
    }
    if (s.penwickKey != nullptr) {
        StatusSayUnreadValues();
    }
    InstallationCloseKeys();
    return noTouchInput          ? InstallationNoTouchInput
           : !installed          ? InstallationNotInstalled
           : verdict.errors != 0 ? InstallationNotFiltering
                                 : InstallationDone;
}

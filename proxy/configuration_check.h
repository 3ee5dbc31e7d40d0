// The configuration check: what the driver will make of the registry at
// the next boot, finding by finding, before anyone reboots into it.
//
// The driver itself reports nothing: a setting it cannot read turns
// filtering off, an original driver it cannot load leaves the device without
// touch input. The check reads the same values through the same system
// services and names every such problem (an error), and every setting that
// is legal but cannot do what it seems to (a warning). It is shared by the
// desktop tool, which runs it on a .reg file through the fake platform, and
// the device's installer, which runs it on the device's own registry; it is
// not part of the driver.
#ifndef PENWICK_PROXY_CONFIGURATION_CHECK_H
#define PENWICK_PROXY_CONFIGURATION_CHECK_H

#include <stdint.h>

#include "filter/sample_filter.h"

// Where the host looks for the name of its touch driver.
const char16_t kTouchKey[] = u"HARDWARE\\DEVICEMAP\\TOUCH";
const char16_t kTouchDriverValue[] = u"DriverName";

// The error delay, in samples, above which the check warns, and above which
// it calls the pen dead: at some hundred samples a second, a second and ten.
const int32_t kLongErrorDelay = 100;
const int32_t kDeadlyErrorDelay = 1000;

enum ConfigurationFindingKind {
    // Errors: at the next boot the device would have no touch input, or no
    // filtering.
    FindingTouchDriverNotPenwick,   // DriverName does not name Penwick: it is not loaded
    FindingPenwickKeyMissing,       // no Penwick key: every sample passes unfiltered
    FindingDriverNameMissing,       // OrigDriverName missing: touch.dll is loaded
    FindingDriverNameNotString,     // stored as another type than REG_SZ
    FindingDriverNameTooLong,       // longer than 63 characters: touch.dll is loaded
    FindingDriverNameUnterminated,  // without its terminator
    FindingDriverNameEmpty,
    FindingDriverNameIsPenwick,     // Penwick would bind itself: it refuses to load
    FindingSettingMissing,          // filtering is off
    FindingSettingTooLong,          // more than 4 bytes cannot be read: filtering is off
    FindingSettingTooShort,         // fewer than 4 bytes are read zero-extended
    FindingSettingNotDword,         // another type is read as its first 4 bytes
    FindingDelayDeadlyLong,         // an error withholds so many samples that the pen seems dead
    // Warnings: legal settings that cannot do what they seem to.
    FindingLengthNegative,          // a step length is squared: its sign is lost
    FindingLengthSquareWraps,       // a step length of 46341 or more squares past 2^31
    FindingHighSpeedNotAboveLow,    // rule c can never accept a step rule a did not
    FindingSpeedDiffNotPositive,    // no speed change is below it: rule c never accepts
    FindingSpeedDiff2NotAboveSpeedDiff,  // rule d catches changes rule c would pass
    FindingDirDiffNotPositive,      // no direction change is below it: rule g never accepts
    FindingDirDiffAbove180,         // every direction change is below it: rule h never rejects
    FindingDelayNegative,
    FindingDelayLong,               // an error withholds samples for a second or more
    FindingErrorDelayAboveMax,      // the delay is capped at MaxErrorDelay anyway
};

struct ConfigurationFinding {
    ConfigurationFindingKind kind;
    bool error;
    const char16_t* value;  // the registry value concerned
    int32_t number;         // the size, type or setting involved: see the phrase
};

// What a finding means, in a few words, with at most one "%d" for its
// number; plain ASCII, the same on every build.
const char* ConfigurationFindingPhrase(ConfigurationFindingKind kind);

typedef void (*ConfigurationFindingReport)(const ConfigurationFinding& finding, void* context);

// Reads the touch key and Penwick's key through the system services, calls
// report for every finding in the order of the values, and returns how many
// of them are errors.
int32_t CheckConfiguration(ConfigurationFindingReport report, void* context);

// Only the findings about the eight settings' values (warnings, and the
// one error of a delay that makes the pen seem dead); report may be null.
// Returns how many there are.
int32_t CheckFilterSettings(const FilterSettings& settings, ConfigurationFindingReport report,
                            void* context);

#endif

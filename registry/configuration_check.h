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
// not part of the driver, and reads the registry as registry_contract.h says
// the driver does.
#ifndef PENWICK_REGISTRY_CONFIGURATION_CHECK_H
#define PENWICK_REGISTRY_CONFIGURATION_CHECK_H

#include <stdint.h>

#include "filter/sample_filter.h"
#include "platform/system_services.h"
#include "registry/registry_contract.h"

// The error delay, in samples, above which the check warns, and above which
// it calls the pen dead: at some hundred samples a second, a second and ten.
// Below kTapLowSpeed (squared, as the filter squares it), rule a passes only
// a step of length 0: every panel jitters by a unit or more, so the second
// sample of a stroke fails rule b, and a tap of two pen-down samples never
// reaches the host.
const int32_t kLongErrorDelay = 100;
const int32_t kDeadlyErrorDelay = 1000;
const int32_t kTapLowSpeed = 2;

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
    FindingLowSpeedBarsTaps,        // rule a passes only a pen that did not move: taps of two
                                    // pen-down samples are lost
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

// How the check reads the registry: the system services' three reading
// functions, or the installer's own, which reach the registry it writes.
struct ConfigurationRegistry {
    int32_t (*open)(const char16_t* subKey, SystemKey* key);
    int32_t (*query)(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                     uint32_t* size);
    void (*close)(SystemKey key);
};

// Reads the touch key and Penwick's key through `registry`, calls report for
// every finding in the order of the values, and returns how many of them are
// errors.
int32_t CheckConfigurationIn(const ConfigurationRegistry& registry,
                             ConfigurationFindingReport report, void* context);

// The same through the system services.
inline int32_t CheckConfiguration(ConfigurationFindingReport report, void* context) {
    const ConfigurationRegistry system = {SystemOpenRegistryKey, SystemQueryRegistryValue,
                                          SystemCloseRegistryKey};
    return CheckConfigurationIn(system, report, context);
}

// Values are read into a buffer this large, so that their true type and
// size are seen, not only the bytes the driver reads.
const uint32_t kConfigurationValueBytes = 256;

// A driver name as the registry stores it.
struct ConfigurationDriverName {
    alignas(4) uint8_t data[kConfigurationValueBytes];
    const char16_t* name;  // the terminated name in data when it can be loaded, else null
};

// Reads value `value` of an open key as a driver name (the host's
// DriverName) and reports each problem with it as the check does: missing,
// longer than the driver-name buffer, not a string, unterminated, empty.
// Sets driver->name only when there is none. Returns the number of findings,
// all errors.
int32_t CheckDriverName(const ConfigurationRegistry& registry, SystemKey key,
                        const char16_t* value, ConfigurationDriverName* driver,
                        ConfigurationFindingReport report, void* context);

// The same for OrigDriverName in Penwick's key, which also may not name
// Penwick itself.
int32_t CheckOriginalDriverName(const ConfigurationRegistry& registry, SystemKey key,
                                ConfigurationDriverName* driver,
                                ConfigurationFindingReport report, void* context);

// Whether a terminated driver name is Penwick's own module under any of its
// names (Penwick.dll, Penwick-VERSION.dll, VERSION beginning with a digit),
// with or without a folder, and
// Penwick.dll also without the ".dll" the loader adds.
bool NamesPenwick(const char16_t* name);

// Whether the driver reads a value of this name from its key: OrigDriverName,
// the eight settings and the capture's two, compared as the registry
// compares names, without regard to case.
bool ConfigurationReadsValue(const char16_t* name);

// Only the findings about the eight settings' values (warnings, and the
// one error of a delay that makes the pen seem dead); report may be null.
// Returns how many there are.
int32_t CheckFilterSettings(const FilterSettings& settings, ConfigurationFindingReport report,
                            void* context);

#endif

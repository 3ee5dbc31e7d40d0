#include "registry/configuration_check.h"

#include "filter/sample_filter.h"
#include "platform/ascii.h"
#include "platform/system_services.h"
#include "registry/registry_contract.h"

namespace {

const uint32_t kValueBytes = kConfigurationValueBytes;

struct CheckState {
    const ConfigurationRegistry* registry;
    ConfigurationFindingReport report;  // may be null
    void* context;
    int32_t errors;
    int32_t* warnings;  // counted where it is not null
};

void Report(CheckState& state, ConfigurationFindingKind kind, bool error, const char16_t* value,
            int32_t number) {
    ConfigurationFinding finding = {kind, error, value, number};
    state.errors += error ? 1 : 0;
    if (!error && state.warnings != nullptr) {
        (*state.warnings)++;
    }
    if (state.report != nullptr) {
        state.report(finding, state.context);
    }
}


// The value's data as UTF-16 with its terminator within `size` bytes; null
// when it has none.
const char16_t* TerminatedName(const uint8_t* data, uint32_t size) {
    const char16_t* name = reinterpret_cast<const char16_t*>(data);
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        if (name[i / 2] == 0) {
            return name;
        }
    }
    return nullptr;
}

// A value as it is stored: its type, its size and its first kValueBytes.
struct StoredValue {
    bool exists;
    uint32_t type;
    uint32_t size;  // all of it, even beyond the buffer
    alignas(4) uint8_t data[kValueBytes];
};

void ReadStoredValue(const CheckState& state, SystemKey key, const char16_t* name,
                     StoredValue* value) {
    value->type = 0;
    value->size = kValueBytes;
    int32_t result = state.registry->query(key, name, &value->type, value->data, &value->size);
    value->exists = result == 0 || result == kSystemRegistryMoreData;
    if (result == kSystemRegistryMoreData && value->size <= kValueBytes) {
        value->size = kValueBytes + 1;  // too long, whatever the platform said
    }
}

void CheckTouchDriver(CheckState& state) {
    const ConfigurationRegistry& registry = *state.registry;
    SystemKey key;
    bool names = false;
    if (registry.open(kTouchKey, &key) == 0) {
        StoredValue stored;
        ReadStoredValue(state, key, kTouchDriverValue, &stored);
        const char16_t* name = nullptr;
        if (stored.exists && stored.size <= kValueBytes && stored.type == kSystemRegistryString) {
            name = TerminatedName(stored.data, stored.size);
        }
        names = name != nullptr && NamesPenwick(name);
        registry.close(key);
    }
    if (!names) {
        Report(state, FindingTouchDriverNotPenwick, true, kTouchDriverValue, 0);
    }
}

// Reads a driver name and reports what keeps it from being loaded; returns
// the name, within `stored`, when it is terminated and not empty, whatever
// its type.
const char16_t* ReadDriverName(CheckState& state, SystemKey key, const char16_t* value,
                               StoredValue* stored) {
    ReadStoredValue(state, key, value, stored);
    if (!stored->exists) {
        Report(state, FindingDriverNameMissing, true, value, 0);
        return nullptr;
    }
    uint32_t type = stored->type, size = stored->size;
    const uint8_t* data = stored->data;
    if (size > kDriverNameUnits * sizeof(char16_t)) {
        Report(state, FindingDriverNameTooLong, true, value, static_cast<int32_t>(size));
        return nullptr;
    }
    if (type != kSystemRegistryString) {
        Report(state, FindingDriverNameNotString, true, value, static_cast<int32_t>(type));
    }
    const char16_t* name = TerminatedName(data, size);
    if (name == nullptr) {
        Report(state, FindingDriverNameUnterminated, true, value, 0);
    } else if (name[0] == 0) {
        Report(state, FindingDriverNameEmpty, true, value, 0);
        return nullptr;
    }
    return name;
}

// Reads a driver name into `driver` and reports what ReadDriverName does;
// the name of the original driver may not name Penwick itself either.
void ReadDriverNameInto(CheckState& state, SystemKey key, const char16_t* value, bool original,
                        ConfigurationDriverName* driver) {
    int32_t errors = state.errors;
    StoredValue stored;
    const char16_t* name = ReadDriverName(state, key, value, &stored);
    if (original && name != nullptr && NamesPenwick(name)) {
        Report(state, FindingDriverNameIsPenwick, true, value, 0);
    }
    for (uint32_t i = 0; i < kValueBytes; i++) {
        driver->data[i] = stored.data[i];
    }
    // A name found is always the value's data from its first byte.
    bool named = name != nullptr && state.errors == errors;
    driver->name = named ? reinterpret_cast<const char16_t*>(driver->data) : nullptr;
}

// Reads one setting as the driver does, and reports what is wrong with how
// it is stored. True when it is a proper REG_DWORD.
bool CheckSetting(CheckState& state, SystemKey key, const char16_t* value, int32_t* setting) {
    StoredValue stored;
    ReadStoredValue(state, key, value, &stored);
    if (!stored.exists) {
        Report(state, FindingSettingMissing, true, value, 0);
        return false;
    }
    uint32_t type = stored.type, size = stored.size;
    if (size > sizeof(int32_t)) {
        Report(state, FindingSettingTooLong, true, value, static_cast<int32_t>(size));
        return false;
    }
    uint32_t number = 0;
    for (uint32_t i = 0; i < size; i++) {
        number |= static_cast<uint32_t>(stored.data[i]) << (8 * i);
    }
    *setting = static_cast<int32_t>(number);
    if (size < sizeof(int32_t)) {
        Report(state, FindingSettingTooShort, true, value, static_cast<int32_t>(size));
        return false;
    }
    if (type != kSystemRegistryDword) {
        Report(state, FindingSettingNotDword, true, value, *setting);
        return false;
    }
    return true;
}

// A step length squared as the filter squares it, wrapping at 32 bits.
int32_t WrappedSquare(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) * static_cast<uint32_t>(value));
}

// Settings that are read well but cannot do what they seem to.
void CheckSettingValues(CheckState& state, const FilterSettings& s) {
    // The three step lengths, which the filter squares.
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        if (setting.field != &FilterSettings::LowSpeed &&
            setting.field != &FilterSettings::MinDirSpeed &&
            setting.field != &FilterSettings::HighSpeed) {
            continue;
        }
        int32_t value = s.*setting.field;
        if (value <= -46341 || value >= 46341) {
            Report(state, FindingLengthSquareWraps, false, setting.name, WrappedSquare(value));
        } else if (value < 0) {
            Report(state, FindingLengthNegative, false, setting.name, -value);
        }
    }
    if (WrappedSquare(s.LowSpeed) < kTapLowSpeed * kTapLowSpeed) {
        Report(state, FindingLowSpeedBarsTaps, false, u"LowSpeed", s.LowSpeed);
    }
    if (WrappedSquare(s.HighSpeed) <= WrappedSquare(s.LowSpeed)) {
        Report(state, FindingHighSpeedNotAboveLow, false, u"HighSpeed", s.LowSpeed);
    }
    if (s.MaxSpeedDiff <= 0) {
        Report(state, FindingSpeedDiffNotPositive, false, u"MaxSpeedDiff", s.MaxSpeedDiff);
    }
    if (s.MaxSpeedDiff2 <= s.MaxSpeedDiff) {
        Report(state, FindingSpeedDiff2NotAboveSpeedDiff, false, u"MaxSpeedDiff2", s.MaxSpeedDiff);
    }
    if (s.MaxDirDiff <= 0) {
        Report(state, FindingDirDiffNotPositive, false, u"MaxDirDiff", s.MaxDirDiff);
    } else if (s.MaxDirDiff > 180) {
        Report(state, FindingDirDiffAbove180, false, u"MaxDirDiff", s.MaxDirDiff);
    }
    if (s.ErrorDelay < 0) {
        Report(state, FindingDelayNegative, false, u"ErrorDelay", s.ErrorDelay);
    }
    // How many samples an error can withhold: the delay grows only when
    // ErrorDelay is positive, and never past MaxErrorDelay.
    if (s.ErrorDelay > 0 && s.MaxErrorDelay > kDeadlyErrorDelay) {
        Report(state, FindingDelayDeadlyLong, true, u"MaxErrorDelay", s.MaxErrorDelay);
    } else if (s.ErrorDelay > 0 && s.MaxErrorDelay > kLongErrorDelay) {
        Report(state, FindingDelayLong, false, u"MaxErrorDelay", s.MaxErrorDelay);
    }
    if (s.MaxErrorDelay < 0) {
        Report(state, FindingDelayNegative, false, u"MaxErrorDelay", s.MaxErrorDelay);
    } else if (s.ErrorDelay > s.MaxErrorDelay) {
        Report(state, FindingErrorDelayAboveMax, false, u"ErrorDelay", s.MaxErrorDelay);
    }
}

}  // namespace

bool NamesPenwick(const char16_t* name) {
    const char16_t* file = name;
    for (const char16_t* c = name; *c != 0; c++) {
        if (*c == u'\\' || *c == u'/') {
            file = c + 1;
        }
    }
    uint32_t length = 0;
    while (file[length] != 0) {
        length++;
    }
    auto startsWith = [file, length](const char16_t* text) {
        uint32_t i = 0;
        for (; text[i] != 0; i++) {
            if (i == length || AsciiUpper(file[i]) != AsciiUpper(text[i])) {
                return false;
            }
        }
        return true;
    };
    const uint32_t stem = sizeof kPenwickModuleStem / sizeof kPenwickModuleStem[0] - 1;
    const uint32_t versioned =
        sizeof kPenwickModuleVersioned / sizeof kPenwickModuleVersioned[0] - 1;
    bool dll = length >= 4 && AsciiSameText(file + length - 4, ".dll");
    return (startsWith(kPenwickModuleStem) && (length == stem || (length == stem + 4 && dll))) ||
           (startsWith(kPenwickModuleVersioned) && length > versioned + 4 && dll &&
            file[versioned] >= u'0' && file[versioned] <= u'9');
}

bool ConfigurationReadsValue(const char16_t* name) {
    auto same = [name](const char16_t* read) { return AsciiSameText(name, read); };
    bool setting = false;
    for (const ConfigurationSetting& s : kConfigurationSettings) {
        setting = setting || same(s.name);
    }
    return setting || same(kOriginalDriverValue) || same(kCaptureFileValue) ||
           same(kCaptureLimitValue);
}

int32_t CheckDriverName(const ConfigurationRegistry& registry, SystemKey key,
                        const char16_t* value, ConfigurationDriverName* driver,
                        ConfigurationFindingReport report, void* context) {
    CheckState state = {&registry, report, context, 0, nullptr};
    ReadDriverNameInto(state, key, value, false, driver);
    return state.errors;
}

int32_t CheckOriginalDriverName(const ConfigurationRegistry& registry, SystemKey key,
                                ConfigurationDriverName* driver,
                                ConfigurationFindingReport report, void* context) {
    CheckState state = {&registry, report, context, 0, nullptr};
    ReadDriverNameInto(state, key, kOriginalDriverValue, true, driver);
    return state.errors;
}

int32_t CheckFilterSettings(const FilterSettings& settings, ConfigurationFindingReport report,
                            void* context) {
    int32_t warnings = 0;
    CheckState state = {nullptr, report, context, 0, &warnings};
    CheckSettingValues(state, settings);
    return warnings + state.errors;
}

const char* ConfigurationFindingPhrase(ConfigurationFindingKind kind) {
    switch (kind) {
    case FindingTouchDriverNotPenwick:
        return "does not name Penwick.dll, so the host does not load Penwick";
    case FindingPenwickKeyMissing:
        return "is missing: Penwick loads touch.dll and passes every sample through unfiltered";
    case FindingDriverNameMissing:
        return "is missing: Penwick loads touch.dll, and if that is not the device's own driver "
               "there is no touch input";
    case FindingDriverNameNotString: return "is stored as type %d, not as a string (REG_SZ)";
    case FindingDriverNameTooLong:
        return "has %d bytes, more than the 63 characters that fit: Penwick loads touch.dll instead";
    case FindingDriverNameUnterminated:
        return "has no terminating null: Penwick loads a name mixed with touch.dll";
    case FindingDriverNameEmpty: return "is empty: no driver can be loaded and there is no touch input";
    case FindingDriverNameIsPenwick:
        return "names Penwick itself: Penwick refuses to load and there is no touch input";
    case FindingSettingMissing: return "is missing: filtering is off";
    case FindingSettingTooLong: return "has %d bytes, more than the 4 that are read: filtering is off";
    case FindingSettingTooShort: return "has %d bytes, fewer than 4: it is read zero-extended";
    case FindingSettingNotDword:
        return "is not stored as a number (REG_DWORD): its bytes read as %d";
    case FindingLengthNegative: return "is negative: it is squared, so it acts as %d";
    case FindingLengthSquareWraps: return "is 46341 or more: its square wraps to %d";
    case FindingLowSpeedBarsTaps:
        return "is %d: rule a passes only a pen that did not move at all, so a tap of two pen-down "
               "samples never reaches the host (a LowSpeed of about three times the panel's jitter "
               "lets taps through)";
    case FindingHighSpeedNotAboveLow:
        return "is not above LowSpeed (%d): rule c accepts no step that rule a does not";
    case FindingSpeedDiffNotPositive:
        return "is %d: no change of step length is below it, so rule c never accepts";
    case FindingSpeedDiff2NotAboveSpeedDiff:
        return "is not above MaxSpeedDiff (%d): a change rule c would pass is an error for a long step";
    case FindingDirDiffNotPositive: return "is %d: no change of direction is below it, so rule g never accepts";
    case FindingDirDiffAbove180:
        return "is %d, above 180: every change of direction passes rule g";
    case FindingDelayNegative: return "is negative (%d)";
    case FindingDelayLong:
        return "is %d: after an error that many samples may be withheld, a second or more of pen "
               "movement";
    case FindingDelayDeadlyLong:
        return "is %d: after an error that many samples may be withheld, so that the pen seems "
               "dead for seconds on end";
    case FindingErrorDelayAboveMax:
        return "is above MaxErrorDelay (%d), which caps the delay anyway";
    }
    return "";
}

int32_t CheckConfigurationIn(const ConfigurationRegistry& registry,
                             ConfigurationFindingReport report, void* context) {
    CheckState state = {&registry, report, context, 0, nullptr};
    CheckTouchDriver(state);

    SystemKey key;
    if (registry.open(kConfigurationKey, &key) != 0) {
        Report(state, FindingPenwickKeyMissing, true, kConfigurationKey, 0);
        return state.errors;
    }
    ConfigurationDriverName original;
    ReadDriverNameInto(state, key, kOriginalDriverValue, true, &original);
    FilterSettings settings = {};
    bool allRead = true;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        allRead = CheckSetting(state, key, setting.name, &(settings.*setting.field)) && allRead;
    }
    registry.close(key);
    if (allRead) {
        CheckSettingValues(state, settings);
    }
    return state.errors;
}

// Shared by the installer's tests: a device as the fake platform plays it,
// with touch.dll as its touch driver in \Windows and the installer's folder
// holding Penwick.dll; the installer run as from a command line, and what
// it left.
#ifndef PENWICK_TESTS_SETUP_SETUP_FIXTURE_H
#define PENWICK_TESTS_SETUP_SETUP_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "penwick_version.h"
#include "platform/host/setup_host.h"
#include "proxy/configuration.h"
#include "registry/configuration_check.h"
#include "setup/installation.h"
#include "setup/setup_command.h"
#include "../worked_stroke.h"

inline const std::u16string kTouch = kTouchKey;
inline const std::u16string kPenwick = kConfigurationKey;
inline const std::u16string kBeside = u"\\Storage Card\\Penwick\\";
inline const std::u16string kLog = u"\\Windows\\PenwickSetup.log";
// The name an install of this version gives Penwick.dll in \Windows.
inline const std::u16string kInstalledName =
    u"Penwick-" + std::u16string(kPenwickVersion, kPenwickVersion + sizeof kPenwickVersion - 1) +
    u".dll";
inline const std::u16string kInstalled = u"\\Windows\\" + kInstalledName;
// The smallest module the installer takes for a whole one: its headers and
// one section, whose data ends the file.
inline std::string SmallestModule() {
    std::string module(0x200, '\0');
    module.replace(0, 2, "MZ");
    module[0x3C] = 0x40;                         // where the PE header is
    module.replace(0x40, 4, std::string("PE\0\0", 4));
    module[0x46] = 1;                            // one section, no optional header
    module[0x58 + 17] = 0x01;                    // its 0x100 bytes of data
    module[0x58 + 21] = 0x01;                    // at 0x100
    module.replace(0x100, 20, "Penwick.dll as built");
    return module;
}
inline const std::string kPenwickBytes = SmallestModule();
inline const std::string kTouchBytes = "the device's own touch driver";

inline std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// `text` with each "{penwick}" replaced by the installed module's name.
inline std::string Installed(std::string text) {
    for (size_t at; (at = text.find("{penwick}")) != std::string::npos;) {
        text.replace(at, 9, Narrow(kInstalledName));
    }
    return text;
}

// The bytes of a terminated UTF-16 string.
inline std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminated = true) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminated) {
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

// A stored string value, or "(none)" when there is none; "(not a string)"
// for another type.
inline std::string StoredString(const std::u16string& key, const std::u16string& name) {
    const std::vector<uint8_t>* bytes = HostFindRegistryValue(key, name);
    if (bytes == nullptr) {
        return "(none)";
    }
    std::string text;
    for (size_t i = 0; i + 1 < bytes->size() && ((*bytes)[i] != 0 || (*bytes)[i + 1] != 0);
         i += 2) {
        text += static_cast<char>((*bytes)[i]);
    }
    return text;
}

// Registry and files, all but the installer's log, for "nothing changed".
struct DeviceState {
    decltype(HostSystem::registry) registry;
    std::map<std::u16string, std::string> files;
    bool operator==(const DeviceState& o) const {
        return registry == o.registry && files == o.files;
    }
};

inline DeviceState CurrentState() {
    DeviceState state{g_hostSystem.registry, g_hostSystem.files};
    state.files.erase(kLog);
    return state;
}

inline std::string Describe(const DeviceState& state) {
    std::string text;
    for (const auto& [key, values] : state.registry) {
        text += "[" + Narrow(key) + "]\n";
        for (const auto& [name, value] : values) {
            text += "  " + Narrow(name) + " type " + std::to_string(value.first) + ", " +
                    std::to_string(value.second.size()) + " bytes\n";
        }
    }
    for (const auto& [path, bytes] : state.files) {
        text += Narrow(path) + ": \"" + bytes + "\"\n";
    }
    return text;
}

// Penwick installed in front of `original` with the worked stroke's
// settings, as a previous install leaves it.
inline void PreviouslyInstalled(const std::u16string& original) {
    HostSetRegistryString(kTouch, u"DriverName", kInstalledName);
    HostSetRegistryString(kPenwick, u"OrigDriverName", original);
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        HostSetRegistryDword(kPenwick, kConfigurationSettings[i].name, kWorkedStroke[i].value);
    }
    g_hostSystem.files[kInstalled] = kPenwickBytes;
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        HostSystemReset();
        HostSetupReset();
        // A plain Windows CE device, which loads unsigned drivers at boot:
        // the tests of trust play a Pocket PC.
        g_hostSetup.platformType = u"CEPC";
        HostSetRegistryString(kTouch, u"DriverName", u"touch.dll");
        g_hostSystem.files[u"\\Windows\\touch.dll"] = kTouchBytes;
        g_hostSystem.files[kBeside + u"Penwick.dll"] = kPenwickBytes;
    }

    void TearDown() override {
        EXPECT_EQ(g_hostSystem.openKeys, 0) << "a key was left open";
        EXPECT_EQ(g_hostSetup.openFiles, 0) << "a file was left open";
    }

    // Runs the installer with this command line; returns its exit code.
    static int Run(const std::u16string& line) { return SetupRun(line.c_str()); }

    static std::string Outcome() { return Narrow(g_setupReport.outcome); }

    static std::string Log() { return Narrow(g_setupReport.log); }

    // The configuration check's errors, as the tool runs it.
    static int32_t CheckErrors() { return CheckConfiguration(nullptr, nullptr); }
};

#endif

// The installer's install, uninstall and status on the fake platform: every
// path that must end with the device installed, uninstalled, or exactly as
// it was.
#include <functional>

#include "setup/setup_build.h"
#include "setup_fixture.h"

namespace {

// --- install ---------------------------------------------------------------

TEST_F(SetupTest, install_binds_the_driver_it_replaces_writes_the_settings_and_switches_last) {
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(Outcome(),
              "Penwick is installed: soft-reset the device to start it.\n"
              "It forwards to touch.dll, with the recommended settings.");
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "touch.dll");
    EXPECT_EQ(*HostFindFile(kInstalled), kPenwickBytes);
    EXPECT_EQ(*HostFindFile(u"\\Windows\\touch.dll"), kTouchBytes);
    // The driver, at the next boot, loads touch.dll and filters with the
    // recommended settings.
    SettingsFile recommended;
    ASSERT_TRUE(SettingsFileRead(reinterpret_cast<const uint8_t*>(kSetupRecommendedSettings),
                                 sizeof kSetupRecommendedSettings - 1, &recommended));
    char16_t driver[kDriverNameUnits];
    LoadConfiguration(driver);
    EXPECT_EQ(Narrow(driver), "touch.dll");
    EXPECT_TRUE(g_configuration.filteringEnabled);
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        const SettingsValue* value = nullptr;
        for (int k = 0; k < recommended.count; k++) {
            if (std::u16string(recommended.values[k].name) == kConfigurationSettings[i].name) {
                value = &recommended.values[k];
            }
        }
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(g_filterSettings.*kConfigurationSettings[i].field,
                  *reinterpret_cast<const int32_t*>(value->data));
    }
    EXPECT_EQ(CheckErrors(), 0);
    // DriverName is the last thing written, after the check.
    std::string log = Log();
    EXPECT_LT(log.find("wrote OrigDriverName = touch.dll"), log.find("check: no error but"));
    EXPECT_LT(log.find("check: no error but"), log.find(Installed("wrote DriverName = {penwick}")));
    EXPECT_EQ(log.find("wrote", log.find("wrote DriverName")), log.find("wrote DriverName"));
}

struct SettingsSource {
    const char* name;
    std::u16string argument;    // after "install"
    std::u16string file;        // where the settings file is put
    const char* outcomeSecond;  // the outcome's second line
};

void PrintTo(const SettingsSource& s, std::ostream* out) { *out << s.name; }

const std::string kWorkedStrokeFile =
    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n"
    "\"OrigDriverName\"=\"ignored.dll\"\n" +
    WorkedStrokeRegLines();

class SettingsSourceTest : public SetupTest,
                           public ::testing::WithParamInterface<SettingsSource> {};

TEST_P(SettingsSourceTest, the_settings_come_from_the_file_and_the_driver_name_from_the_device) {
    g_hostSystem.files[GetParam().file] = kWorkedStrokeFile;
    ASSERT_EQ(Run(u"install " + GetParam().argument + u" /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(Outcome().substr(Outcome().find('\n') + 1), GetParam().outcomeSecond);
    // OrigDriverName is the device's DriverName, never the file's.
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "touch.dll");
    EXPECT_EQ(*HostFindRegistryValue(kPenwick, u"MaxDirDiff"), (std::vector<uint8_t>{60, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SettingsSourceTest,
    ::testing::Values(
        SettingsSource{"install_reg_beside_the_installer", u"", kBeside + u"install.reg",
                       "It forwards to touch.dll, with \\Storage Card\\Penwick\\install.reg."},
        SettingsSource{"a_file_named_beside_the_installer", u"\"my settings.reg\"",
                       kBeside + u"my settings.reg",
                       "It forwards to touch.dll, with \\Storage Card\\Penwick\\my settings.reg."},
        SettingsSource{"a_file_named_by_its_full_path", u"\"\\My Documents\\tuned.reg\"",
                       u"\\My Documents\\tuned.reg",
                       "It forwards to touch.dll, with \\My Documents\\tuned.reg."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupTest, installing_again_keeps_the_original_driver_and_rewrites_the_settings) {
    PreviouslyInstalled(u"oem_touch.dll");
    // The same bytes, over two blocks compared.
    std::string built = kPenwickBytes + std::string(512, 'p');
    g_hostSystem.files[kBeside + u"Penwick.dll"] = built;
    g_hostSystem.files[kInstalled] = built;
    g_hostSystem.files[u"\\Windows\\oem_touch.dll"] = kTouchBytes;
    g_hostSetup.filesInUse.insert(kInstalled);  // the host has loaded it
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "oem_touch.dll");
    EXPECT_NE(*HostFindRegistryValue(kPenwick, u"MaxDirDiff"), (std::vector<uint8_t>{60, 0, 0, 0}));
    EXPECT_NE(Log().find("holds the same bytes already"), std::string::npos);
    EXPECT_EQ(CheckErrors(), 0);
}

// An upgrade over an earlier Penwick that the host has loaded, with files of
// earlier installs about: one pass, and the loaded module is never touched.
TEST_F(SetupTest, an_upgrade_takes_a_name_of_its_own_and_a_later_run_deletes_the_loaded_module) {
    PreviouslyInstalled(u"touch.dll");
    HostSetRegistryString(kTouch, u"DriverName", u"Penwick.dll");
    g_hostSystem.files[u"\\Windows\\Penwick.dll"] = "an older Penwick.dll";
    g_hostSetup.filesInUse.insert(u"\\Windows\\Penwick.dll");  // the host has loaded it
    g_hostSystem.files[u"\\Windows\\Penwick.dll.old"] = "an even older one";
    g_hostSystem.files[u"\\Windows\\Penwick-ts.dll"] = "not Penwick's";
    // A rebuild of this version, differing in the last byte of the third
    // block compared.
    std::string built = kPenwickBytes + std::string(1500 - kPenwickBytes.size(), 'p');
    g_hostSystem.files[kBeside + u"Penwick.dll"] = built;
    g_hostSystem.files[kInstalled] = built.substr(0, 1499) + 'o';
    const std::u16string second = kInstalled.substr(0, kInstalled.size() - 4) + u"-2.dll";
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ("\\Windows\\" + StoredString(kTouch, u"DriverName"), Narrow(second));
    EXPECT_EQ(*HostFindFile(second), built);
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "touch.dll");
    EXPECT_EQ(*HostFindFile(u"\\Windows\\Penwick.dll"), "an older Penwick.dll");
    EXPECT_EQ(HostFindFile(u"\\Windows\\Penwick.dll.old"), nullptr);
    EXPECT_EQ(HostFindFile(kInstalled), nullptr);
    EXPECT_EQ(*HostFindFile(u"\\Windows\\Penwick-ts.dll"), "not Penwick's");
    EXPECT_EQ(CheckErrors(), 0);
    // After the next boot, the next run deletes the module loaded before.
    g_hostSetup.filesInUse.clear();
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ("\\Windows\\" + StoredString(kTouch, u"DriverName"), Narrow(second));
    EXPECT_EQ(HostFindFile(u"\\Windows\\Penwick.dll"), nullptr);
    EXPECT_EQ(*HostFindFile(second), built);
}

TEST_F(SetupTest, a_warning_of_the_check_is_said_and_does_not_stop_the_install) {
    std::string settings = kWorkedStrokeFile;
    settings.replace(settings.find("dword:3c"), 8, "dword:b5");  // MaxDirDiff 181
    g_hostSystem.files[kBeside + u"install.reg"] = settings;
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_NE(Outcome().find("The check warns about 1 of the settings"), std::string::npos);
    EXPECT_NE(Log().find("check: warning: MaxDirDiff is 181, above 180"), std::string::npos);
}

TEST_F(SetupTest, a_touch_driver_that_runs_from_rom_is_installed_in_front_of_and_given_back) {
    g_hostSystem.files.erase(u"\\Windows\\touch.dll");
    g_hostSetup.romModules.insert(u"\\WINDOWS\\TOUCH.DLL");
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "touch.dll");
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
}

// Every way an install or uninstall is refused or fails: it ends with one
// line saying why and the device exactly as it was.
struct Refusal {
    const char* name;
    std::function<void()> arrange;
    std::u16string command;  // without /quiet
    const char* why;         // what the outcome's line says after "Nothing was changed: "
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.name; }

void SetSettings(const std::string& text) { g_hostSystem.files[kBeside + u"install.reg"] = text; }

std::string WorkedStrokeWithout(const char* line) {
    std::string text = kWorkedStrokeFile;
    size_t at = text.find(line);
    return text.erase(at, text.find('\n', at) + 1 - at);
}

const Refusal kInstallRefusals[] = {
    {"no_touch_key", [] { g_hostSystem.registry.erase(u"HARDWARE\\DEVICEMAP\\TOUCH"); }, u"install",
     "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH cannot be opened: it is not there."},
    {"driver_name_missing", [] { g_hostSystem.registry[u"HARDWARE\\DEVICEMAP\\TOUCH"].clear(); },
     u"install",
     "DriverName under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH is missing, so the "
     "device's own touch driver is not known."},
    {"driver_name_not_a_string", [] { HostSetRegistryDword(kTouch, u"DriverName", 7); }, u"install",
     "DriverName under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH is stored as type 4, not "
     "as a string, so the device's own touch driver is not known."},
    {"driver_name_unterminated",
     [] { HostSetRegistryValue(kTouch, u"DriverName", 1, Utf16Bytes(u"touch.dll", false)); },
     u"install",
     "DriverName under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH has no terminating null, "
     "so the device's own touch driver is not known."},
    {"driver_name_longer_than_the_buffer",
     [] { HostSetRegistryString(kTouch, u"DriverName", std::u16string(60, u'x') + u".dll"); },
     u"install",
     "DriverName under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH has 130 bytes, more than a "
     "driver name may have (63 characters), so the device's own touch driver is not known."},
    {"driver_name_empty", [] { HostSetRegistryString(kTouch, u"DriverName", u""); }, u"install",
     "DriverName under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH is empty, so the device's "
     "own touch driver is not known."},
    {"original_driver_missing", [] { g_hostSystem.files.erase(u"\\Windows\\touch.dll"); },
     u"install", "the driver touch.dll is not there as \\Windows\\touch.dll (it is not there)."},
    {"original_driver_elsewhere_missing",
     [] { HostSetRegistryString(kTouch, u"DriverName", u"\\Storage\\oem_touch"); }, u"install",
     "the driver \\Storage\\oem_touch is not there as \\Storage\\oem_touch.dll (it is not there)."},
    {"original_driver_is_a_copy_of_penwick",
     [] { g_hostSystem.files[u"\\Windows\\touch.dll"] = kPenwickBytes; }, u"install",
     "\\Windows\\touch.dll is a copy of Penwick.dll, so the device's own touch driver is not "
     "known."},
    {"installed_without_penwicks_key",
     [] { HostSetRegistryString(kTouch, u"DriverName", u"penwick"); }, u"install",
     "DriverName names Penwick, but Penwick's key "
     "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick is not there, so the device's own "
     "touch driver is not known."},
    {"installed_in_front_of_itself", [] { PreviouslyInstalled(u"\\Windows\\PENWICK.DLL"); },
     u"install",
     "DriverName names Penwick, and OrigDriverName names Penwick itself: Penwick refuses to load "
     "and there is no touch input."},
    {"installed_without_original_driver_name",
     [] {
         PreviouslyInstalled(u"touch.dll");
         g_hostSystem.registry[u"HARDWARE\\DEVICEMAP\\TOUCH\\PENWICK"].erase(u"ORIGDRIVERNAME");
     },
     u"install",
     "DriverName names Penwick, and OrigDriverName is missing: Penwick loads touch.dll, and if "
     "that is not the device's own driver there is no touch input."},
    {"no_penwick_dll_beside_the_installer",
     [] { g_hostSystem.files.erase(kBeside + u"Penwick.dll"); }, u"install",
     "Penwick.dll is not beside the installer in \\Storage Card\\Penwick (it is not there)."},
    {"penwick_dll_beside_the_installer_empty",
     [] { g_hostSystem.files[kBeside + u"Penwick.dll"] = ""; }, u"install",
     "\\Storage Card\\Penwick\\Penwick.dll is not a whole module (0 bytes): copy it from the "
     "package again."},
    {"penwick_dll_beside_the_installer_broken_off",
     [] { g_hostSystem.files[kBeside + u"Penwick.dll"] = kPenwickBytes.substr(0, 0x1FF); },
     u"install",
     "\\Storage Card\\Penwick\\Penwick.dll is not a whole module (511 bytes): copy it from the "
     "package again."},
    // The module DriverName names, there but not to be opened: never
    // copied over, nor deleted by the undo of a later step that fails.
    {"a_module_that_cannot_be_opened_then_a_key_that_cannot_be_written",
     [] {
         PreviouslyInstalled(u"touch.dll");
         g_hostSetup.lockedFiles.insert(kInstalled);
         g_hostSetup.readOnlyKeys.insert(kPenwick);
     },
     u"install",
     "LowSpeed cannot be written under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick "
     "(access is denied)."},
    {"every_name_of_the_version_taken_by_other_files",
     [] {
         // Rebuilds of the version, each loaded by the host (as none can
         // be but one): none is deleted to make room.
         PreviouslyInstalled(u"touch.dll");
         const std::u16string stem = kInstalled.substr(0, kInstalled.size() - 4);
         g_hostSystem.files[kInstalled] = "a rebuild in use";
         g_hostSetup.filesInUse.insert(kInstalled);
         for (char16_t n = u'2'; n <= u'9'; n++) {
             g_hostSystem.files[stem + u"-" + n + u".dll"] = "another rebuild";
             g_hostSetup.filesInUse.insert(stem + u"-" + n + u".dll");
         }
     },
     u"install",
     "\\Windows holds 9 files of this version that differ from the Penwick.dll beside the "
     "installer: soft-reset the device and install again, which deletes those not used."},
    {"settings_file_named_is_not_there", [] {}, u"install nothing.reg",
     "the settings file \\Storage Card\\Penwick\\nothing.reg cannot be read (it is not there)."},
    {"settings_file_too_large", [] { SetSettings(std::string(16385, ';')); }, u"install",
     "the settings file \\Storage Card\\Penwick\\install.reg is larger than 16384 bytes."},
    {"settings_file_not_read",
     [] {
         SetSettings(
             "REGEDIT4\n[HKLM\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n\"LowSpeed\"=dword:1x\n");
     },
     u"install", "\\Storage Card\\Penwick\\install.reg, line 3: dword: wants 1 to 8 hex digits."},
    {"settings_file_deletes",
     [] { SetSettings(std::string(kWorkedStrokeFile) + "\"CaptureFile\"=-\n"); }, u"install",
     "\\Storage Card\\Penwick\\install.reg, line 12: deletes a value or a key; a settings file "
     "for installing only writes values."},
    {"settings_file_without_penwicks_key",
     [] {
         SetSettings(
             "REGEDIT4\n[HKLM\\HARDWARE\\DEVICEMAP\\TOUCH]\n\"DriverName\"=\"Penwick.dll\"\n");
     },
     u"install",
     "\\Storage Card\\Penwick\\install.reg writes nothing under "
     "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick."},
    {"settings_that_the_check_rejects",
     [] { SetSettings(WorkedStrokeWithout("\"MaxErrorDelay\"")); }, u"install",
     "with these settings, MaxErrorDelay is missing: filtering is off."},
    {"settings_that_the_check_rejects_before_driver_name_is_touched",
     [] {
         SetSettings(WorkedStrokeWithout("\"MaxErrorDelay\""));
         g_hostSetup.readOnlyKeys.insert(u"HARDWARE\\DEVICEMAP\\TOUCH");
     },
     u"install", "with these settings, MaxErrorDelay is missing: filtering is off."},
    {"settings_that_the_check_rejects_over_values_that_were_there",
     [] {
         HostSetRegistryDword(kPenwick, u"LowSpeed", 99);
         HostSetRegistryString(kPenwick, u"OrigDriverName", u"old.dll");
         HostSetRegistryValue(kPenwick, u"CaptureFile", 3, {1, 2, 3});
         SetSettings(WorkedStrokeWithout("\"HighSpeed\"") + "\"CaptureFile\"=\"\\\\c.csv\"\n");
     },
     u"install", "with these settings, HighSpeed is missing: filtering is off."},
    {"penwicks_key_cannot_be_made",
     [] { g_hostSetup.readOnlyKeys.insert(u"HARDWARE\\DEVICEMAP\\TOUCH\\Penwick"); }, u"install",
     "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick cannot be made (access is denied)."},
    {"penwicks_key_cannot_be_written",
     [] {
         HostSetRegistryDword(kPenwick, u"LowSpeed", 99);
         g_hostSetup.readOnlyKeys.insert(u"hardware\\devicemap\\touch\\penwick");
     },
     u"install",
     "OrigDriverName cannot be written under "
     "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick "
     "(access is denied)."},
    {"driver_name_cannot_be_switched",
     [] { g_hostSetup.readOnlyKeys.insert(u"HARDWARE\\DEVICEMAP\\TOUCH"); }, u"install",
     "DriverName cannot be written under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH (access is "
     "denied)."},
    {"a_full_store_for_penwick_dll", [] { g_hostSystem.storeRoom = kPenwickBytes.size() - 1; },
     u"install", "Penwick.dll cannot be copied to \\Windows\\{penwick} (the store is full)."},
    {"a_full_store_for_penwick_dll_beside_an_older_one",
     [] {
         g_hostSystem.files[u"\\Windows\\Penwick.dll"] = "an older Penwick.dll";
         g_hostSystem.storeRoom = kPenwickBytes.size() - 1;
     },
     u"install", "Penwick.dll cannot be copied to \\Windows\\{penwick} (the store is full)."},
    // The store says it took HighSpeed, and keeps something else: the read
    // back compares what is kept, not only that it is there.
    {"a_setting_that_does_not_read_back_as_written",
     [] { g_hostSetup.garbledOnce = u"HighSpeed"; }, u"install",
     "HighSpeed does not read back as it was written."},
    {"a_full_store_for_the_settings",
     // Penwick.dll, OrigDriverName (20 bytes), LowSpeed and MinDirSpeed fit.
     [] { g_hostSystem.storeRoom = kPenwickBytes.size() + 28; }, u"install",
     "HighSpeed cannot be written under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick "
     "(the store is full)."},
};

class RefusalTest : public SetupTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, ends_with_one_line_why_and_nothing_changed) {
    GetParam().arrange();
    DeviceState before = CurrentState();
    EXPECT_EQ(Run(GetParam().command + u" /quiet"), InstallationNothingChanged);
    EXPECT_EQ(Outcome(), "Nothing was changed: " + Installed(GetParam().why));
    DeviceState after = CurrentState();
    EXPECT_TRUE(after == before) << "before:\n"
                                 << Describe(before) << "after:\n"
                                 << Describe(after);
}

INSTANTIATE_TEST_SUITE_P(Install, RefusalTest, ::testing::ValuesIn(kInstallRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// A settings file lacking one of the eight is refused though the registry
// holds that value from before: the device would run a value nobody chose.
TEST_F(SetupTest, a_file_lacking_a_setting_is_refused_whatever_the_key_holds_from_before) {
    struct Situation {
        const char* name;
        std::function<void()> arrange;
    };
    const Situation situations[] = {
        {"install_over_a_key_left_behind",
         [] {
             PreviouslyInstalled(u"touch.dll");
             HostSetRegistryString(kTouch, u"DriverName", u"touch.dll");
         }},
        {"install_again", [] { PreviouslyInstalled(u"touch.dll"); }},
        {"install_after_uninstall",
         [] {
             PreviouslyInstalled(u"touch.dll");
             ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
         }},
    };
    for (const Situation& situation : situations) {
        for (const ConfigurationSetting& setting : kConfigurationSettings) {
            std::string missing = Narrow(setting.name);
            SCOPED_TRACE(std::string(situation.name) + " without " + missing);
            SetUp();
            situation.arrange();
            SetSettings(WorkedStrokeWithout(("\"" + missing + "\"").c_str()));
            DeviceState before = CurrentState();
            EXPECT_EQ(Run(u"install /quiet"), InstallationNothingChanged);
            EXPECT_EQ(Outcome(), "Nothing was changed: with these settings, " + missing +
                                     " is missing: filtering is off.");
            EXPECT_TRUE(CurrentState() == before) << Describe(CurrentState());
        }
    }
}

TEST_F(SetupTest, a_complete_file_over_other_values_leaves_exactly_its_eight_settings) {
    PreviouslyInstalled(u"touch.dll");
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        HostSetRegistryDword(kPenwick, setting.name, 999);
    }
    HostSetRegistryString(kPenwick, u"CaptureFile", u"\\My Documents\\c.csv");
    HostSetRegistryDword(kPenwick, u"LowSpeeed", 7);  // mistyped by hand
    SetSettings(kWorkedStrokeFile);
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        SCOPED_TRACE(Narrow(kConfigurationSettings[i].name));
        const std::vector<uint8_t>* value = HostFindRegistryValue(kPenwick, kConfigurationSettings[i].name);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, (std::vector<uint8_t>{uint8_t(kWorkedStroke[i].value), 0, 0, 0}));
    }
    // What the installer does not own stays, and status says what nothing reads.
    EXPECT_EQ(StoredString(kPenwick, u"CaptureFile"), "\\My Documents\\c.csv");
    EXPECT_EQ(StoredString(kPenwick, u"OrigDriverName"), "touch.dll");
    ASSERT_EQ(Run(u"status /quiet"), InstallationDone);
    EXPECT_EQ(Outcome().substr(Outcome().rfind('\n') + 1),
              "Penwick does not read these values of its key: LOWSPEEED.");
}

TEST_F(SetupTest, when_putting_back_fails_too_it_says_so_and_what_driver_name_names) {
    // The store fills while the settings are written: MinDirSpeed fails,
    // and so does putting back the LowSpeed that was there.
    HostSetRegistryDword(kPenwick, u"LowSpeed", 99);
    g_hostSystem.storeRoom = kPenwickBytes.size() + 24;
    EXPECT_EQ(Run(u"install /quiet"), InstallationNotUndone);
    EXPECT_EQ(Outcome(),
              "It failed: MinDirSpeed cannot be written under "
              "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick (the store is full).\n"
              "Putting everything back failed too; the log says what is left.\n"
              "DriverName still names touch.dll.");
    EXPECT_NE(Log().find("undo: LowSpeed cannot be put back (the store is full)"),
              std::string::npos);
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
}

// --- uninstall ---------------------------------------------------------------

TEST_F(SetupTest, uninstall_switches_back_and_keeps_the_settings) {
    PreviouslyInstalled(u"touch.dll");
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
    EXPECT_NE(HostFindRegistryValue(kPenwick, u"LowSpeed"), nullptr);
    EXPECT_EQ(
        Outcome(),
        "Penwick is uninstalled: the touch driver is touch.dll again from the next boot. "
        "Soft-reset the device.\n"
        "Penwick's settings stay under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick "
        "(uninstall --purge deletes them).");
    // Penwick's module is not in use, or the host has loaded it: it is
    // deleted, or a later run deletes it.
    EXPECT_EQ(HostFindFile(kInstalled), nullptr);
    PreviouslyInstalled(u"touch.dll");
    g_hostSetup.filesInUse.insert(kInstalled);
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
    EXPECT_NE(HostFindFile(kInstalled), nullptr);
    EXPECT_EQ(Outcome().substr(Outcome().rfind('\n') + 1),
              Installed("After the soft reset, \\Windows\\{penwick} is not used and may be deleted."));
    g_hostSetup.filesInUse.clear();
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(HostFindFile(kInstalled), nullptr);
}

TEST_F(SetupTest, uninstall_purge_deletes_penwicks_key) {
    PreviouslyInstalled(u"touch.dll");
    ASSERT_EQ(Run(u"uninstall --purge /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
    EXPECT_EQ(g_hostSystem.registry.count(u"HARDWARE\\DEVICEMAP\\TOUCH\\PENWICK"), 0u);
    EXPECT_NE(Outcome().find("\nPenwick's settings are deleted."), std::string::npos);
}

TEST_F(SetupTest, uninstall_when_not_installed_changes_nothing_but_purges_when_asked) {
    HostSetRegistryDword(kPenwick, u"LowSpeed", 3);
    DeviceState before = CurrentState();
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone);
    EXPECT_EQ(Outcome(), "Penwick is not installed: the touch driver is touch.dll.");
    EXPECT_TRUE(CurrentState() == before);
    ASSERT_EQ(Run(u"uninstall --purge /quiet"), InstallationDone);
    EXPECT_EQ(g_hostSystem.registry.count(u"HARDWARE\\DEVICEMAP\\TOUCH\\PENWICK"), 0u);
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
}

const Refusal kUninstallRefusals[] = {
    {"original_driver_missing", [] { PreviouslyInstalled(u"oem_touch.dll"); }, u"uninstall",
     "the driver oem_touch.dll is not there as \\Windows\\oem_touch.dll (it is not there)."},
    {"original_driver_name_names_penwick", [] { PreviouslyInstalled(kInstalledName); },
     u"uninstall",
     "DriverName names Penwick, and OrigDriverName names Penwick itself: Penwick refuses to load "
     "and there is no touch input."},
    {"driver_name_cannot_be_switched",
     [] {
         PreviouslyInstalled(u"touch.dll");
         g_hostSetup.readOnlyKeys.insert(u"HARDWARE\\DEVICEMAP\\TOUCH");
     },
     u"uninstall --purge",
     "DriverName cannot be written under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH (access is "
     "denied)."},
};

INSTANTIATE_TEST_SUITE_P(Uninstall, RefusalTest, ::testing::ValuesIn(kUninstallRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// --- status -----------------------------------------------------------------------

TEST_F(SetupTest, status_says_what_is_installed_what_it_forwards_to_the_verdict_and_the_capture) {
    PreviouslyInstalled(u"touch.dll");
    HostSetRegistryString(kPenwick, u"CaptureFile", u"\\My Documents\\penwick-capture.csv");
    HostSetRegistryDword(kPenwick, u"CaptureLimit", 100u << 20);
    g_hostSystem.files[u"\\My Documents\\penwick-capture.csv"] = std::string(1234, 'x');
    DeviceState before = CurrentState();
    ASSERT_EQ(Run(u"status /quiet"), InstallationDone);
    EXPECT_EQ(Outcome(),
              Installed("Penwick is installed: DriverName names {penwick}.\n"
              "It forwards to touch.dll (\\Windows\\touch.dll).\n"
              "\\Windows\\{penwick}: it is not a module: its headers cannot be read, 512 bytes.\n"
              "{penwick}: it is not a module the device could load: its headers cannot be "
              "read.\n"
              "At the next boot Penwick filters (the check finds no error, 0 warnings).\n"
              "Capture is on, into \\My Documents\\penwick-capture.csv: 1234 bytes of at most "
              "67108864."));
    EXPECT_TRUE(CurrentState() == before);
    // A setting stored as a string: Penwick forwards every sample unfiltered.
    HostSetRegistryString(kPenwick, u"LowSpeed", u"3");
    EXPECT_EQ(Run(u"status /quiet"), InstallationNotFiltering);
    // No driver name: the host loads no touch driver at all.
    HostSetRegistryString(kTouch, u"DriverName", u"");
    EXPECT_EQ(Run(u"status /quiet"), InstallationNoTouchInput);
}

TEST_F(SetupTest, status_says_there_is_no_touch_input_when_a_driver_file_is_missing) {
    struct Missing {
        const char* name;
        std::u16string driverName;  // what DriverName names Penwick as
        std::u16string deleted;     // the file that is not there
        const char* lines;          // the outcome's second to fourth lines
    };
    const Missing cases[] = {
        {"the_driver_it_forwards_to", u"Penwick.dll", u"\\Windows\\touch.dll",
         "It forwards to touch.dll, but \\Windows\\touch.dll is not there: no touch input!\n"
         "\\Windows\\Penwick.dll: it is not a module: its headers cannot be read, 512 bytes.\n"
         "Penwick.dll: it is not a module the device could load: its headers cannot be read.\n"
         "At the next boot Penwick does not filter and there is no touch input: "
         "\\Windows\\touch.dll is not there.\n"},
        {"penwick_itself", u"Penwick.dll", u"\\Windows\\Penwick.dll",
         "It forwards to touch.dll (\\Windows\\touch.dll).\n"
         "\\Windows\\Penwick.dll is not there.\n"
         "At the next boot Penwick does not filter and there is no touch input: "
         "\\Windows\\Penwick.dll is not there.\n"},
        {"penwick_where_driver_name_points", u"\\Storage Card\\Penwick",
         u"\\Storage Card\\Penwick.dll",
         "It forwards to touch.dll (\\Windows\\touch.dll).\n"
         "\\Storage Card\\Penwick.dll is not there.\n"
         "At the next boot Penwick does not filter and there is no touch input: "
         "\\Storage Card\\Penwick.dll is not there.\n"},
    };
    for (const Missing& m : cases) {
        SCOPED_TRACE(m.name);
        PreviouslyInstalled(u"touch.dll");
        HostSetRegistryString(kTouch, u"DriverName", m.driverName);
        g_hostSystem.files[u"\\Windows\\touch.dll"] = kTouchBytes;
        g_hostSystem.files[u"\\Windows\\Penwick.dll"] = kPenwickBytes;
        g_hostSystem.files.erase(m.deleted);
        ASSERT_EQ(Run(u"status /quiet"), InstallationNoTouchInput);
        std::string outcome = Outcome();
        outcome = outcome.substr(outcome.find('\n') + 1);
        EXPECT_EQ(outcome.substr(0, outcome.find("Capture")), m.lines);
    }
}

// OrigDriverName stored as REG_EXPAND_SZ and empty: the check says first
// that it is not a string, but what matters is that it is empty.
TEST_F(SetupTest, status_says_no_touch_input_when_an_empty_orig_driver_name_comes_second) {
    PreviouslyInstalled(u"touch.dll");
    HostSetRegistryValue(kPenwick, u"OrigDriverName", 2, {0, 0});
    EXPECT_EQ(Run(u"status /quiet"), InstallationNoTouchInput) << Outcome();
    EXPECT_NE(Outcome().find("OrigDriverName is stored as type 2, not as a string (REG_SZ) (and "
                             "more: see the log)"),
              std::string::npos)
        << Outcome();
}

TEST_F(SetupTest, status_after_uninstall_says_capture_is_off_though_its_settings_stay) {
    PreviouslyInstalled(u"touch.dll");
    HostSetRegistryString(kPenwick, u"CaptureFile", u"\\My Documents\\penwick-capture.csv");
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone);
    ASSERT_EQ(Run(u"status /quiet"), InstallationNotInstalled);
    EXPECT_EQ(Outcome().substr(Outcome().rfind('\n') + 1), "Capture is off.");
    // Installed again, the capture is on again.
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone);
    ASSERT_EQ(Run(u"status /quiet"), InstallationDone);
    EXPECT_EQ(Outcome().substr(Outcome().rfind('\n') + 1),
              "Capture is on, into \\My Documents\\penwick-capture.csv (no file yet), at most "
              "1048576 bytes.");
}

TEST_F(SetupTest, status_of_a_device_without_penwick_names_its_touch_driver) {
    HostSetRegistryString(kPenwick, u"CaptureFile", u"relative.csv");
    ASSERT_EQ(Run(u"status /quiet"), InstallationNotInstalled);
    EXPECT_EQ(Outcome(),
              "Penwick is not installed: the touch driver is touch.dll.\n"
              "At the next boot Penwick does not filter: DriverName does not name Penwick.dll, so "
              "the host does not load Penwick (and more: see the log).\n"
              "Capture is off.");
}

}  // namespace

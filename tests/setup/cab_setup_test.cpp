// The CAB's setup DLL on the fake platform: the system's installer has put
// the CAB's files in \Program Files\Penwick, then calls it; and before
// Remove Programs removes them.
#include "setup/cab_setup.h"
#include "setup_fixture.h"

namespace {

const std::u16string kCabFolder = u"\\Program Files\\Penwick";
const std::u16string kStatusShortcut = u"\\Windows\\Start Menu\\Programs\\Penwick status.lnk";
const std::u16string kUninstallShortcut = u"\\Windows\\Start Menu\\Programs\\Penwick uninstall.lnk";

class CabSetupTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        g_hostSystem.files.erase(kBeside + u"Penwick.dll");
        g_hostSystem.files[kCabFolder + u"\\Penwick.dll"] = kPenwickBytes;
    }
};

TEST_F(CabSetupTest, installs_from_its_folder_with_shortcuts_and_remove_programs_uninstalls) {
    // The folder as the system's installer may give it, with a backslash.
    ASSERT_EQ(CabSetupInstallExit(false, (kCabFolder + u"\\").c_str(), 0), kCabSetupDone)
        << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
    EXPECT_EQ(*HostFindFile(kStatusShortcut), "48#\"\\Program Files\\Penwick\\PenwickSetup.exe\" status");
    EXPECT_EQ(*HostFindFile(kUninstallShortcut),
              "51#\"\\Program Files\\Penwick\\PenwickSetup.exe\" uninstall");
    ASSERT_EQ(g_hostSetup.shown.size(), 1u);
    EXPECT_EQ(Narrow(g_hostSetup.shown[0].text).substr(0, 20), "Penwick is installed");
    EXPECT_NE(HostFindFile(kLog)->find("Penwick CAB setup "), std::string::npos);

    ASSERT_EQ(CabSetupUninstallInit(false, kCabFolder.c_str()), kCabSetupContinue) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
    EXPECT_EQ(HostFindFile(kStatusShortcut), nullptr);
    EXPECT_EQ(HostFindFile(kUninstallShortcut), nullptr);
}

// Each ends with the device as it was and one line why: in a message box,
// or, silent, only in the log, and the system's installer told to roll the
// installation back or to keep the files.
TEST_F(CabSetupTest, a_refusal_rolls_back_or_cancels_and_says_why) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool install;      // else Remove Programs
        uint32_t failed;   // the CAB's files not installed
        const char* why;   // the outcome's first line
    };
    const Case cases[] = {
        {"a_cab_copied_incompletely", [] {}, true, 2,
         "Nothing was changed: 2 of the CAB's files and folders could not be installed in "
         "\\Program Files\\Penwick. Copy the CAB to the device again, whole, and install it again."},
        {"a_penwick_dll_cut_short",
         [] { g_hostSystem.files[kCabFolder + u"\\Penwick.dll"] = kPenwickBytes.substr(0, 300); },
         true, 0,
         "Nothing was changed: \\Program Files\\Penwick\\Penwick.dll is not a whole module (300 "
         "bytes): copy it from the package again."},
        {"a_second_install_while_one_runs", [] { g_hostSetup.anotherRun = true; }, true, 0,
         "Nothing was changed: another PenwickSetup (or a Penwick CAB's installation) is "
         "running. Try again when it has finished."},
        {"remove_programs_while_the_original_driver_is_gone",
         [] {
             PreviouslyInstalled(u"oem_touch.dll");
         },
         false, 0,
         "Nothing was changed: the driver oem_touch.dll is not there as \\Windows\\oem_touch.dll "
         "(it is not there)."},
    };
    for (const Case& c : cases) {
        for (bool quiet : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (quiet ? ", silent" : ""));
            SetUp();
            c.arrange();
            DeviceState before = CurrentState();
            int32_t answer = c.install ? CabSetupInstallExit(quiet, kCabFolder.c_str(), c.failed)
                                       : CabSetupUninstallInit(quiet, kCabFolder.c_str());
            EXPECT_EQ(answer, c.install ? kCabSetupRollBack : kCabSetupCancel);
            EXPECT_TRUE(CurrentState() == before) << Describe(CurrentState());
            EXPECT_EQ(Outcome().substr(0, Outcome().find('\n')), c.why);
            EXPECT_EQ(g_hostSetup.shown.size(), quiet ? 0u : 1u);
            EXPECT_NE(HostFindFile(kLog)->find("outcome: " + std::string(c.why)), std::string::npos);
        }
    }
}

// A fleet's switches, from \Windows\PenwickSetup.options (written by an
// editor that puts a byte-order mark first): quiet, though the system's
// installer gave a window, and the log on the card; of the rest, nothing.
// Remove Programs, later, takes none of them: a card taken out, or a word
// that uninstall does not know, never stands in its way.
TEST_F(CabSetupTest, a_fleet_gives_its_switches_in_an_options_file) {
    g_hostSystem.files[u"\\Windows\\PenwickSetup.options"] =
        "\xEF\xBB\xBF/quiet /untrusted /log \"\\Storage Card\\fleet\" fleet.reg\r\n";
    ASSERT_EQ(CabSetupInstallExit(false, kCabFolder.c_str(), 0), kCabSetupDone) << Outcome();
    EXPECT_TRUE(g_hostSetup.shown.empty());
    const std::string* log = HostFindFile(u"\\Storage Card\\fleet\\PenwickSetup.log");
    ASSERT_NE(log, nullptr);
    EXPECT_NE(log->find("outcome: Penwick is installed"), std::string::npos);
    EXPECT_NE(log->find("shortcut \\Windows\\Start Menu\\Programs\\Penwick status.lnk"),
              std::string::npos);
    EXPECT_NE(log->find("only /quiet and /log FOLDER are used"), std::string::npos);
    EXPECT_EQ(HostFindRegistryValue(kPenwick, u"InstalledUntrusted"), nullptr);
    EXPECT_EQ(HostFindFile(kLog), nullptr);

    g_hostSetup.filesInUse.insert(u"\\Storage Card\\fleet\\PenwickSetup.log");
    ASSERT_EQ(CabSetupUninstallInit(false, kCabFolder.c_str()), kCabSetupContinue) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), "touch.dll");
    EXPECT_EQ(g_hostSetup.shown.size(), 1u);
}

}  // namespace

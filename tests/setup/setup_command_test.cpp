// The installer's command line, its questions, message boxes and log.
#include "setup_fixture.h"

namespace {

TEST_F(SetupTest, command_lines_it_does_not_understand_change_nothing_and_say_how_to_use_it) {
    const std::u16string lines[] = {u"/quiet",
                                    u"frobnicate /quiet",
                                    u"install a b /quiet",
                                    u"install --purge /quiet",
                                    u"uninstall --force /quiet",
                                    u"status now /quiet",
                                    u"install \"a b\" c /quiet"};
    for (const std::u16string& line : lines) {
        SCOPED_TRACE(Narrow(line));
        DeviceState before = CurrentState();
        EXPECT_EQ(Run(line), InstallationUsage);
        EXPECT_EQ(Outcome().substr(0, 36),
                  "PenwickSetup does not understand \"" + Narrow(line).substr(0, 2));
        EXPECT_NE(Outcome().find(
                      "\nUse: PenwickSetup install [SETTINGS.reg] [/untrusted] | uninstall [--purge] | status"),
                  std::string::npos);
        EXPECT_TRUE(CurrentState() == before);
        EXPECT_TRUE(g_hostSetup.shown.empty());
    }
}

TEST_F(SetupTest, the_outcome_is_shown_in_a_message_box_unless_quiet) {
    EXPECT_EQ(Run(u"status"), InstallationNotInstalled);
    ASSERT_EQ(g_hostSetup.shown.size(), 1u);
    EXPECT_EQ(Narrow(g_hostSetup.shown[0].text), Outcome());
    EXPECT_FALSE(g_hostSetup.shown[0].failed);
    g_hostSystem.files.erase(u"\\Windows\\touch.dll");
    EXPECT_EQ(Run(u"INSTALL"), InstallationNothingChanged);
    ASSERT_EQ(g_hostSetup.shown.size(), 2u);
    EXPECT_TRUE(g_hostSetup.shown[1].failed);
    EXPECT_TRUE(g_hostSetup.questions.empty());
}

// Started from the file explorer, without a command: it asks first.
struct Question {
    const char* name;
    bool installed;
    SetupAnswer answer;
    const char* question;  // how it begins
    int result;
    const char* driverName;  // after it
};

void PrintTo(const Question& q, std::ostream* out) { *out << q.name; }

class QuestionTest : public SetupTest, public ::testing::WithParamInterface<Question> {};

TEST_P(QuestionTest, asks_what_to_do_and_does_it) {
    const Question& q = GetParam();
    if (q.installed) {
        PreviouslyInstalled(u"touch.dll");
    }
    g_hostSetup.answer = q.answer;
    EXPECT_EQ(Run(u""), q.result);
    ASSERT_EQ(g_hostSetup.questions.size(), 1u);
    EXPECT_EQ(Narrow(g_hostSetup.questions[0]).substr(0, strlen(q.question)), q.question);
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Installed(q.driverName));
    EXPECT_EQ(g_hostSetup.shown.size(), q.result == InstallationNothingChanged ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    FromTheFileExplorer, QuestionTest,
    ::testing::Values(
        Question{"yes_installs", false, SetupAnswerYes,
                 "Install Penwick in front of touch.dll?\n\nPenwick.dll goes into \\Windows",
                 InstallationDone, "{penwick}"},
        Question{"no_changes_nothing", false, SetupAnswerNo, "Install Penwick",
                 InstallationNothingChanged, "touch.dll"},
        Question{"installed_yes_installs_again", true, SetupAnswerYes,
                 "Penwick is installed, in front of touch.dll.\n\nYes: install it again",
                 InstallationDone, "{penwick}"},
        Question{"installed_no_uninstalls", true, SetupAnswerNo, "Penwick is installed",
                 InstallationDone, "touch.dll"},
        Question{"installed_cancel_changes_nothing", true, SetupAnswerCancel,
                 "Penwick is installed", InstallationNothingChanged, "{penwick}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupTest, every_run_appends_what_it_did_to_its_log) {
    // Which device, so that a fleet's logs can be told apart.
    g_hostSystem.device = {u"Pocket_PC", u"HTC Wizard", u"PocketPC", 5, 1, 1702, 3};
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone);
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone);
    const std::string* log = HostFindFile(kLog);
    ASSERT_NE(log, nullptr);
    size_t second = log->find("PenwickSetup 0.1.0, 2026-12-09 10:30:05: \"uninstall /quiet\"\n");
    EXPECT_EQ(log->find("PenwickSetup 0.1.0, 2026-12-09 10:30:05: \"install /quiet\"\n"
                        "device \"Pocket_PC\", OEM \"HTC Wizard\", platform PocketPC, Windows CE "
                        "5.1.1702\ninstall\nDriverName: touch.dll\n"),
              0u);
    EXPECT_NE(log->find("outcome: Penwick is installed: soft-reset the device to start it.\n"
                        "  It forwards to touch.dll, with the recommended settings.\n"),
              std::string::npos);
    EXPECT_NE(second, std::string::npos);
    EXPECT_NE(log->find("outcome: Penwick is uninstalled", second), std::string::npos);
}

}  // namespace

// For a fleet: the log where /log says, one run at a time; a log that
// cannot be written there goes to \Windows, and the run goes on.
TEST_F(SetupTest, the_log_goes_where_log_says_and_a_second_run_changes_nothing) {
    const std::u16string fleetLog = u"\\Storage Card\\fleet\\PenwickSetup.log";
    ASSERT_EQ(Run(u"status /log \"\\Storage Card\\fleet\\\\\" /quiet"), InstallationNotInstalled)
        << Outcome();
    ASSERT_NE(HostFindFile(fleetLog), nullptr);
    EXPECT_NE(HostFindFile(fleetLog)->find("outcome: Penwick is not installed"), std::string::npos);
    EXPECT_EQ(HostFindFile(kLog), nullptr);

    g_hostSetup.filesInUse.insert(fleetLog);
    EXPECT_EQ(Run(u"install /quiet /log \"\\Storage Card\\fleet\""), InstallationDone);
    EXPECT_EQ(Outcome().substr(Outcome().rfind('\n') + 1),
              "The log's folder \\Storage Card\\fleet cannot be written (it is in use): the log "
              "is in the system's folder (\\Windows).");
    ASSERT_NE(HostFindFile(kLog), nullptr);
    EXPECT_NE(HostFindFile(kLog)->find("outcome: Penwick is installed"), std::string::npos);

    g_hostSetup.filesInUse.clear();
    g_hostSetup.anotherRun = true;
    DeviceState before = CurrentState();
    EXPECT_EQ(Run(u"uninstall /quiet"), InstallationNothingChanged);
    EXPECT_EQ(Outcome().substr(0, 53), "Nothing was changed: another PenwickSetup (or a Penwi");
    EXPECT_TRUE(CurrentState() == before) << Describe(CurrentState());
    g_hostSetup.anotherRun = false;
    EXPECT_EQ(Run(u"install /log"), InstallationUsage);
}

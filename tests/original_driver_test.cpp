#include <functional>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "proxy/forwarders.h"

namespace {

// The touch driver interface in the order the binding resolves it.
const char16_t* const kRequired[] = {
    u"TouchPanelGetDeviceCaps",        u"TouchPanelSetMode",
    u"TouchPanelPowerHandler",         u"TouchPanelEnable",
    u"TouchPanelDisable",              u"TouchPanelReadCalibrationPoint",
    u"TouchPanelReadCalibrationAbort", u"TouchPanelSetCalibration",
    u"TouchPanelCalibrateAPoint"};
const char16_t* const kOptional[] = {
    u"TouchGetFocusWnd",    u"TouchGetLastTouchFocusWnd", u"TouchReset",
    u"TouchCreateEvent",    u"TouchRegisterWindow",       u"TouchUnregisterWindow",
    u"TouchSetValue",       u"TouchGetValue",             u"TouchGetQueuePtr"};

// What a stand-in original driver was called with.
struct DriverCall {
    std::u16string entry;
    std::vector<ArgWord> words;
};
std::vector<DriverCall> g_driverCalls;

// A stand-in entry point: records its words and returns a result of its own.
template <int N>
ArgWord Two(ArgWord a, ArgWord b) {
    g_driverCalls.push_back({kOptional[N], {a, b}});
    return 0xA000 + N;
}
template <int N>
ArgWord Three(ArgWord a, ArgWord b, ArgWord c) {
    g_driverCalls.push_back({kRequired[N], {a, b, c}});
    return 0xB000 + N;
}
ArgWord Four(ArgWord a, ArgWord b, ArgWord c, ArgWord d) {
    g_driverCalls.push_back({kRequired[8], {a, b, c, d}});
    return 0xB008;
}
ArgWord Five(ArgWord a, ArgWord b, ArgWord c, ArgWord d, ArgWord e) {
    g_driverCalls.push_back({kRequired[7], {a, b, c, d, e}});
    return 0xB007;
}
int32_t Enable(SampleCallback callback) {
    g_driverCalls.push_back({kRequired[3], {reinterpret_cast<ArgWord>(callback)}});
    return 0xB003;
}

template <typename F>
SystemProc Proc(F f) {
    return reinterpret_cast<SystemProc>(f);
}

std::map<std::u16string, SystemProc> RequiredEntries() {
    return {{kRequired[0], Proc(Three<0>)}, {kRequired[1], Proc(Three<1>)},
            {kRequired[2], Proc(Three<2>)}, {kRequired[3], Proc(Enable)},
            {kRequired[4], Proc(Three<4>)}, {kRequired[5], Proc(Three<5>)},
            {kRequired[6], Proc(Three<6>)}, {kRequired[7], Proc(Five)},
            {kRequired[8], Proc(Four)}};
}

std::map<std::u16string, SystemProc> AllEntries() {
    std::map<std::u16string, SystemProc> entries = RequiredEntries();
    SystemProc optional[] = {Proc(Two<0>), Proc(Two<1>), Proc(Two<2>), Proc(Two<3>), Proc(Two<4>),
                             Proc(Two<5>), Proc(Two<6>), Proc(Two<7>), Proc(Two<8>)};
    for (int i = 0; i < 9; i++) {
        entries[kOptional[i]] = optional[i];
    }
    return entries;
}

// The table's slots in binding order, for checking what was bound.
std::vector<SystemProc> TableSlots() {
    const OriginalDriver& d = g_originalDriver;
    return {Proc(d.TouchPanelGetDeviceCaps),    Proc(d.TouchPanelSetMode),
            Proc(d.TouchPanelPowerHandler),     Proc(d.TouchPanelEnable),
            Proc(d.TouchPanelDisable),          Proc(d.TouchPanelReadCalibrationPoint),
            Proc(d.TouchPanelReadCalibrationAbort), Proc(d.TouchPanelSetCalibration),
            Proc(d.TouchPanelCalibrateAPoint),  Proc(d.TouchGetFocusWnd),
            Proc(d.TouchGetLastTouchFocusWnd),  Proc(d.TouchReset),
            Proc(d.TouchCreateEvent),           Proc(d.TouchRegisterWindow),
            Proc(d.TouchUnregisterWindow),      Proc(d.TouchSetValue),
            Proc(d.TouchGetValue),              Proc(d.TouchGetQueuePtr)};
}

SystemModule const kSelf = reinterpret_cast<SystemModule>(0x5E1F);

class BindingTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        g_driverCalls.clear();
    }
};

TEST_F(BindingTest, attach_binds_every_entry_of_a_full_driver) {
    HostLibrary& touch = HostAddLibrary(u"touch.dll", AllEntries());
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    EXPECT_EQ(g_hostSystem.threadNotificationStops, std::vector<SystemModule>{kSelf});
    EXPECT_EQ(touch.loads, 1);
    std::vector<SystemProc> slots = TableSlots();
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(slots[i], RequiredEntries()[kRequired[i]]) << i;
        EXPECT_EQ(slots[9 + i], AllEntries()[kOptional[i]]) << i;
    }
    SystemModule module = g_originalDriver.module;
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessDetach), 1);
    EXPECT_EQ(touch.releases, 1);
    EXPECT_TRUE(g_driverCalls.empty());  // detach calls nothing of the driver
    // ...and clears nothing: the table stays as attach left it.
    EXPECT_EQ(g_originalDriver.module, module);
    EXPECT_EQ(TableSlots(), slots);
}

TEST_F(BindingTest, attach_loads_the_driver_the_registry_names) {
    HostSetRegistryString(kConfigurationKey, u"OrigDriverName", u"tsp.dll");
    HostAddLibrary(u"touch.dll", AllEntries());
    HostLibrary& tsp = HostAddLibrary(u"tsp.dll", AllEntries());
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    EXPECT_EQ(g_hostSystem.loadRequests, std::vector<std::u16string>{u"tsp.dll"});
    EXPECT_EQ(tsp.loads, 1);
    EXPECT_FALSE(g_configuration.filteringEnabled);  // configuration never refuses
}

TEST_F(BindingTest, missing_driver_refuses_the_load_and_detach_releases_nothing) {
    HostAddLibrary(u"other.dll", AllEntries());
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 0);
    EXPECT_EQ(g_originalDriver.module, nullptr);
    // Thread notifications were stopped first, before anything could fail.
    ASSERT_FALSE(g_hostSystem.calls.empty());
    EXPECT_EQ(g_hostSystem.calls[0], "SystemStopThreadNotifications");
    EXPECT_EQ(g_hostSystem.threadNotificationStops, std::vector<SystemModule>{kSelf});
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessDetach), 1);
    EXPECT_EQ(g_hostSystem.libraries[0].releases, 0);
}

TEST_F(BindingTest, a_driver_name_that_leads_back_to_penwick_refuses_the_load) {
    // Installing twice leaves OrigDriverName naming Penwick itself: bound to
    // itself, every forwarder would call itself for ever.
    HostSetRegistryString(kConfigurationKey, u"OrigDriverName", u"Penwick.dll");
    HostAddLibrary(u"touch.dll", AllEntries());
    HostLibrary& penwick = HostAddLibrary(u"Penwick.dll", AllEntries());
    SystemModule self = SystemLoadLibrary(u"Penwick.dll");  // the loader's own load
    EXPECT_EQ(LibraryEntry(self, kLibraryProcessAttach), 0);
    EXPECT_EQ(penwick.loads, 2);
    EXPECT_EQ(penwick.releases, 1);  // its own extra load undone at once
    EXPECT_EQ(g_originalDriver.module, nullptr);
    EXPECT_EQ(g_originalDriver.TouchPanelEnable, nullptr);
    EXPECT_EQ(LibraryEntry(self, kLibraryProcessDetach), 1);
    EXPECT_EQ(penwick.releases, 1);
}

// Each of the eighteen entry points missing in turn. A missing required one
// refuses the load with the entries before it bound; a missing optional one
// leaves every other entry bound.
class MissingEntryTest : public BindingTest, public ::testing::WithParamInterface<int> {};

TEST_P(MissingEntryTest, binds_what_it_can_and_refuses_only_for_a_required_entry) {
    const int missing = GetParam();
    const bool required = missing < 9;
    std::map<std::u16string, SystemProc> entries = AllEntries();
    entries.erase(required ? kRequired[missing] : kOptional[missing - 9]);
    HostLibrary& touch = HostAddLibrary(u"touch.dll", entries);

    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), required ? 0 : 1);
    std::vector<SystemProc> slots = TableSlots();
    for (int i = 0; i < 18; i++) {
        EXPECT_EQ(slots[i] != nullptr, required ? i < missing : i != missing) << "slot " << i;
    }
    EXPECT_EQ(touch.loads, 1);
    EXPECT_EQ(touch.releases, 0);
    EXPECT_EQ(LibraryEntry(kSelf, kLibraryProcessDetach), 1);
    EXPECT_EQ(touch.releases, 1);
}

INSTANTIATE_TEST_SUITE_P(EachEntry, MissingEntryTest, ::testing::Range(0, 18));

TEST_F(BindingTest, per_thread_reasons_do_nothing) {
    HostLibrary& touch = HostAddLibrary(u"touch.dll", AllEntries());
    ASSERT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    for (uint32_t reason : {2u, 3u, 99u}) {
        EXPECT_EQ(LibraryEntry(kSelf, reason), 1);
    }
    EXPECT_EQ(touch.loads, 1);
    EXPECT_EQ(touch.releases, 0);
    EXPECT_EQ(g_hostSystem.threadNotificationStops.size(), 1u);
}

// Each forwarder, called with distinct words; the driver's entry of the same
// name must get every word and its result must come back unchanged.
struct Forwarder {
    const char16_t* entry;
    int words;
    std::function<ArgWord(const std::vector<ArgWord>&)> call;
    ArgWord driverResult;
};

const std::vector<Forwarder>& Forwarders() {
    using W = const std::vector<ArgWord>&;
    static const std::vector<Forwarder> forwarders = {
        {kRequired[0], 3, [](W w) { return TouchPanelGetDeviceCaps(w[0], w[1], w[2]); }, 0xB000},
        {kRequired[1], 3, [](W w) { return TouchPanelSetMode(w[0], w[1], w[2]); }, 0xB001},
        {kRequired[2], 3, [](W w) { return TouchPanelPowerHandler(w[0], w[1], w[2]); }, 0xB002},
        {kRequired[4], 3, [](W w) { return TouchPanelDisable(w[0], w[1], w[2]); }, 0xB004},
        {kRequired[5], 3, [](W w) { return TouchPanelReadCalibrationPoint(w[0], w[1], w[2]); },
         0xB005},
        {kRequired[6], 3, [](W w) { return TouchPanelReadCalibrationAbort(w[0], w[1], w[2]); },
         0xB006},
        {kRequired[7], 5,
         [](W w) { return TouchPanelSetCalibration(w[0], w[1], w[2], w[3], w[4]); }, 0xB007},
        {kRequired[8], 4, [](W w) { return TouchPanelCalibrateAPoint(w[0], w[1], w[2], w[3]); },
         0xB008},
        {kOptional[0], 2, [](W w) { return TouchGetFocusWnd(w[0], w[1]); }, 0xA000},
        {kOptional[1], 2, [](W w) { return TouchGetLastTouchFocusWnd(w[0], w[1]); }, 0xA001},
        {kOptional[2], 2, [](W w) { return TouchReset(w[0], w[1]); }, 0xA002},
        {kOptional[3], 2, [](W w) { return TouchCreateEvent(w[0], w[1]); }, 0xA003},
        {kOptional[4], 2, [](W w) { return TouchRegisterWindow(w[0], w[1]); }, 0xA004},
        {kOptional[5], 2, [](W w) { return TouchUnregisterWindow(w[0], w[1]); }, 0xA005},
        {kOptional[6], 2, [](W w) { return TouchSetValue(w[0], w[1]); }, 0xA006},
        {kOptional[7], 2, [](W w) { return TouchGetValue(w[0], w[1]); }, 0xA007},
        {kOptional[8], 2, [](W w) { return TouchGetQueuePtr(w[0], w[1]); }, 0xA008},
    };
    return forwarders;
}

std::vector<ArgWord> DistinctWords(int count) {
    std::vector<ArgWord> words;
    for (int i = 0; i < count; i++) {
        // Pointer-sized words with the top bit set must survive too.
        words.push_back(~static_cast<ArgWord>(0) - 0x10 * static_cast<ArgWord>(i));
    }
    return words;
}

TEST_F(BindingTest, every_forwarder_hands_on_all_its_words_and_the_result) {
    HostAddLibrary(u"touch.dll", AllEntries());
    ASSERT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    for (const Forwarder& f : Forwarders()) {
        g_driverCalls.clear();
        std::vector<ArgWord> words = DistinctWords(f.words);
        EXPECT_EQ(f.call(words), f.driverResult);
        ASSERT_EQ(g_driverCalls.size(), 1u);
        EXPECT_TRUE(g_driverCalls[0].entry == f.entry);
        EXPECT_EQ(g_driverCalls[0].words, words);
    }
}

TEST_F(BindingTest, optional_forwarders_of_a_driver_without_them_return_0_and_call_nothing) {
    HostAddLibrary(u"touch.dll", RequiredEntries());
    ASSERT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    for (const Forwarder& f : Forwarders()) {
        if (f.words == 2) {
            EXPECT_EQ(f.call(DistinctWords(2)), 0u);
        }
    }
    EXPECT_TRUE(g_driverCalls.empty());
}

TEST_F(BindingTest, enable_goes_to_the_bound_driver_with_the_interceptor) {
    HostAddLibrary(u"touch.dll", AllEntries());
    ASSERT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
    EXPECT_EQ(TouchPanelEnable(RecordingHostCallback), 0xB003);
    ASSERT_EQ(g_driverCalls.size(), 1u);
    EXPECT_EQ(g_driverCalls[0].words[0], reinterpret_cast<ArgWord>(&InterceptSample));
}

}  // namespace

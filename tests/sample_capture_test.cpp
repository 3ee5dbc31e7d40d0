#include <algorithm>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "penwick_version.h"
#include "proxy/forwarders.h"
#include "proxy/sample_capture.h"
#include "worked_stroke.h"

namespace {

const std::u16string kKey = u"HARDWARE\\DEVICEMAP\\TOUCH\\Penwick";
const std::u16string kFile = u"\\My Documents\\capture.csv";

SampleCallback g_interceptor;
int32_t KeepInterceptor(SampleCallback callback) {
    g_interceptor = callback;
    return 1;
}
ArgWord Disable(ArgWord, ArgWord, ArgWord) { return 5; }
// The original driver's TouchPanelDisable, which hands on a last pen-up
// while it is being disabled when g_upWhileDisabling is set.
bool g_upWhileDisabling;
ArgWord DisableHandingOnAnUp(ArgWord, ArgWord, ArgWord) {
    if (g_upWhileDisabling) {
        g_interceptor(0x05, 150, 105);
    }
    return 5;
}

// The worked stroke, with an uncalibrated and an invalid sample among it:
// every one of them is recorded, judged or not.
const HostSample kStroke[] = {{0x07, 100, 100}, {0x0F, 101, 101}, {0x0B, 900, 900}, {0x0E, 5, 5},
                              {0x0F, 109, 100}, {0x0F, 117, 101}, {0x0F, 160, 140}, {0x0D, 150, 105}};

// The driver loaded with the worked stroke's settings (and a capture file
// when one is given), bound to an original driver, and enabled by the host.
class CaptureTest : public DriverTest {
protected:
    void Load(const std::u16string& file, uint32_t limit = 0) {
        g_upWhileDisabling = false;
        for (int i = 0; i < kConfigurationSettingCount; i++) {
            HostSetRegistryDword(kKey, kConfigurationSettings[i].name, kWorkedStroke[i].value);
        }
        if (!file.empty()) {
            HostSetRegistryString(kKey, u"CaptureFile", file);
        }
        if (limit != 0) {
            HostSetRegistryDword(kKey, u"CaptureLimit", limit);
        }
        g_hostSystem.device = {u"Pocket_PC", u"Penwick test device", u"PocketPC", 5, 1, 1702,
                               kDevicePlatformWindowsCe};
        HostAddLibrary(u"touch.dll", {{u"TouchPanelGetDeviceCaps", Proc(Disable)},
                                      {u"TouchPanelSetMode", Proc(Disable)},
                                      {u"TouchPanelPowerHandler", Proc(Disable)},
                                      {u"TouchPanelEnable", Proc(KeepInterceptor)},
                                      {u"TouchPanelDisable", Proc(DisableHandingOnAnUp)},
                                      {u"TouchPanelReadCalibrationPoint", Proc(Disable)},
                                      {u"TouchPanelReadCalibrationAbort", Proc(Disable)},
                                      {u"TouchPanelSetCalibration", Proc(Disable)},
                                      {u"TouchPanelCalibrateAPoint", Proc(Disable)}});
        ASSERT_EQ(LibraryEntry(kSelf, kLibraryProcessAttach), 1);
        ASSERT_EQ(TouchPanelEnable(RecordingHostCallback), 1);
    }

    template <typename F>
    static SystemProc Proc(F f) {
        return reinterpret_cast<SystemProc>(f);
    }

    static void Emit(uint32_t flags, int32_t x, int32_t y) { g_interceptor(flags, x, y); }

    static std::string File() { return g_hostSystem.files[kFile]; }

    // What the host receives of the stroke without capture; the driver is
    // then put back as at load.
    std::vector<HostSample> ReceivedWithoutCapture() {
        Load(u"");
        for (const HostSample& s : kStroke) {
            Emit(s.flags, s.x, s.y);
        }
        std::vector<HostSample> received = g_hostReceived;
        SetUp();
        return received;
    }

    SystemModule const kSelf = reinterpret_cast<SystemModule>(0x5E1F);
};

// A new file's first line names the columns; each boot's lines follow.
const char kColumns[] = "flags,x,y,tick\n";
const std::string kHeader =
    std::string("# penwick boot 2026-12-08 09:30:05\n# penwick version ") + kPenwickVersion +
    "\n# penwick device \"Pocket_PC\", OEM \"Penwick test device\", platform PocketPC, "
    "Windows CE 5.1.1702\n"
    "# penwick settings LowSpeed 3, MinDirSpeed 5, HighSpeed 20, MaxSpeedDiff 4, MaxSpeedDiff2 10, "
    "MaxDirDiff 60, ErrorDelay 2, MaxErrorDelay 3; filtering on\n"
    "# penwick enable-screen 240x320\n";

// Each sample with the tick when it arrived: 8 ms apart, the count wrapping
// at 32 bits in the middle of the stroke.
const uint32_t kStrokeStartTick = 4294967280u;
const char kStrokeLines[] =
    "0x07,100,100,4294967280\n0x0F,101,101,4294967288\n0x0B,900,900,0\n0x0E,5,5,8\n"
    "0x0F,109,100,16\n0x0F,117,101,24\n0x0F,160,140,32\n0x0D,150,105,40\n";

TEST_F(CaptureTest, without_a_capture_file_nothing_is_opened_nor_started) {
    Load(u"");
    g_hostSystem.calls.clear();
    for (const HostSample& s : kStroke) {
        Emit(s.flags, s.x, s.y);
    }
    TouchPanelDisable(0, 0, 0);
    LibraryEntry(kSelf, kLibraryProcessDetach);
    for (const std::string& call : g_hostSystem.calls) {
        EXPECT_TRUE(call == "SystemScreenWidth" || call == "SystemScreenHeight" ||
                    call == "SystemReleaseLibrary")
            << call;
    }
    EXPECT_TRUE(g_hostSystem.threads.empty());
    EXPECT_TRUE(g_hostSystem.files.empty());
}

TEST_F(CaptureTest, records_every_sample_as_it_arrived_and_the_host_sees_no_difference) {
    std::vector<HostSample> withoutCapture = ReceivedWithoutCapture();
    Load(kFile);
    g_hostSystem.tickCount = kStrokeStartTick;
    for (const HostSample& s : kStroke) {
        Emit(s.flags, s.x, s.y);
        g_hostSystem.tickCount += 8;
    }
    EXPECT_EQ(g_hostReceived, withoutCapture);
    ASSERT_EQ(g_hostSystem.threads.size(), 1u);
    EXPECT_FALSE(g_hostSystem.threads[0].ran);  // the writer, not the sample path, writes
    // What the original driver hands on while it is being disabled is
    // captured too.
    g_upWhileDisabling = true;
    EXPECT_EQ(TouchPanelDisable(0, 0, 0), 5u);
    EXPECT_EQ(File(), kColumns + kHeader + kStrokeLines + "0x05,150,105,48\n");
    EXPECT_FALSE(g_capture.active);
    // The writer, at the lowest priority until then, was put at normal
    // priority before it wrote out what was left.
    const std::vector<std::string>& calls = g_hostSystem.calls;
    EXPECT_LT(std::find(calls.begin(), calls.end(), "SystemRaiseThreadPriority"),
              std::find(calls.begin(), calls.end(), "SystemOpenFileForAppend"));
}

TEST_F(CaptureTest, captures_append_and_a_new_enable_and_a_turned_screen_are_lines) {
    g_hostSystem.files[kFile] = "# an earlier boot\n";
    Load(kFile);
    Emit(0x07, 1, 2);
    g_hostSystem.screenWidth = 320;
    g_hostSystem.screenHeight = 240;
    Emit(0x0F, 3, 4);
    TouchPanelDisable(0, 0, 0);
    TouchPanelEnable(RecordingHostCallback);  // enabled again: no second boot
    Emit(0x0D, 5, 6);
    LibraryEntry(kSelf, kLibraryProcessDetach);
    EXPECT_EQ(File(), std::string("# an earlier boot\n") + kHeader +
                          "0x07,1,2,0\n# penwick screen 320x240\n0x0F,3,4,0\n"
                          "# penwick enable-screen 320x240\n0x0D,5,6,0\n");
    EXPECT_EQ(g_hostSystem.threads.size(), 2u);
}

TEST_F(CaptureTest, a_full_buffer_counts_what_it_cannot_take_and_says_so_when_there_is_room) {
    Load(kFile);
    // The boot and the enable take two entries: 4094 samples fit.
    for (int i = 0; i < 4100; i++) {
        Emit(0x0F, i, 0);
    }
    EXPECT_EQ(g_capture.dropped, 6u);
    // The writer's first round empties the buffer; two more samples follow
    // before its second, and a stop before its third.
    int rounds = 0;
    g_hostSystem.onSleep = [&] {
        rounds++;
        if (rounds == 2) {
            Emit(0x0F, 7000, 0);
            Emit(0x0D, 7001, 0);
        }
        g_capture.stopRequested = rounds == 3;
    };
    HostRunThread(g_capture.thread);
    TouchPanelDisable(0, 0, 0);
    std::string file = File();
    EXPECT_NE(file.find("0x0F,4093,0,0\n# penwick dropped 6\n0x0F,7000,0,200\n0x0D,7001,0,200\n"),
              std::string::npos);
    EXPECT_EQ(file.find("0x0F,4094,0,"), std::string::npos);
}

TEST_F(CaptureTest, the_limit_holds_for_the_whole_file_and_capture_stops_after_saying_so) {
    g_hostSystem.files[kFile] = std::string(100, '#') + "\n";
    Load(kFile, 600);
    for (int i = 0; i < 40; i++) {
        Emit(0x0F, 100 + i, 200);
    }
    // Its first round meets the limit (a stop after three, should it not).
    int rounds = 0;
    g_hostSystem.onSleep = [&] { g_capture.stopRequested = ++rounds > 3; };
    HostRunThread(g_capture.thread);
    std::string file = File();
    EXPECT_LE(file.size(), 600u);
    const std::string stop = "# penwick stopped: the file reached its limit of 600 bytes\n";
    ASSERT_GE(file.size(), stop.size());
    EXPECT_EQ(file.substr(file.size() - stop.size()), stop);
    EXPECT_NE(file.find("0x0F,100,200,0\n"), std::string::npos);
    EXPECT_FALSE(g_capture.active);
    // Capture is over for this boot: another enable does not start it again.
    TouchPanelEnable(RecordingHostCallback);
    EXPECT_FALSE(g_capture.active);
    EXPECT_EQ(g_hostSystem.threads.size(), 1u);
}

// Whatever fails, capture stops and the pen goes on as without it.
struct CaptureFailure {
    const char* name;
    void (*arrange)();
};

void PrintTo(const CaptureFailure& c, std::ostream* out) { *out << c.name; }

class CaptureFailureTest : public CaptureTest, public ::testing::WithParamInterface<CaptureFailure> {};

TEST_P(CaptureFailureTest, turns_capture_off_and_the_host_receives_what_it_would_have) {
    std::vector<HostSample> withoutCapture = ReceivedWithoutCapture();
    GetParam().arrange();
    Load(kFile);
    if (!g_hostSystem.threads.empty()) {
        HostRunThread(g_capture.thread);  // the writer meets the failure
    }
    for (const HostSample& s : kStroke) {
        Emit(s.flags, s.x, s.y);
    }
    EXPECT_EQ(g_hostReceived, withoutCapture);
    EXPECT_FALSE(g_capture.active);
    TouchPanelDisable(0, 0, 0);
    LibraryEntry(kSelf, kLibraryProcessDetach);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CaptureFailureTest,
    ::testing::Values(CaptureFailure{"path_not_writable", [] { g_hostSystem.fileOpenFails = true; }},
                      CaptureFailure{"thread_not_started", [] { g_hostSystem.threadStartFails = true; }},
                      CaptureFailure{"store_full",
                                     [] {
                                         g_hostSystem.storeRoom = 10;
                                         g_hostSystem.onSleep = [] { g_capture.stopRequested = true; };
                                     }}),
    [](const ::testing::TestParamInfo<CaptureFailure>& info) { return info.param.name; });

// A writer stuck on a store that does not answer is left to end on its own;
// the next enable (a resume) starts no second writer beside it.
TEST_F(CaptureTest, a_writer_that_does_not_stop_in_time_is_never_joined_by_another) {
    Load(kFile);
    Emit(0x07, 100, 100);
    g_hostSystem.threadsHang = true;
    ASSERT_EQ(g_hostSystem.threads.size(), 1u);
    TouchPanelDisable(0, 0, 0);
    ASSERT_EQ(TouchPanelEnable(RecordingHostCallback), 1);
    Emit(0x0F, 101, 101);
    EXPECT_EQ(g_hostSystem.threads.size(), 1u);
    EXPECT_FALSE(g_capture.active);
}

TEST_F(CaptureTest, detach_in_the_middle_of_a_stroke_writes_out_what_is_left) {
    Load(kFile);
    Emit(0x07, 100, 100);
    Emit(0x0F, 101, 101);
    LibraryEntry(kSelf, kLibraryProcessDetach);
    EXPECT_EQ(File(), kColumns + kHeader + "0x07,100,100,0\n0x0F,101,101,0\n");
    EXPECT_EQ(g_hostSystem.libraries[0].releases, 1);
}

}  // namespace

// The capture under a real Windows loader, file system and threads (Wine):
// the writer thread runs as on the device, at the lowest priority, while the
// stand-in original driver delivers samples. What it wrote is then replayed
// by penwick replay's own engine, in this process, to show that the replay
// of a capture is what the host received.
#include <algorithm>
#include <sstream>

#include "engine/replay.h"
#include "files/trace.h"
#include "penwick_dll_fixture.h"
#include "proxy/sample_capture.h"
#include "../worked_stroke.h"

namespace {

std::vector<DWORD> WorkedStrokeSettings() {
    std::vector<DWORD> settings;
    for (const WorkedStrokeSetting& setting : kWorkedStroke) {
        settings.push_back(setting.value);
    }
    return settings;
}
const std::vector<DWORD> kSettings = WorkedStrokeSettings();

class CaptureDllTest : public PenwickDllTest {
protected:
    void SetUp() override {
        PenwickDllTest::SetUp();
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"penwick-capture.csv";
        DeleteFileW(path_.c_str());
    }
    void TearDown() override {
        PenwickDllTest::TearDown();
        DeleteFileW(path_.c_str());
    }

    // The worked stroke's settings, and a capture into `path` (of at most
    // `limit` bytes when it is not 0).
    static void ConfigureCapture(const std::wstring& path, DWORD limit = 0) {
        Configure(nullptr, kSettings);
        HKEY key = CreateKey();
        RegSetValueExW(key, L"CaptureFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        if (limit != 0) {
            RegSetValueExW(key, L"CaptureLimit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limit),
                           sizeof limit);
        }
        RegCloseKey(key);
    }

    // Loads Penwick.dll, puts this program's screen in its import slot and
    // enables it on a 240 x 320 screen.
    EmitFunction Enable() {
        EXPECT_NE(LoadPenwick(), nullptr);
        EXPECT_TRUE(ReplaceImport(penwick_, "user32.dll", "GetSystemMetrics",
                                  reinterpret_cast<void*>(TestGetSystemMetrics)));
        g_screenWidth = 240;
        g_screenHeight = 320;
        EXPECT_EQ(Export<EnableFunction>("TouchPanelEnable")(HostCallback), 0x108);
        return EmitOf(L"touch.dll");
    }

    std::string Captured() const {
        std::string text;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return text;
        }
        char block[65536];
        DWORD got;
        while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) {
            text.append(block, got);
        }
        CloseHandle(file);
        return text;
    }

    // The capture with its tick column checked and taken off: a new file
    // names its columns first, and each sample carries the tick when it
    // arrived, never before the one of the sample before it.
    std::string CapturedWithoutTicks() const {
        std::istringstream in(Captured());
        std::string without, line;
        uint32_t last = 0;
        bool ticksInOrder = true;
        for (int number = 1; std::getline(in, line); number++) {
            size_t comma = line.rfind(',');
            if (number == 1) {
                EXPECT_EQ(line, "flags,x,y,tick");
            } else if (!line.empty() && line[0] != '#' && comma != std::string::npos) {
                EXPECT_EQ(std::count(line.begin(), line.end(), ','), 3) << line;
                uint32_t tick = static_cast<uint32_t>(std::stoul(line.substr(comma + 1)));
                ticksInOrder = ticksInOrder && tick >= last;
                last = tick;
                line.erase(comma);
            }
            without += line + "\n";
        }
        EXPECT_TRUE(ticksInOrder);
        return without;
    }

    // The samples of the capture, in order.
    std::vector<Received> CapturedSamples() const {
        std::vector<Received> samples;
        for (const TraceSample& s : ParseTrace(CapturedWithoutTicks(), "capture")) {
            samples.push_back({s.flags, s.x, s.y});
        }
        return samples;
    }

    std::wstring path_;
};

// Strokes of every kind: well formed, with spikes, with uncalibrated,
// invalid and ignored samples among them, a second pen-up, a tap.
std::vector<Received> LongStream(int count) {
    std::vector<Received> samples;
    uint32_t random = 12345;
    auto next = [&random](uint32_t range) {
        random = random * 1103515245 + 12345;
        return (random >> 8) % range;
    };
    while (static_cast<int>(samples.size()) < count) {
        int length = 2 + static_cast<int>(next(60));
        int x = 100 + static_cast<int>(next(700)), y = 100 + static_cast<int>(next(1000));
        for (int i = 0; i < length; i++) {
            DWORD flags = i == 0 ? 0x07 : 0x0F;
            switch (next(40)) {
            case 0: flags = i == 0 ? 0x03 : 0x0B; break;  // uncalibrated
            case 1: flags &= ~0x01u; break;                // invalid
            case 2: flags |= 0x10; break;                  // ignore
            }
            bool spike = next(30) == 0;
            samples.push_back({flags, x + (spike ? 300 : 0), y - (spike ? 200 : 0)});
            x += static_cast<int>(next(21)) - 10;
            y += static_cast<int>(next(21)) - 10;
        }
        samples.push_back({0x0D, x, y});
        if (next(5) == 0) {
            samples.push_back({0x05, x, y});
        }
    }
    return samples;
}

TEST_F(CaptureDllTest, a_long_capture_holds_every_sample_and_replays_to_what_the_host_received) {
    ConfigureCapture(path_);
    EmitFunction emit = Enable();
    std::vector<Received> stream = LongStream(30000);
    std::vector<Received> received;
    for (size_t i = 0; i < stream.size(); i++) {
        if (i == stream.size() / 2) {
            g_screenWidth = 320;  // the screen turns
            g_screenHeight = 240;
        }
        g_received.clear();
        emit(stream[i].flags, stream[i].x, stream[i].y);
        received.insert(received.end(), g_received.begin(), g_received.end());
        // A device delivers some hundred samples a second; here a thousand
        // arrive at once, and the writer gets time to take them: as long as
        // it needs, since a busy machine's store may hold it up for seconds.
        if (i % 1000 == 999) {
            for (int waited = 0; CapturedSamples().size() <= i && waited < 600; waited++) {
                Sleep(100);
            }
        }
    }
    Export<ThreeWords>("TouchPanelDisable")(0, 0, 0);

    std::string captured = Captured();
    EXPECT_EQ(captured.find("# penwick dropped"), std::string::npos) << "the writer fell behind";
    EXPECT_NE(captured.find("# penwick screen 320x240\n"), std::string::npos);
    ASSERT_EQ(CapturedSamples(), stream);

    // penwick replay's engine, on the capture as it came, with the same
    // settings: sample for sample what the host received.
    RegFile settings;
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        RegKeySet(settings.penwick, RegDword(kConfigurationSettings[i].name, kSettings[i]));
    }
    Replayer replayer(settings, ReplayScreens());
    std::vector<Received> replayed;
    for (const TraceEvent& event : ParseTraceEvents(CapturedWithoutTicks(), "capture")) {
        if (event.kind != TraceEvent::Sample) {
            replayer.Apply(event);
            continue;
        }
        ReplayRecord record = replayer.Feed(event.sample);
        if (record.Delivered()) {
            replayed.push_back({record.flagsOut, record.xOut, record.yOut});
        }
    }
    EXPECT_GT(received.size(), stream.size() / 4);
    EXPECT_EQ(replayed, received);
}

TEST_F(CaptureDllTest, a_path_that_cannot_be_written_leaves_the_pen_as_without_capture) {
    ConfigureCapture(L"C:\\no\\such\\folder\\penwick-capture.csv");
    EmitFunction emit = Enable();
    Sleep(300);  // the writer tries, fails and ends
    emit(0x07, 100, 100);
    emit(0x0F, 101, 101);
    EXPECT_EQ(g_received, (std::vector<Received>{{0x07, 101, 101}}));
    Export<ThreeWords>("TouchPanelDisable")(0, 0, 0);
    EXPECT_EQ(GetFileAttributesW(L"C:\\no\\such\\folder\\penwick-capture.csv"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CaptureDllTest, a_limit_reached_mid_stroke_ends_the_capture_with_a_line_saying_so) {
    ConfigureCapture(path_, 2000);
    EmitFunction emit = Enable();
    std::vector<Received> stroke = {{0x07, 100, 100}};
    for (int i = 1; i < 400; i++) {
        stroke.push_back({0x0F, 100 + i, 100});
    }
    for (const Received& s : stroke) {
        emit(s.flags, s.x, s.y);
    }
    Export<ThreeWords>("TouchPanelDisable")(0, 0, 0);
    std::string captured = Captured();
    EXPECT_LE(captured.size(), 2000u);
    const std::string stop = "# penwick stopped: the file reached its limit of 2000 bytes\n";
    ASSERT_GT(captured.size(), stop.size());
    EXPECT_EQ(captured.substr(captured.size() - stop.size()), stop);
    std::vector<Received> samples = CapturedSamples();
    ASSERT_GT(samples.size(), 10u);
    EXPECT_EQ(samples, std::vector<Received>(stroke.begin(), stroke.begin() + samples.size()));
}

TEST_F(CaptureDllTest, unloading_in_the_middle_of_a_stroke_writes_out_what_is_left) {
    ConfigureCapture(path_);
    EmitFunction emit = Enable();
    std::vector<Received> half = {{0x07, 100, 100}, {0x0F, 104, 100}, {0x0F, 108, 101}};
    for (const Received& s : half) {
        emit(s.flags, s.x, s.y);
    }
    ASSERT_TRUE(FreeLibrary(penwick_));
    penwick_ = nullptr;
    EXPECT_EQ(CapturedSamples(), half);
    EXPECT_EQ(Captured().find("flags,x,y,tick\n# penwick boot"), 0u);
}

}  // namespace

// Penwick.dll under a real Windows loader and registry (Wine): loading,
// binding, forwarding and filtering; and the version resources of the
// modules as Windows reads them.
#include "penwick_dll_fixture.h"
#include "../worked_stroke.h"
#include "penwick_version.h"

namespace {

TEST_F(PenwickDllTest, without_a_key_it_loads_touch_dll_and_passes_every_sample) {
    ASSERT_NE(LoadPenwick(), nullptr);
    ASSERT_NE(GetModuleHandleW(L"touch.dll"), nullptr);
    EXPECT_EQ(Export<EnableFunction>("TouchPanelEnable")(HostCallback), 0x108);
    EmitFunction emit = EmitOf(L"touch.dll");
    std::vector<Received> samples = {{0x07, 1, 2}, {0x0F, 900, 900}, {0x17, 3, 4}, {0x0E, 5, 6},
                                     {0x05, 7, 8}};
    for (const Received& s : samples) {
        EXPECT_EQ(emit(s.flags, s.x, s.y), 1);
    }
    EXPECT_EQ(g_received, samples);
}

TEST_F(PenwickDllTest, loads_the_driver_the_registry_names) {
    Configure(L"required_only.dll", {});
    ASSERT_NE(LoadPenwick(), nullptr);
    EXPECT_NE(GetModuleHandleW(L"required_only.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"touch.dll"), nullptr);
}

TEST_F(PenwickDllTest, refuses_to_load_without_its_original_driver) {
    Configure(L"no_such_driver.dll", {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(LoadPenwick(), nullptr);
}

TEST_F(PenwickDllTest, refuses_to_load_as_its_own_original_driver) {
    // As after installing twice: bound to itself, every forwarder would call
    // itself for ever.
    Configure(L"Penwick.dll", {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(LoadPenwick(), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"Penwick.dll"), nullptr);
}

TEST_F(PenwickDllTest, screen_is_system_metric_0_by_1_asked_width_first_and_rescales) {
    Configure(nullptr, {7, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(LoadPenwick(), nullptr);
    ASSERT_TRUE(ReplaceImport(penwick_, "user32.dll", "GetSystemMetrics",
                              reinterpret_cast<void*>(TestGetSystemMetrics)));
    g_metricsAsked.clear();
    g_screenWidth = 240;
    g_screenHeight = 320;
    ASSERT_EQ(Export<EnableFunction>("TouchPanelEnable")(HostCallback), 0x108);
    EXPECT_EQ(g_metricsAsked, (std::vector<int>{SM_CXSCREEN, SM_CYSCREEN}));
    // Rotated: x is measured in 320ths now and mapped back to 240ths, so a
    // step of 8 is one of 6, below LowSpeed 7, and accepted (rule a).
    g_screenWidth = 320;
    g_screenHeight = 240;
    g_metricsAsked.clear();
    EmitFunction emit = EmitOf(L"touch.dll");
    emit(0x07, 0, 0);
    EXPECT_EQ(emit(0x0F, 8, 0), 1);
    EXPECT_EQ(g_received, (std::vector<Received>{{0x07, 8, 0}}));
    EXPECT_EQ(g_metricsAsked, (std::vector<int>{SM_CXSCREEN, SM_CYSCREEN, SM_CXSCREEN, SM_CYSCREEN}));
}

TEST_F(PenwickDllTest, refuses_to_load_when_a_required_entry_point_is_missing_and_releases_it) {
    Configure(L"lacks_calibrate.dll", {});
    EXPECT_EQ(LoadPenwick(), nullptr);
    // The loader's detach after the refusal released the original driver.
    EXPECT_EQ(GetModuleHandleW(L"lacks_calibrate.dll"), nullptr);
}

struct ForwardedCall {
    const char* name;
    int words;
    DWORD result;
    bool optional;
};

const ForwardedCall kForwarded[] = {
    {"TouchPanelGetDeviceCaps", 3, 0x109, false},
    {"TouchPanelSetMode", 3, 0x10E, false},
    {"TouchPanelPowerHandler", 3, 0x10A, false},
    {"TouchPanelDisable", 3, 0x107, false},
    {"TouchPanelReadCalibrationPoint", 3, 0x10C, false},
    {"TouchPanelReadCalibrationAbort", 3, 0x10B, false},
    {"TouchPanelSetCalibration", 5, 0x10D, false},
    {"TouchPanelCalibrateAPoint", 4, 0x106, false},
    {"TouchCreateEvent", 2, 0x101, true},
    {"TouchGetFocusWnd", 2, 0x102, true},
    {"TouchGetLastTouchFocusWnd", 2, 0x103, true},
    {"TouchGetQueuePtr", 2, 0x104, true},
    {"TouchGetValue", 2, 0x105, true},
    {"TouchRegisterWindow", 2, 0x10F, true},
    {"TouchReset", 2, 0x110, true},
    {"TouchSetValue", 2, 0x111, true},
    {"TouchUnregisterWindow", 2, 0x112, true},
};

const DWORD kWords[] = {0x11111111, 0x80000002, 0xFFFFFFFD, 0x44444444, 0xA5A5A5A5};

class ForwardingTest : public PenwickDllTest, public ::testing::WithParamInterface<const wchar_t*> {
protected:
    DWORD Call(const ForwardedCall& call) {
        const DWORD* w = kWords;
        switch (call.words) {
        case 2: return Export<TwoWords>(call.name)(w[0], w[1]);
        case 3: return Export<ThreeWords>(call.name)(w[0], w[1], w[2]);
        case 4: return Export<FourWords>(call.name)(w[0], w[1], w[2], w[3]);
        default: return Export<FiveWords>(call.name)(w[0], w[1], w[2], w[3], w[4]);
        }
    }
};

TEST_P(ForwardingTest, every_forwarder_passes_its_words_and_the_result) {
    const wchar_t* driver = GetParam();
    Configure(driver, {});
    ASSERT_NE(LoadPenwick(), nullptr);
    StandinRecord* record = RecordOf(driver);
    ASSERT_NE(record, nullptr);
    bool hasOptional = wcscmp(driver, L"touch.dll") == 0;
    for (const ForwardedCall& call : kForwarded) {
        SCOPED_TRACE(call.name);
        int callsBefore = record->calls;
        if (call.optional && !hasOptional) {
            EXPECT_EQ(Call(call), 0u);
            EXPECT_EQ(record->calls, callsBefore);
            continue;
        }
        EXPECT_EQ(Call(call), call.result);
        EXPECT_EQ(record->calls, callsBefore + 1);
        EXPECT_STREQ(record->entry, call.name);
        ASSERT_EQ(record->wordCount, call.words);
        for (int i = 0; i < call.words; i++) {
            EXPECT_EQ(record->words[i], kWords[i]) << "word " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StandinDrivers, ForwardingTest,
                         ::testing::Values(L"touch.dll", L"required_only.dll"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return info.index == 0 ? "all_eighteen" : "nine_required";
                         });

TEST_F(PenwickDllTest, worked_stroke_through_the_dll_boundary) {
    std::vector<DWORD> settings;
    for (const WorkedStrokeSetting& setting : kWorkedStroke) {
        settings.push_back(setting.value);
    }
    Configure(nullptr, settings);
    ASSERT_NE(LoadPenwick(), nullptr);
    ASSERT_EQ(Export<EnableFunction>("TouchPanelEnable")(HostCallback), 0x108);
    EmitFunction emit = EmitOf(L"touch.dll");
    struct Row {
        DWORD flags;
        INT x, y;
        std::vector<Received> host;
        BOOL returned;
    };
    const Row rows[] = {
        {0x07, 100, 100, {}, 0},
        {0x0F, 101, 101, {{0x07, 101, 101}}, 1},
        {0x0F, 109, 100, {}, 0},
        {0x0F, 117, 101, {{0x0F, 117, 101}}, 1},
        {0x0F, 160, 140, {}, 0},
        {0x0F, 125, 102, {}, 0},
        {0x0F, 133, 103, {}, 0},
        {0x0F, 141, 104, {}, 0},
        {0x0F, 149, 105, {}, 0},
        {0x0D, 150, 105, {{0x0D, 117, 101}}, 1},
        {0x05, 150, 105, {}, 0},
    };
    int number = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(number++));
        g_received.clear();
        EXPECT_EQ(emit(row.flags, row.x, row.y), row.returned);
        EXPECT_EQ(g_received, row.host);
    }
}

TEST_F(PenwickDllTest, unloading_releases_the_original_driver_exactly_once) {
    HMODULE ours = LoadLibraryW(L"touch.dll");
    ASSERT_NE(ours, nullptr);
    ASSERT_NE(LoadPenwick(), nullptr);
    ASSERT_TRUE(FreeLibrary(penwick_));
    penwick_ = nullptr;
    // Our own reference survives Penwick's one release...
    EXPECT_EQ(GetModuleHandleW(L"touch.dll"), ours);
    EXPECT_NE(RecordOf(L"touch.dll"), nullptr);
    // ...and was the last one.
    FreeLibrary(ours);
    EXPECT_EQ(GetModuleHandleW(L"touch.dll"), nullptr);
}

// GetFileVersionInfo and VerQueryValue, as File Explorer's properties read
// them: the project's version and the strings of the resource.
TEST(VersionResourceTest, windows_reads_the_project_version_and_names_in_each_module) {
    wchar_t program[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program, length);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    std::wstring version(kPenwickVersion, kPenwickVersion + strlen(kPenwickVersion));
    const struct {
        const wchar_t* name;
        DWORD type;
    } modules[] = {{L"Penwick.dll", VFT_DLL}, {L"PenwickSetup.exe", VFT_APP}};
    for (const auto& module : modules) {
        SCOPED_TRACE(std::string(module.name, module.name + wcslen(module.name)));
        std::wstring path = folder + module.name;
        DWORD unused = 0;
        std::vector<char> data(GetFileVersionInfoSizeW(path.c_str(), &unused));
        ASSERT_FALSE(data.empty());
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwFileVersionMS, DWORD(PENWICK_VERSION_MAJOR) << 16 | PENWICK_VERSION_MINOR);
        EXPECT_EQ(fixed->dwFileVersionLS, DWORD(PENWICK_VERSION_PATCH) << 16);
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileType, module.type);
        const struct {
            const wchar_t* key;
            std::wstring value;
        } strings[] = {{L"CompanyName", L"Penwick Project"}, {L"ProductName", L"Penwick"},
                       {L"FileVersion", version},           {L"ProductVersion", version},
                       {L"OriginalFilename", module.name}};
        for (const auto& string : strings) {
            wchar_t* value = nullptr;
            std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + string.key;
            ASSERT_TRUE(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &size));
            EXPECT_EQ(std::wstring(value), string.value);
        }
    }
}

}  // namespace

// device_dll_test Penwick.dll: runs the device's Penwick.dll on an emulated
// ARM926 (qemu-arm, an ARMv5TE), as a Windows CE loader would run it.
//
// This ARM Linux program plays the loader, coredll.dll and the host: it maps
// the image, applies its base relocations, fills its import address slots
// with stand-ins for the coredll functions it imports (the arc tangent and
// square root are this program's C library's), calls DllMain, and then drives
// the exports. The code that runs is the DLL's own, byte for byte: the
// compiler's calls of its helpers, the registry reads, the forwarders and the
// filter's arithmetic. Prints each difference and exits 1 if there was any.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "device_loader.h"
#include "penwick_version.h"
#include "../worked_stroke.h"

namespace {

// --- coredll.dll, as far as Penwick uses it ---------------------------------

const uintptr_t kLocalMachine = 0x80000002;
void* const kPenwickKey = reinterpret_cast<void*>(0x4B4559);
void* const kIdentKey = reinterpret_cast<void*>(0x4944454E);
void* const kTouchModule = reinterpret_cast<void*>(0x70756368);

struct Value {
    uint32_t type;
    std::vector<uint8_t> data;
};
std::map<std::string, Value> g_registry;  // values of Penwick's key
std::vector<std::string> g_calls;                        // what the DLL asked for, in order
int g_screenWidth = 240, g_screenHeight = 320;

std::vector<uint8_t> Dword(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

int GetSystemMetrics(int index) {
    return index == 0 ? g_screenWidth : index == 1 ? g_screenHeight : 0;
}

// The device's name, which the capture's writer reads on its own thread
// (so not among g_calls, which only the thread that drives the DLL keeps).
const char16_t kDeviceName[] = u"Pocket_PC";

long RegOpenKeyExW(void* root, const char16_t* subKey, uint32_t options, uint32_t access,
                   void** key) {
    if (reinterpret_cast<uintptr_t>(root) == kLocalMachine && Narrow(subKey) == "Ident" &&
        options == 0 && access == 0) {
        *key = kIdentKey;
        return 0;
    }
    g_calls.push_back("RegOpenKeyExW " + Narrow(subKey) + " " + std::to_string(options) + " " +
                      std::to_string(access));
    if (reinterpret_cast<uintptr_t>(root) != kLocalMachine ||
        Narrow(subKey) != "HARDWARE\\DEVICEMAP\\TOUCH\\Penwick") {
        return 2;
    }
    *key = kPenwickKey;
    return 0;
}

long RegQueryValueExW(void* key, const char16_t* name, uint32_t*, uint32_t* type, uint8_t* data,
                      uint32_t* size) {
    if (key == kIdentKey && Narrow(name) == "Name" && *size >= sizeof kDeviceName) {
        memcpy(data, kDeviceName, sizeof kDeviceName);
        *size = sizeof kDeviceName;
        *type = 1;  // REG_SZ
        return 0;
    }
    auto value = g_registry.find(Narrow(name));
    if (key != kPenwickKey || value == g_registry.end()) {
        return 2;
    }
    const std::vector<uint8_t>& bytes = value->second.data;
    if (bytes.size() > *size) {
        return 234;
    }
    memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<uint32_t>(bytes.size());
    *type = value->second.type;
    return 0;
}

long RegCloseKey(void* key) {
    if (key == kIdentKey) {
        return 0;
    }
    g_calls.push_back(key == kPenwickKey ? "RegCloseKey" : "RegCloseKey of another key");
    return 0;
}

void* LoadLibraryW(const char16_t* name) {
    g_calls.push_back("LoadLibraryW " + Narrow(name));
    return Narrow(name) == "touch.dll" ? kTouchModule : nullptr;
}

int FreeLibrary(void* module) {
    g_calls.push_back(module == kTouchModule ? "FreeLibrary touch.dll"
                                             : "FreeLibrary of another module");
    return 1;
}

int DisableThreadLibraryCalls(void*) {
    g_calls.push_back("DisableThreadLibraryCalls");
    return 1;
}

// The capture's file, threads and clock. The clock stands still an hour
// after the device started, at 10:00, so the time of boot is 09:00.

void* const kCaptureFile = reinterpret_cast<void*>(0x46494C45);
std::string g_capturePath;
std::string g_captureFile;
const uint32_t g_ticks = 3600000;

void* CreateFileW(const char16_t* name, uint32_t, uint32_t, void*, uint32_t disposition, uint32_t,
                  void*) {
    g_capturePath = Narrow(name);
    return disposition == 4 ? kCaptureFile : reinterpret_cast<void*>(-1);  // OPEN_ALWAYS
}
uint32_t SetFilePointer(void* file, long, long*, uint32_t method) {
    return file == kCaptureFile && method == 2 ? static_cast<uint32_t>(g_captureFile.size())
                                               : 0xFFFFFFFF;
}
int WriteFile(void* file, const void* data, uint32_t size, uint32_t* written, void*) {
    if (file != kCaptureFile) {
        return 0;
    }
    g_captureFile.append(static_cast<const char*>(data), size);
    *written = size;
    return 1;
}
int FlushFileBuffers(void* file) { return file == kCaptureFile; }
int CloseHandle(void*) { return 1; }

struct Thread {
    uint32_t (*start)(void*);
    void* argument;
    pthread_t thread;
    volatile bool running;
    volatile bool ended;
    std::string priorities;  // each set, and whether the thread ran then: "7 running"
};
Thread g_writer;

// The thread starts late, as a busy device's would.
void* RunThread(void* thread) {
    Thread* t = static_cast<Thread*>(thread);
    usleep(20000);
    t->running = true;
    t->start(t->argument);
    t->ended = true;
    return nullptr;
}
void* CreateThread(void*, uint32_t, uint32_t (*start)(void*), void* argument, uint32_t, uint32_t*) {
    g_writer.start = start;
    g_writer.argument = argument;
    g_writer.running = false;
    g_writer.ended = false;
    return pthread_create(&g_writer.thread, nullptr, RunThread, &g_writer) == 0 ? &g_writer : nullptr;
}
int SetThreadPriority(void* thread, int priority) {
    Thread* t = static_cast<Thread*>(thread);
    t->priorities += std::to_string(priority) + (t->running ? " running; " : " waiting; ");
    return 1;
}
void Sleep(uint32_t milliseconds) { usleep(milliseconds * 1000); }
uint32_t WaitForSingleObject(void* thread, uint32_t milliseconds) {
    for (uint32_t waited = 0; !static_cast<Thread*>(thread)->ended && waited < milliseconds; waited++) {
        usleep(1000);
    }
    return static_cast<Thread*>(thread)->ended ? 0 : 0x102;  // WAIT_OBJECT_0, WAIT_TIMEOUT
}
uint32_t GetTickCount() { return g_ticks; }

struct SystemTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
// 100-nanosecond units from 1601 to 1970.
const uint64_t kUnixEpoch = 116444736000000000ULL;
void GetLocalTime(SystemTime* time) {
    uint32_t ticks = g_ticks;
    time_t now = 1796720400 + ticks / 1000;  // the device started at 2026-12-08 09:00:00
    struct tm day;
    gmtime_r(&now, &day);
    *time = {uint16_t(day.tm_year + 1900), uint16_t(day.tm_mon + 1), uint16_t(day.tm_wday),
             uint16_t(day.tm_mday), uint16_t(day.tm_hour), uint16_t(day.tm_min),
             uint16_t(day.tm_sec), uint16_t(ticks % 1000)};
}
int SystemTimeToFileTime(const SystemTime* time, uint32_t* file) {
    struct tm day = {};
    day.tm_year = time->year - 1900;
    day.tm_mon = time->month - 1;
    day.tm_mday = time->day;
    day.tm_hour = time->hour;
    day.tm_min = time->minute;
    day.tm_sec = time->second;
    uint64_t units = (uint64_t(timegm(&day)) * 1000 + time->milliseconds) * 10000 + kUnixEpoch;
    file[0] = uint32_t(units);
    file[1] = uint32_t(units >> 32);
    return 1;
}
int FileTimeToSystemTime(const uint32_t* file, SystemTime* time) {
    time_t seconds = time_t(((uint64_t(file[1]) << 32 | file[0]) - kUnixEpoch) / 10000000);
    struct tm day;
    gmtime_r(&seconds, &day);
    *time = {uint16_t(day.tm_year + 1900), uint16_t(day.tm_mon + 1), uint16_t(day.tm_wday),
             uint16_t(day.tm_mday), uint16_t(day.tm_hour), uint16_t(day.tm_min),
             uint16_t(day.tm_sec), 0};
    return 1;
}


// --- the original driver: the nine required entry points --------------------

typedef int (*SampleCallback)(uint32_t, int32_t, int32_t);
SampleCallback g_interceptor;
std::vector<uint32_t> g_calibration;

int OriginalEnable(SampleCallback callback) {
    g_interceptor = callback;
    return 1;
}
int OriginalThreeWords(uint32_t, uint32_t, uint32_t) { return 7; }
int OriginalSetCalibration(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
    g_calibration = {a, b, c, d, e};
    return 0;
}
int OriginalCalibrateAPoint(uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }

void (*GetProcAddressW(void* module, const char16_t* name))(void) {
    typedef void (*Proc)(void);
    const std::map<std::string, Proc> entries = {
        {"TouchPanelGetDeviceCaps", Proc(OriginalThreeWords)},
        {"TouchPanelSetMode", Proc(OriginalThreeWords)},
        {"TouchPanelPowerHandler", Proc(OriginalThreeWords)},
        {"TouchPanelEnable", Proc(OriginalEnable)},
        {"TouchPanelDisable", Proc(OriginalThreeWords)},
        {"TouchPanelReadCalibrationPoint", Proc(OriginalThreeWords)},
        {"TouchPanelReadCalibrationAbort", Proc(OriginalThreeWords)},
        {"TouchPanelSetCalibration", Proc(OriginalSetCalibration)},
        {"TouchPanelCalibrateAPoint", Proc(OriginalCalibrateAPoint)},
    };
    auto entry = entries.find(Narrow(name));
    return module == kTouchModule && entry != entries.end() ? entry->second : nullptr;
}

const std::map<std::string, void*> kCoredll = {
    {"GetSystemMetrics", reinterpret_cast<void*>(GetSystemMetrics)},
    {"RegOpenKeyExW", reinterpret_cast<void*>(RegOpenKeyExW)},
    {"RegQueryValueExW", reinterpret_cast<void*>(RegQueryValueExW)},
    {"RegCloseKey", reinterpret_cast<void*>(RegCloseKey)},
    {"LoadLibraryW", reinterpret_cast<void*>(LoadLibraryW)},
    {"GetProcAddressW", reinterpret_cast<void*>(GetProcAddressW)},
    {"FreeLibrary", reinterpret_cast<void*>(FreeLibrary)},
    {"DisableThreadLibraryCalls", reinterpret_cast<void*>(DisableThreadLibraryCalls)},
    {"CreateFileW", reinterpret_cast<void*>(CreateFileW)},
    {"SetFilePointer", reinterpret_cast<void*>(SetFilePointer)},
    {"WriteFile", reinterpret_cast<void*>(WriteFile)},
    {"FlushFileBuffers", reinterpret_cast<void*>(FlushFileBuffers)},
    {"CloseHandle", reinterpret_cast<void*>(CloseHandle)},
    {"CreateThread", reinterpret_cast<void*>(CreateThread)},
    {"SetThreadPriority", reinterpret_cast<void*>(SetThreadPriority)},
    {"Sleep", reinterpret_cast<void*>(Sleep)},
    {"WaitForSingleObject", reinterpret_cast<void*>(WaitForSingleObject)},
    {"GetTickCount", reinterpret_cast<void*>(GetTickCount)},
    {"GetLocalTime", reinterpret_cast<void*>(GetLocalTime)},
    {"SystemTimeToFileTime", reinterpret_cast<void*>(SystemTimeToFileTime)},
    {"FileTimeToSystemTime", reinterpret_cast<void*>(FileTimeToSystemTime)},
    {"SystemParametersInfoW", reinterpret_cast<void*>(SystemParametersInfoW)},
    {"GetVersionExW", reinterpret_cast<void*>(GetVersionExW)},
    {"atan2", reinterpret_cast<void*>(static_cast<double (*)(double, double)>(atan2))},
    {"sqrt", reinterpret_cast<void*>(static_cast<double (*)(double)>(sqrt))},
};

// --- the host -------------------------------------------------------------------

struct Sample {
    uint32_t flags;
    int32_t x, y;
    bool operator==(const Sample& o) const { return flags == o.flags && x == o.x && y == o.y; }
};
std::vector<Sample> g_received;

int HostCallback(uint32_t flags, int32_t x, int32_t y) {
    g_received.push_back({flags, x, y});
    return 1;
}

std::string Describe(const Sample& s) {
    char text[48];
    snprintf(text, sizeof text, "{0x%02X, %d, %d}", s.flags, s.x, s.y);
    return text;
}

// One sample through the DLL's interceptor: what it returns, and what the
// host receives (nothing when `delivered` is false).
void ExpectSample(const Sample& in, bool delivered, const Sample& out, const std::string& step) {
    g_received.clear();
    int result = g_interceptor(in.flags, in.x, in.y);
    Expect(result == (delivered ? 1 : 0), step + ": returns " + std::to_string(result));
    Expect(g_received.size() == (delivered ? 1u : 0u) && (!delivered || g_received[0] == out),
           step + ": the host receives " +
               (g_received.empty() ? "nothing" : Describe(g_received[0])) +
               (delivered ? ", not " + Describe(out) : ", not nothing"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: device_dll_test Penwick.dll\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    Module penwick;
    if (file.size() < 0x40 || !Load(file, kCoredll, &penwick)) {
        fprintf(stderr, "%s: cannot load\n", argv[1]);
        return 1;
    }
    typedef int (*DllMain)(void*, uint32_t, void*);
    typedef int (*Enable)(SampleCallback);
    typedef uint32_t (*FiveWords)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    typedef uint32_t (*ThreeWords)(uint32_t, uint32_t, uint32_t);
    typedef uint32_t (*TwoWords)(uint32_t, uint32_t);

    // The settings of the worked stroke, and no OrigDriverName: touch.dll.
    for (const WorkedStrokeSetting& setting : kWorkedStroke) {
        g_registry[setting.name] = {4, Dword(setting.value)};
    }
    // And a capture of every sample, into \capture.csv.
    std::vector<uint8_t> path;
    for (char c : std::string("\\capture.csv")) {
        path.insert(path.end(), {uint8_t(c), 0});
    }
    path.insert(path.end(), {0, 0});
    g_registry["CaptureFile"] = {1, path};  // REG_SZ
    Expect(reinterpret_cast<DllMain>(penwick.entry)(penwick.base, 1, nullptr) == 1,
           "process attach succeeds");
    const std::vector<std::string> attach = {
        "DisableThreadLibraryCalls", "RegOpenKeyExW HARDWARE\\DEVICEMAP\\TOUCH\\Penwick 0 0",
        "RegCloseKey", "LoadLibraryW touch.dll"};
    Expect(g_calls == attach,
           "attach stops thread notifications, reads the key opened with options 0 and access 0, "
           "loads touch.dll");

    Expect(reinterpret_cast<Enable>(penwick.exports["TouchPanelEnable"])(HostCallback) == 1,
           "TouchPanelEnable returns the original's result");
    Expect(
        g_interceptor != nullptr && g_interceptor != reinterpret_cast<SampleCallback>(HostCallback),
        "the original driver is enabled with the interceptor");
    if (g_interceptor == nullptr) {
        return 1;
    }

    // The worked stroke: every rule's arithmetic, the arc tangent and the
    // square roots, as the device computes them.
    struct Step {
        Sample in;
        bool delivered;
        Sample out;
    };
    const Step stroke[] = {
        {{0x07, 100, 100}, false, {}}, {{0x0F, 101, 101}, true, {0x07, 101, 101}},
        {{0x0F, 109, 100}, false, {}}, {{0x0F, 117, 101}, true, {0x0F, 117, 101}},
        {{0x0F, 160, 140}, false, {}}, {{0x0F, 125, 102}, false, {}},
        {{0x0F, 133, 103}, false, {}}, {{0x0F, 141, 104}, false, {}},
        {{0x0F, 149, 105}, false, {}}, {{0x0D, 150, 105}, true, {0x0D, 117, 101}},
        {{0x05, 150, 105}, false, {}},
    };
    for (size_t i = 0; i < sizeof stroke / sizeof stroke[0]; i++) {
        ExpectSample(stroke[i].in, stroke[i].delivered, stroke[i].out,
                     "worked stroke sample " + std::to_string(i + 1));
    }

    // A screen twice the size it had at enable: the filter halves every
    // coordinate (240 x / 480, a division by the device's helper, divisor
    // first). A step of 4 is then 2, shorter than LowSpeed 3, and accepted;
    // the next step of 20 is 10, gets as far as rule f and is withheld. With
    // the division's arguments or results swapped, both would become 0 and be
    // accepted.
    g_screenWidth = 480, g_screenHeight = 640;
    ExpectSample({0x07, 0, 0}, false, {}, "rescaled stroke start");
    ExpectSample({0x0F, 4, 0}, true, {0x07, 4, 0}, "rescaled step of 4");
    ExpectSample({0x0F, 24, 0}, false, {}, "rescaled step of 20");

    // Forwarders: five argument words reach the original driver, results
    // come back, a missing optional entry point gives 0.
    reinterpret_cast<FiveWords>(penwick.exports["TouchPanelSetCalibration"])(1, 2, 3, 4, 5);
    Expect(g_calibration == std::vector<uint32_t>{1, 2, 3, 4, 5},
           "TouchPanelSetCalibration passes all five words");
    Expect(reinterpret_cast<ThreeWords>(penwick.exports["TouchPanelGetDeviceCaps"])(0, 0, 0) == 7,
           "TouchPanelGetDeviceCaps returns the original's result");
    Expect(reinterpret_cast<TwoWords>(penwick.exports["TouchGetFocusWnd"])(0, 0) == 0,
           "TouchGetFocusWnd without the original's gives 0");

    g_calls.clear();
    Expect(reinterpret_cast<DllMain>(penwick.entry)(penwick.base, 0, nullptr) == 1,
           "process detach succeeds");
    Expect(g_calls == std::vector<std::string>{"FreeLibrary touch.dll"},
           "detach releases touch.dll once");

    // The capture: the columns, then every sample above, as it arrived and
    // with the tick then, after the boot (the clock less the time since the
    // start), the version, the device, the settings and the screen at
    // enable; the turn of the screen where it came. The writer ran at the
    // lowest priority once it had started, and wrote it all out at detach at
    // normal priority.
    std::string expected =
        "flags,x,y,tick\n"
        "# penwick boot 2026-12-08 09:00:00\n"
        "# penwick version " + std::string(kPenwickVersion) + "\n"
        "# penwick device \"Pocket_PC\", OEM \"ARM926 test\", platform PocketPC, "
        "Windows CE 5.1.1702\n"
        "# penwick settings LowSpeed 3, MinDirSpeed 5, HighSpeed 20, MaxSpeedDiff 4, "
        "MaxSpeedDiff2 10, MaxDirDiff 60, ErrorDelay 2, MaxErrorDelay 3; filtering on\n"
        "# penwick enable-screen 240x320\n";
    for (const Step& step : stroke) {
        char line[48];
        snprintf(line, sizeof line, "0x%02X,%d,%d,%u\n", step.in.flags, step.in.x, step.in.y,
                 g_ticks);
        expected += line;
    }
    expected += "# penwick screen 480x640\n0x07,0,0,3600000\n0x0F,4,0,3600000\n0x0F,24,0,3600000\n";
    pthread_join(g_writer.thread, nullptr);
    Expect(g_capturePath == "\\capture.csv" && g_writer.priorities == "7 running; 3 running; ",
           "the writer wrote " + g_capturePath + " at priorities " + g_writer.priorities);
    Expect(g_captureFile == expected, "the capture holds:\n" + g_captureFile + "not:\n" + expected);

    if (g_failures == 0) {
        printf(
            "%s ran on an ARMv5TE: attach, the worked stroke, rescaling, forwarders and detach as "
            "expected\n",
            argv[1]);
    }
    return g_failures == 0 ? 0 : 1;
}

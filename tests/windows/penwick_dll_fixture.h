// Shared by the Wine suite's files: the program plays the host. It writes
// the configuration key, loads Penwick.dll, enables it with its own sample
// callback and drives the stand-in original drivers; it can also put its own
// GetSystemMetrics into the DLL's import slot to decide the screen size.
#ifndef PENWICK_TESTS_WINDOWS_PENWICK_DLL_FIXTURE_H
#define PENWICK_TESTS_WINDOWS_PENWICK_DLL_FIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "proxy/configuration.h"
#include "standin_record.h"

inline const wchar_t* const kKey = reinterpret_cast<const wchar_t*>(kConfigurationKey);

struct Received {
    DWORD flags;
    INT x, y;
    bool operator==(const Received& o) const { return flags == o.flags && x == o.x && y == o.y; }
};
inline std::ostream& operator<<(std::ostream& out, const Received& r) {
    return out << "{0x" << std::hex << r.flags << std::dec << ", " << r.x << ", " << r.y << "}";
}
inline std::vector<Received> g_received;

inline BOOL HostCallback(DWORD flags, INT x, INT y) {
    g_received.push_back({flags, x, y});
    return 1;
}

typedef BOOL (*EnableFunction)(StandinCallback);
typedef DWORD (*TwoWords)(DWORD, DWORD);
typedef DWORD (*ThreeWords)(DWORD, DWORD, DWORD);
typedef DWORD (*FourWords)(DWORD, DWORD, DWORD, DWORD);
typedef DWORD (*FiveWords)(DWORD, DWORD, DWORD, DWORD, DWORD);
typedef BOOL (*EmitFunction)(DWORD, INT, INT);
typedef StandinRecord* (*RecordFunction)();

// An entry point looked up by name, as its real type.
template <typename F>
inline F EntryOf(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The screen as Penwick.dll sees it: the test puts its own function into
// the DLL's import slot for user32's GetSystemMetrics, so that it decides the
// screen size (Wine's is fixed) and sees every metric asked for, in order.
inline std::vector<int> g_metricsAsked;
inline int g_screenWidth, g_screenHeight;

inline int WINAPI TestGetSystemMetrics(int index) {
    g_metricsAsked.push_back(index);
    return index == SM_CXSCREEN ? g_screenWidth : index == SM_CYSCREEN ? g_screenHeight : 0;
}

inline bool ReplaceImport(HMODULE module, const char* library, const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_NT_HEADERS* headers =
        reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; entry++) {
        if (_stricmp(reinterpret_cast<char*>(base + entry->Name), library) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; names++, slots++) {
            auto* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                strcmp(reinterpret_cast<char*>(name->Name), function) != 0) {
                continue;
            }
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                           &protection);
            slots->u1.Function = reinterpret_cast<DWORD_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return true;
        }
    }
    return false;
}

class PenwickDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_received.clear();
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    }

    void TearDown() override {
        if (penwick_ != nullptr) {
            FreeLibrary(penwick_);
        }
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    }

    // The configuration key; HARDWARE is volatile under Wine, so the key must be too.
    static HKEY CreateKey() {
        HKEY key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    static void Configure(const wchar_t* driverName, const std::vector<DWORD>& settings) {
        HKEY key = CreateKey();
        if (driverName != nullptr) {
            RegSetValueExW(key, L"OrigDriverName", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(driverName),
                           static_cast<DWORD>((wcslen(driverName) + 1) * sizeof(wchar_t)));
        }
        for (size_t i = 0; i < settings.size(); i++) {
            RegSetValueExW(key, reinterpret_cast<const wchar_t*>(kConfigurationSettings[i].name),
                           0, REG_DWORD, reinterpret_cast<const BYTE*>(&settings[i]),
                           sizeof(DWORD));
        }
        RegCloseKey(key);
    }

    HMODULE LoadPenwick() {
        penwick_ = LoadLibraryW(L"Penwick.dll");
        return penwick_;
    }

    template <typename F>
    F Export(const char* name) {
        F entry = EntryOf<F>(penwick_, name);
        EXPECT_NE(entry, nullptr) << name;
        return entry;
    }

    static StandinRecord* RecordOf(const wchar_t* driver) {
        HMODULE module = GetModuleHandleW(driver);
        if (module == nullptr) {
            ADD_FAILURE() << "stand-in not loaded";
            return nullptr;
        }
        return EntryOf<RecordFunction>(module, "StandinGetRecord")();
    }

    static EmitFunction EmitOf(const wchar_t* driver) {
        return EntryOf<EmitFunction>(GetModuleHandleW(driver), "StandinEmit");
    }

    HMODULE penwick_ = nullptr;
};

#endif

// The installer's code and its Windows seam under a real registry, file
// system and loader (Wine), in front of the stand-in touch.dll: after
// install the real Penwick.dll loads as the touch driver, binds the stand-in
// and filters; after uninstall the stand-in is the touch driver again. The
// installer's folder is this program's, where Penwick.dll is built.
#include <fstream>
#include <iterator>
#include <string>

#include "penwick_dll_fixture.h"
#include "penwick_version.h"
#include "registry/configuration_check.h"
#include "setup/device_trust.h"
#include "setup/setup_command.h"
#include "../worked_stroke.h"

namespace {

const wchar_t* const kTouch = reinterpret_cast<const wchar_t*>(kTouchKey);
// The name an install of this version gives Penwick.dll in the Windows folder.
const std::wstring kInstalledName =
    L"Penwick-" + std::wstring(kPenwickVersion, kPenwickVersion + sizeof kPenwickVersion - 1) +
    L".dll";

std::wstring InWindows(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.rfind(L'\\') + 1) + name;
}

const std::string kWorkedStrokeFile =
    "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n" +
    WorkedStrokeRegLines("\r\n");

// Penwick.dll as built for these tests, in each kind: unsigned, sha1 (signed
// as a device wants by the test developer, whose issuer is the test root),
// sha256, tampered.
std::wstring Variant(const char* kind) {
    std::string path = std::string(PENWICK_VARIANTS) + "/" + kind + "/Penwick.dll";
    return std::wstring(path.begin(), path.end());
}

const std::wstring kStore = reinterpret_cast<const wchar_t*>(kTrustPrivilegedStore);
const std::wstring kStoredRoot = kStore + L"\\PENWICK TEST ROOT";

// The device's privileged store with the test root in it, as a Blob value.
void TrustTheTestRoot() {
    std::ifstream in(PENWICK_TEST_ROOT_DER, std::ios::binary);
    std::string root((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string blob("\x20\0\0\0\x01\0\0\0", 8);
    uint32_t size = static_cast<uint32_t>(root.size());
    blob.append(reinterpret_cast<const char*>(&size), 4);
    blob += root;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStoredRoot.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                   static_cast<DWORD>(blob.size()));
    RegCloseKey(key);
}

// The store's keys, deepest first.
void ForgetTheStore() {
    std::wstring key = kStoredRoot;
    while (key.find(L'\\') != std::wstring::npos) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
        key = key.substr(0, key.rfind(L'\\'));
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

class SetupWineTest : public PenwickDllTest {
protected:
    void SetUp() override {
        PenwickDllTest::SetUp();
        // The Penwick.dll beside the installer is the one signed as a device
        // wants, by a certificate whose issuer the store holds.
        TrustTheTestRoot();
        ASSERT_TRUE(CopyFileW(Variant("sha1").c_str(), Beside(L"Penwick.dll").c_str(), FALSE));
        // HARDWARE is volatile under Wine: the touch key must be too.
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTouch, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        SetDriverName(key, L"touch.dll");
        RegCloseKey(key);
        // Where the installer looks for the driver DriverName names.
        ASSERT_TRUE(
            CopyFileW(Beside(L"touch.dll").c_str(), InWindows(L"touch.dll").c_str(), FALSE));
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        settings_ = std::wstring(folder) + L"worked stroke.reg";
        WriteSettings(kWorkedStrokeFile);
    }

    void WriteSettings(const std::string& text) {
        HANDLE file = CreateFileW(settings_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }

    void TearDown() override {
        PenwickDllTest::TearDown();
        ForgetTheStore();
        CopyFileW(Variant("unsigned").c_str(), Beside(L"Penwick.dll").c_str(), FALSE);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTouch);
        for (const wchar_t* name :
             {L"touch.dll", L"Penwick.dll", kInstalledName.c_str(), L"PenwickSetup.log"}) {
            DeleteFileW(InWindows(name).c_str());
        }
        DeleteFileW(settings_.c_str());
    }

    static void SetDriverName(HKEY key, const wchar_t* name) {
        RegSetValueExW(key, L"DriverName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
    }

    static std::wstring DriverName() {
        wchar_t name[64] = {};
        DWORD size = sizeof name - sizeof name[0];
        RegGetValueW(HKEY_LOCAL_MACHINE, kTouch, L"DriverName", RRF_RT_REG_SZ, nullptr, name,
                     &size);
        return name;
    }

    static int Run(const std::wstring& line) {
        return SetupRun(reinterpret_cast<const char16_t*>(line.c_str()));
    }

    static std::string Outcome() {
        const char16_t* outcome = g_setupReport.outcome;
        return std::string(outcome, outcome + g_setupReport.outcomeLength);
    }

    std::wstring settings_;
};

TEST_F(SetupWineTest,
       install_makes_penwick_the_touch_driver_in_front_of_the_stand_in_and_uninstall_undoes_it) {
    ASSERT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 0) << Outcome();
    EXPECT_EQ(DriverName(), kInstalledName);

    // The host's part: load the touch driver DriverName names and enable it.
    penwick_ = LoadLibraryW(DriverName().c_str());
    ASSERT_NE(penwick_, nullptr);
    ASSERT_NE(GetModuleHandleW(L"touch.dll"), nullptr);
    ASSERT_EQ(Export<EnableFunction>("TouchPanelEnable")(HostCallback), 0x108);
    EmitFunction emit = EmitOf(L"touch.dll");
    // The worked stroke's first rows: the settings the installer wrote filter.
    const Received in[] = {{0x07, 100, 100}, {0x0F, 101, 101}, {0x0F, 109, 100}, {0x0F, 117, 101}};
    for (const Received& sample : in) {
        emit(sample.flags, sample.x, sample.y);
    }
    EXPECT_EQ(g_received, (std::vector<Received>{{0x07, 101, 101}, {0x0F, 117, 101}}));
    FreeLibrary(penwick_);
    penwick_ = nullptr;

    ASSERT_EQ(Run(L"uninstall /quiet"), 0) << Outcome();
    EXPECT_EQ(DriverName(), L"touch.dll");
    // Not loaded any more, Penwick's module is deleted.
    EXPECT_EQ(GetFileAttributesW(InWindows(kInstalledName.c_str()).c_str()), INVALID_FILE_ATTRIBUTES);
    HMODULE driver = LoadLibraryW(DriverName().c_str());
    EXPECT_NE(EntryOf<EmitFunction>(driver, "StandinEmit"), nullptr) << "the stand-in, not Penwick";
    FreeLibrary(driver);
}

TEST_F(SetupWineTest, settings_the_check_rejects_leave_the_registry_and_windows_as_they_were) {
    WriteSettings(
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n"
        "\"LowSpeed\"=dword:3\r\n");
    EXPECT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 1);
    EXPECT_EQ(Outcome(),
              "Nothing was changed: with these settings, MinDirSpeed is missing: "
              "filtering is off.");
    EXPECT_EQ(DriverName(), L"touch.dll");
    HKEY key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(InWindows(kInstalledName.c_str()).c_str()), INVALID_FILE_ATTRIBUTES);
}

// Penwick's key as a .reg export would show it, for "nothing changed".
std::string PenwickKeyNow() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "(no key)";
    }
    std::string text;
    for (DWORD i = 0;; i++) {
        wchar_t name[64];
        BYTE data[512];
        DWORD units = 64, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &units, nullptr, &type, data, &size) != ERROR_SUCCESS) {
            break;
        }
        text += std::string(name, name + units) + " " + std::to_string(type) + ":" +
                std::string(data, data + size) + "\n";
    }
    RegCloseKey(key);
    return text;
}

// A Penwick.dll that a Windows Mobile device would not load at boot is
// refused before anything is written.
TEST_F(SetupWineTest, an_unsigned_sha256_signed_or_tampered_penwick_dll_is_refused) {
    const struct {
        const char* kind;
        const char* why;  // what the outcome says after "Nothing was changed: "
    } cases[] = {
        {"unsigned", "Penwick.dll: it is not signed"},
        {"sha256", "Penwick.dll: it is signed with a digest other than SHA-1"},
        {"tampered", "Penwick.dll: it was changed after it was signed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_TRUE(CopyFileW(Variant(c.kind).c_str(), Beside(L"Penwick.dll").c_str(), FALSE));
        std::string key = PenwickKeyNow();
        EXPECT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 1);
        EXPECT_EQ(Outcome().find(std::string("Nothing was changed: ") + c.why), 0u) << Outcome();
        EXPECT_EQ(DriverName(), L"touch.dll");
        EXPECT_EQ(PenwickKeyNow(), key);
        EXPECT_EQ(GetFileAttributesW(InWindows(kInstalledName.c_str()).c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // /untrusted goes on, and status says so.
    ASSERT_EQ(Run(L"install \"" + settings_ + L"\" /untrusted /quiet"), 0) << Outcome();
    EXPECT_EQ(DriverName(), kInstalledName);
    ASSERT_EQ(Run(L"status /quiet"), 0) << Outcome();
    EXPECT_NE(Outcome().find("It was installed with /untrusted"), std::string::npos) << Outcome();
}

// Installing again, or after an uninstall, with a file that lacks a setting
// an earlier install left in the key: refused, the key as it was.
TEST_F(SetupWineTest, a_file_lacking_a_setting_is_refused_over_the_one_left_from_before) {
    ASSERT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 0) << Outcome();
    std::string lacking = kWorkedStrokeFile.substr(0, kWorkedStrokeFile.find("\"MaxErrorDelay\""));
    WriteSettings(lacking);
    for (const wchar_t* before : {L"", L"uninstall /quiet"}) {
        if (*before != 0) {
            ASSERT_EQ(Run(before), 0) << Outcome();
        }
        std::wstring driver = DriverName();
        std::string key = PenwickKeyNow();
        EXPECT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 1);
        EXPECT_EQ(Outcome(),
                  "Nothing was changed: with these settings, MaxErrorDelay is missing: "
                  "filtering is off.");
        EXPECT_EQ(DriverName(), driver);
        EXPECT_EQ(PenwickKeyNow(), key);
    }
    // A complete file installs exactly its settings over other values.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    DWORD other = 99;
    for (const wchar_t* name : {L"LowSpeed", L"MaxErrorDelay", L"Mystery"}) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&other), 4);
    }
    RegCloseKey(key);
    WriteSettings(kWorkedStrokeFile);
    ASSERT_EQ(Run(L"install \"" + settings_ + L"\" /quiet"), 0) << Outcome();
    std::string now = PenwickKeyNow();
    EXPECT_NE(now.find(std::string("LowSpeed 4:\x03\0\0\0", 15)), std::string::npos) << now;
    EXPECT_NE(now.find(std::string("MaxErrorDelay 4:\x03\0\0\0", 20)), std::string::npos) << now;
    ASSERT_EQ(Run(L"status /quiet"), 0) << Outcome();
    EXPECT_NE(Outcome().find("Penwick does not read these values of its key: Mystery."),
              std::string::npos)
        << Outcome();
}

}  // namespace

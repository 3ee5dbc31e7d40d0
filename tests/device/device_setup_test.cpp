// device_setup_test PenwickSetup.exe VARIANTS install.reg ROOT.der: runs the
// device's PenwickSetup.exe on an emulated ARM926 (qemu-arm, an ARMv5TE), as
// Windows CE would run it, against a Windows Mobile device's registry and
// files played here. VARIANTS holds Penwick.dll unsigned, sha1 (signed by a
// test certificate issued by ROOT.der), sha256 and tampered, each in a
// folder of that name.
//
// This ARM Linux program plays the loader and coredll.dll: it maps the
// program, fills its import address slots with stand-ins that keep a
// registry and files in memory, and calls its entry point with WinMain's
// arguments, a command line at a time. The code that runs is the program's
// own: the reading of the recommended settings built into it, the check's
// rules, the undo, the decimal numbers of its messages. Prints each
// difference and exits 1 if there was any.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device_loader.h"
#include "penwick_version.h"

namespace {

// --- coredll.dll, as far as PenwickSetup uses it --------------------------------

const uintptr_t kLocalMachine = 0x80000002;

std::string Upper(std::string text) {
    for (char& c : text) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return text;
}

struct Value {
    uint32_t type;
    std::vector<uint8_t> data;
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};
// Keys by upper-case path, values by upper-case name; files by upper-case path.
std::map<std::string, std::map<std::string, Value>> g_registry;
std::map<std::string, std::string> g_files;
// Modules that run in place from ROM: there, but no files to open.
std::set<std::string> g_romModules;
std::vector<std::string> g_openKeys;  // by handle - 1; empty once closed
std::vector<std::string> g_boxes;
std::vector<std::string> g_misuse;  // calls the device would refuse
uint32_t g_lastError = 0;

std::string KeyOf(void* key) {
    size_t index = reinterpret_cast<uintptr_t>(key) - 1;
    return index < g_openKeys.size() ? g_openKeys[index] : "";
}

long Fail(uint32_t error) {
    g_lastError = error;
    return static_cast<long>(error);
}

long RegOpenKeyExW(void* root, const char16_t* subKey, uint32_t options, uint32_t access,
                   void** key) {
    if (reinterpret_cast<uintptr_t>(root) != kLocalMachine || options != 0 || access != 0) {
        g_misuse.push_back("RegOpenKeyExW " + Narrow(subKey));
    }
    if (g_registry.count(Upper(Narrow(subKey))) == 0) {
        return Fail(2);
    }
    g_openKeys.push_back(Upper(Narrow(subKey)));
    *key = reinterpret_cast<void*>(g_openKeys.size());
    return 0;
}

long RegCreateKeyExW(void* root, const char16_t* subKey, uint32_t, char16_t*, uint32_t options,
                     uint32_t access, void*, void** key, uint32_t* disposition) {
    if (reinterpret_cast<uintptr_t>(root) != kLocalMachine || options != 0 || access != 0) {
        g_misuse.push_back("RegCreateKeyExW " + Narrow(subKey));
    }
    g_registry[Upper(Narrow(subKey))];
    g_openKeys.push_back(Upper(Narrow(subKey)));
    *key = reinterpret_cast<void*>(g_openKeys.size());
    *disposition = 1;  // REG_CREATED_NEW_KEY
    return 0;
}

long RegQueryValueExW(void* key, const char16_t* name, uint32_t*, uint32_t* type, uint8_t* data,
                      uint32_t* size) {
    auto values = g_registry.find(KeyOf(key));
    if (values == g_registry.end() || values->second.count(Upper(Narrow(name))) == 0) {
        return Fail(2);
    }
    const Value& value = values->second[Upper(Narrow(name))];
    uint32_t given = *size;
    *size = static_cast<uint32_t>(value.data.size());
    if (value.data.size() > given) {
        return Fail(234);
    }
    memcpy(data, value.data.data(), value.data.size());
    *type = value.type;
    return 0;
}

long RegSetValueExW(void* key, const char16_t* name, uint32_t, uint32_t type, const uint8_t* data,
                    uint32_t size) {
    g_registry[KeyOf(key)][Upper(Narrow(name))] = {type, std::vector<uint8_t>(data, data + size)};
    return 0;
}

long RegDeleteValueW(void* key, const char16_t* name) {
    return g_registry[KeyOf(key)].erase(Upper(Narrow(name))) == 1 ? 0 : Fail(2);
}

long RegDeleteKeyW(void*, const char16_t* subKey) {
    return g_registry.erase(Upper(Narrow(subKey))) == 1 ? 0 : Fail(2);
}

// Gives a name as the registry does: ERROR_MORE_DATA when it does not fit.
long GiveName(const std::string& found, char16_t* name, uint32_t* units) {
    if (found.size() + 1 > *units) {
        return Fail(234);
    }
    for (size_t i = 0; i <= found.size(); i++) {
        name[i] = i < found.size() ? static_cast<char16_t>(found[i]) : 0;
    }
    *units = static_cast<uint32_t>(found.size());
    return 0;
}

long RegEnumValueW(void* key, uint32_t index, char16_t* name, uint32_t* units, uint32_t*,
                   uint32_t*, uint8_t*, uint32_t*) {
    auto values = g_registry.find(KeyOf(key));
    if (values == g_registry.end() || index >= values->second.size()) {
        return Fail(259);  // ERROR_NO_MORE_ITEMS
    }
    return GiveName(std::next(values->second.begin(), index)->first, name, units);
}

long RegEnumKeyExW(void* key, uint32_t index, char16_t* name, uint32_t* units, uint32_t*,
                   char16_t*, uint32_t*, void*) {
    std::string parent = KeyOf(key) + "\\";
    for (const auto& entry : g_registry) {
        std::string rest = entry.first.compare(0, parent.size(), parent) == 0
                               ? entry.first.substr(parent.size())
                               : "\\";
        if (rest.find('\\') == std::string::npos && index-- == 0) {
            return GiveName(rest, name, units);
        }
    }
    return Fail(259);
}

long RegFlushKey(void* key) { return KeyOf(key).empty() ? Fail(6) : 0; }

long RegCloseKey(void* key) {
    size_t index = reinterpret_cast<uintptr_t>(key) - 1;
    if (index >= g_openKeys.size() || g_openKeys[index].empty()) {
        g_misuse.push_back("RegCloseKey of a key not open");
        return 6;
    }
    g_openKeys[index].clear();
    return 0;
}

struct OpenFile {
    std::string path;
    size_t at = 0;
    bool open = false;
};
std::vector<OpenFile> g_openFiles;  // by handle - 1

OpenFile* FileOf(void* handle) {
    size_t index = reinterpret_cast<uintptr_t>(handle) - 1;
    return index < g_openFiles.size() && g_openFiles[index].open ? &g_openFiles[index] : nullptr;
}

void* CreateFileW(const char16_t* name, uint32_t, uint32_t, void*, uint32_t disposition, uint32_t,
                  void*) {
    std::string path = Upper(Narrow(name));
    if (disposition == 3 && g_files.count(path) == 0) {  // OPEN_EXISTING
        Fail(2);
        return reinterpret_cast<void*>(-1);
    }
    g_files[path];  // OPEN_ALWAYS makes it
    g_openFiles.push_back({path, 0, true});
    return reinterpret_cast<void*>(g_openFiles.size());
}

int ReadFile(void* handle, void* data, uint32_t size, uint32_t* read, void*) {
    OpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return 0;
    }
    const std::string& bytes = g_files[file->path];
    *read = static_cast<uint32_t>(std::min<size_t>(size, bytes.size() - file->at));
    memcpy(data, bytes.data() + file->at, *read);
    file->at += *read;
    return 1;
}

int WriteFile(void* handle, const void* data, uint32_t size, uint32_t* written, void*) {
    OpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return 0;
    }
    std::string& bytes = g_files[file->path];
    bytes.replace(file->at, std::min<size_t>(size, bytes.size() - file->at),
                  static_cast<const char*>(data), size);
    file->at += size;
    *written = size;
    return 1;
}

uint32_t SetFilePointer(void* handle, long, long*, uint32_t method) {
    OpenFile* file = FileOf(handle);
    if (file == nullptr || method != 2) {  // FILE_END
        return 0xFFFFFFFF;
    }
    file->at = g_files[file->path].size();
    return static_cast<uint32_t>(file->at);
}

uint32_t GetFileSize(void* handle, uint32_t*) {
    OpenFile* file = FileOf(handle);
    return file == nullptr ? 0xFFFFFFFF : static_cast<uint32_t>(g_files[file->path].size());
}

int FlushFileBuffers(void* handle) { return FileOf(handle) != nullptr; }

// FindFirstFileW's "FOLDER\PREFIX*", and the mutex of one run at a time.
struct FindData {
    uint32_t attributes;
    uint32_t times[6];
    uint32_t sizeHigh, sizeLow, objectId;
    char16_t name[260];
};
const uintptr_t kFindHandle = 0x10000, kMutexHandle = 0x20000;
std::vector<std::string> g_found;  // what the open find has left to give
bool g_findOpen = false, g_mutexOpen = false;

int FindNextFileW(void* handle, FindData* found) {
    if (reinterpret_cast<uintptr_t>(handle) != kFindHandle || !g_findOpen) {
        g_misuse.push_back("FindNextFileW of no find");
        return 0;
    }
    if (g_found.empty()) {
        return Fail(18), 0;  // ERROR_NO_MORE_FILES
    }
    *found = {};
    for (size_t i = 0; i < g_found.front().size() && i < 259; i++) {
        found->name[i] = static_cast<char16_t>(g_found.front()[i]);
    }
    found->attributes = 0x80;
    g_found.erase(g_found.begin());
    return 1;
}

void* FindFirstFileW(const char16_t* pattern, FindData* found) {
    std::string start = Upper(Narrow(pattern));
    if (g_findOpen || start.empty() || start.back() != '*') {
        g_misuse.push_back("FindFirstFileW " + start);
        return reinterpret_cast<void*>(-1);
    }
    start.pop_back();
    size_t folder = start.rfind('\\') + 1;
    g_found.clear();
    for (const auto& [path, bytes] : g_files) {
        if (path.compare(0, start.size(), start) == 0 &&
            path.find('\\', folder) == std::string::npos) {
            g_found.push_back(path.substr(folder));
        }
    }
    g_findOpen = true;
    if (!FindNextFileW(reinterpret_cast<void*>(kFindHandle), found)) {
        g_findOpen = false;
        return reinterpret_cast<void*>(-1);
    }
    return reinterpret_cast<void*>(kFindHandle);
}

int FindClose(void* handle) {
    bool open = reinterpret_cast<uintptr_t>(handle) == kFindHandle && g_findOpen;
    g_findOpen = false;
    return open || (g_misuse.push_back("FindClose of no find"), 0);
}

void* CreateMutexW(void*, int owned, const char16_t* name) {
    if (owned || Narrow(name) != "PenwickSetup" || g_mutexOpen) {
        g_misuse.push_back("CreateMutexW");
    }
    // As the kernel does, the last error is left as it was for a new mutex.
    g_mutexOpen = true;
    return reinterpret_cast<void*>(kMutexHandle);
}

int CloseHandle(void* handle) {
    if (reinterpret_cast<uintptr_t>(handle) == kMutexHandle && g_mutexOpen) {
        g_mutexOpen = false;
        return 1;
    }
    OpenFile* file = FileOf(handle);
    if (file == nullptr) {
        g_misuse.push_back("CloseHandle of a file not open");
        return 0;
    }
    file->open = false;
    return 1;
}

uint32_t GetFileAttributesW(const char16_t* name) {
    if (g_romModules.count(Upper(Narrow(name)))) {
        return 0x2000 | 0x40 | 0x1;  // a module in ROM, read-only
    }
    return g_files.count(Upper(Narrow(name))) ? 0x80 : (Fail(2), 0xFFFFFFFF);
}

int CopyFileW(const char16_t* from, const char16_t* to, int) {
    if (g_files.count(Upper(Narrow(from))) == 0) {
        return Fail(2), 0;
    }
    g_files[Upper(Narrow(to))] = g_files[Upper(Narrow(from))];
    return 1;
}

int DeleteFileW(const char16_t* name) {
    return g_files.erase(Upper(Narrow(name))) == 1 || (Fail(2), 0);
}

uint32_t GetLastError() { return g_lastError; }

uint32_t GetModuleFileNameW(void* module, char16_t* name, uint32_t units) {
    const char16_t self[] = u"\\Storage Card\\Penwick\\PenwickSetup.exe";
    uint32_t length = sizeof self / sizeof self[0] - 1;
    if (module != nullptr || units <= length) {
        g_misuse.push_back("GetModuleFileNameW");
        return 0;
    }
    memcpy(name, self, sizeof self);
    return length;
}

struct SystemTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
void GetLocalTime(SystemTime* time) { *time = {2026, 12, 3, 9, 10, 30, 5, 0}; }

// A Pocket PC: SPI_GETPLATFORMTYPE, with the size in bytes or units.
void SetLastError(uint32_t error) { g_lastError = error; }

int MessageBoxW(void*, const char16_t* text, const char16_t* caption, unsigned type) {
    g_boxes.push_back(Narrow(caption) + " " + std::to_string(type) + ": " + Narrow(text));
    return 6;  // IDYES
}

const std::map<std::string, void*> kCoredll = {
    {"RegOpenKeyExW", reinterpret_cast<void*>(RegOpenKeyExW)},
    {"RegCreateKeyExW", reinterpret_cast<void*>(RegCreateKeyExW)},
    {"RegQueryValueExW", reinterpret_cast<void*>(RegQueryValueExW)},
    {"RegSetValueExW", reinterpret_cast<void*>(RegSetValueExW)},
    {"RegDeleteValueW", reinterpret_cast<void*>(RegDeleteValueW)},
    {"RegDeleteKeyW", reinterpret_cast<void*>(RegDeleteKeyW)},
    {"RegEnumValueW", reinterpret_cast<void*>(RegEnumValueW)},
    {"RegEnumKeyExW", reinterpret_cast<void*>(RegEnumKeyExW)},
    {"RegFlushKey", reinterpret_cast<void*>(RegFlushKey)},
    {"RegCloseKey", reinterpret_cast<void*>(RegCloseKey)},
    {"CreateFileW", reinterpret_cast<void*>(CreateFileW)},
    {"ReadFile", reinterpret_cast<void*>(ReadFile)},
    {"WriteFile", reinterpret_cast<void*>(WriteFile)},
    {"SetFilePointer", reinterpret_cast<void*>(SetFilePointer)},
    {"GetFileSize", reinterpret_cast<void*>(GetFileSize)},
    {"FlushFileBuffers", reinterpret_cast<void*>(FlushFileBuffers)},
    {"CloseHandle", reinterpret_cast<void*>(CloseHandle)},
    {"FindFirstFileW", reinterpret_cast<void*>(FindFirstFileW)},
    {"FindNextFileW", reinterpret_cast<void*>(FindNextFileW)},
    {"FindClose", reinterpret_cast<void*>(FindClose)},
    {"CreateMutexW", reinterpret_cast<void*>(CreateMutexW)},
    {"GetFileAttributesW", reinterpret_cast<void*>(GetFileAttributesW)},
    {"CopyFileW", reinterpret_cast<void*>(CopyFileW)},
    {"DeleteFileW", reinterpret_cast<void*>(DeleteFileW)},
    {"GetLastError", reinterpret_cast<void*>(GetLastError)},
    {"GetModuleFileNameW", reinterpret_cast<void*>(GetModuleFileNameW)},
    {"GetLocalTime", reinterpret_cast<void*>(GetLocalTime)},
    {"SystemParametersInfoW", reinterpret_cast<void*>(SystemParametersInfoW)},
    {"GetVersionExW", reinterpret_cast<void*>(GetVersionExW)},
    {"SetLastError", reinterpret_cast<void*>(SetLastError)},
    {"MessageBoxW", reinterpret_cast<void*>(MessageBoxW)},
};

// --- the device -------------------------------------------------------------------

std::vector<uint8_t> Utf16(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (char c : text) {
        bytes.insert(bytes.end(), {uint8_t(c), 0});
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string ReadFileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::string kTouch = "HARDWARE\\DEVICEMAP\\TOUCH";
const std::string kPenwick = "HARDWARE\\DEVICEMAP\\TOUCH\\PENWICK";

// The eight settings of a .reg file's "Name"=dword:hhhhhhhh lines.
std::map<std::string, Value> DwordsOf(const std::string& reg) {
    std::map<std::string, Value> values;
    size_t at = 0;
    char name[64];
    unsigned number;
    while ((at = reg.find("\n\"", at)) != std::string::npos) {
        at++;
        if (sscanf(reg.c_str() + at, "\"%63[^\"]\"=dword:%x", name, &number) == 2) {
            values[Upper(name)] = {4,
                                   {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16),
                                    uint8_t(number >> 24)}};
        }
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr,
                "usage: device_setup_test PenwickSetup.exe VARIANTS install.reg ROOT.der "
                "PenwickCabSetup.dll\n");
        return 2;
    }
    const std::string variants = argv[2];
    std::string image = ReadFileBytes(argv[1]);
    std::vector<uint8_t> file(image.begin(), image.end());
    Module setup;
    if (file.size() < 0x40 || !Load(file, kCoredll, &setup)) {
        fprintf(stderr, "%s: cannot load\n", argv[1]);
        return 1;
    }
    typedef int (*WinMain)(void* instance, void* previous, const char16_t* commandLine, int show);
    WinMain entry = reinterpret_cast<WinMain>(setup.entry);
    auto run = [&](const std::u16string& line) {
        return entry(setup.base, nullptr, line.c_str(), 1);
    };

    // A device with touch.dll, and the installer's folder on a card. The
    // privileged store holds the test root, under a name of its own: it is
    // found by its subject, as the issuer of the certificate that signed.
    const std::string penwick = ReadFileBytes((variants + "/sha1/Penwick.dll").c_str());
    g_registry[kTouch]["DRIVERNAME"] = {1, Utf16("touch.dll")};
    g_registry["IDENT"]["NAME"] = {1, Utf16("Pocket_PC")};
    g_files["\\WINDOWS\\TOUCH.DLL"] = "the device's own touch driver";
    const std::string root = ReadFileBytes(argv[4]);
    std::vector<uint8_t> blob = {32, 0, 0, 0, 1, 0, 0, 0, uint8_t(root.size()),
                                 uint8_t(root.size() >> 8), 0, 0};
    blob.insert(blob.end(), root.begin(), root.end());
    g_registry["COMM\\SECURITY\\SYSTEMCERTIFICATES\\PRIVILEGED EXECUTION TRUST AUTHORITIES\\"
               "CERTIFICATES"];
    g_registry["COMM\\SECURITY\\SYSTEMCERTIFICATES\\PRIVILEGED EXECUTION TRUST AUTHORITIES\\"
               "CERTIFICATES\\PENWICK TEST ROOT"]["BLOB"] = {3, blob};

    // A Penwick.dll the device would not load at boot: refused, nothing
    // changed.
    for (const char* kind : {"unsigned", "sha256", "tampered"}) {
        g_files["\\STORAGE CARD\\PENWICK\\PENWICK.DLL"] =
            ReadFileBytes((variants + "/" + kind + "/Penwick.dll").c_str());
        auto registry = g_registry;
        auto files = g_files;
        Expect(run(u"install /quiet") == 1, std::string("install of a ") + kind + " Penwick.dll fails");
        auto after = g_files;
        after.erase("\\WINDOWS\\PENWICKSETUP.LOG");
        files.erase("\\WINDOWS\\PENWICKSETUP.LOG");
        Expect(g_registry == registry && after == files,
               std::string("the refused install of a ") + kind + " Penwick.dll changes nothing");
    }
    const std::string& refusals = g_files["\\WINDOWS\\PENWICKSETUP.LOG"];
    for (const char* why : {"Penwick.dll: it is not signed", "Penwick.dll: it is signed with a digest other",
                            "Penwick.dll: it was changed after it was signed"}) {
        Expect(refusals.find(why) != std::string::npos,
               std::string("the log says \"") + why + "\":\n" + refusals);
    }
    g_files["\\STORAGE CARD\\PENWICK\\PENWICK.DLL"] = penwick;
    g_files["\\STORAGE CARD\\PENWICK\\MISSING.REG"] =
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n\"LowSpeed\"="
        "dword:3\r\n";

    // Settings the check rejects: everything is put back, the log aside.
    auto registryBefore = g_registry;
    auto filesBefore = g_files;
    Expect(run(u"install missing.reg /quiet") == 1,
           "install with settings the check rejects fails");
    auto filesAfter = g_files;
    filesAfter.erase("\\WINDOWS\\PENWICKSETUP.LOG");
    filesBefore.erase("\\WINDOWS\\PENWICKSETUP.LOG");
    Expect(g_registry == registryBefore && filesAfter == filesBefore,
           "the rejected install leaves the registry and files as they were");
    Expect(g_files["\\WINDOWS\\PENWICKSETUP.LOG"].find(
               "outcome: Nothing was changed: with these settings, MinDirSpeed is missing: "
               "filtering is off.\n") != std::string::npos,
           "the log says why:\n" + g_files["\\WINDOWS\\PENWICKSETUP.LOG"]);

    // The recommended settings built into the program.
    const std::string installed = std::string("Penwick-") + kPenwickVersion + ".dll";
    Expect(run(u"install /quiet") == 0, "install succeeds");
    Expect(g_registry[kTouch]["DRIVERNAME"].data == Utf16(installed),
           "DriverName names " + installed);
    auto written = g_registry[kPenwick];
    Expect(written["ORIGDRIVERNAME"].data == Utf16("touch.dll"), "OrigDriverName names touch.dll");
    written.erase("ORIGDRIVERNAME");
    Expect(written == DwordsOf(ReadFileBytes(argv[3])), "the settings are those of install.reg");
    Expect(g_files["\\WINDOWS\\" + Upper(installed)] == penwick, installed + " is in \\Windows");

    // Status, in a message box: the program's own decimal numbers, and a
    // value nothing reads.
    g_registry[kPenwick]["MYSTERY"] = {4, {1, 0, 0, 0}};
    const std::string& installLog = g_files["\\WINDOWS\\PENWICKSETUP.LOG"];
    size_t digestAt = installLog.rfind("SHA-1 digest ");
    std::string digest = digestAt == std::string::npos ? "" : installLog.substr(digestAt + 13, 40);
    Expect(run(u"status") == 0 && g_boxes.size() == 1, "status shows one message box");
    std::string status =
        "Penwick 65600: Penwick is installed: DriverName names " + installed + ".\n"
        "It forwards to touch.dll (\\Windows\\touch.dll).\n"
        "\\Windows\\" + installed + ": version " + kPenwickVersion + ", " +
        std::to_string(penwick.size()) +
        " bytes.\n" +
        installed + " is signed (SHA-1 digest " + digest + ") by CN=Penwick test developer, "
        "OU=Testing, O=Penwick, C=GB, whose issuer CN=Penwick test privileged root, O=Penwick, "
        "C=GB the device's privileged store holds.\n"
        "At the next boot Penwick filters (the check finds no error, 0 warnings).\n"
        "Capture is off.\n"
        "Penwick does not read these values of its key: MYSTERY.";
    Expect(!g_boxes.empty() && g_boxes[0] == status,
           "status says:\n" + (g_boxes.empty() ? "" : g_boxes[0]) + "\nnot:\n" + status);

    Expect(run(u"uninstall --purge /quiet") == 0, "uninstall succeeds");
    Expect(g_registry[kTouch]["DRIVERNAME"].data == Utf16("touch.dll") &&
               g_registry.count(kPenwick) == 0,
           "uninstall --purge gives back touch.dll and deletes Penwick's key");

    // A touch driver that runs in place from ROM, as many devices have it.
    g_files.erase("\\WINDOWS\\TOUCH.DLL");
    g_romModules.insert("\\WINDOWS\\TOUCH.DLL");
    Expect(run(u"install /quiet") == 0 && g_registry[kTouch]["DRIVERNAME"].data == Utf16(installed),
           "install in front of a touch driver in ROM succeeds");
    Expect(run(u"uninstall /quiet") == 0 &&
               g_registry[kTouch]["DRIVERNAME"].data == Utf16("touch.dll"),
           "uninstall gives back the touch driver in ROM");

    // The CAB: the system's installer has put its files in \Program Files\Penwick
    // and calls its setup DLL, without a window (a silent install).
    std::string cabImage = ReadFileBytes(argv[5]);
    std::vector<uint8_t> cabFile(cabImage.begin(), cabImage.end());
    Module cab;
    if (cabFile.size() < 0x40 || !Load(cabFile, kCoredll, &cab)) {
        fprintf(stderr, "%s: cannot load\n", argv[5]);
        return 1;
    }
    typedef int (*DllMain)(void*, uint32_t, void*);
    // The five counts are WORDs in 32-bit slots whose upper halves the
    // caller need not clear.
    typedef int (*InstallExit)(void*, const char16_t*, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t);
    typedef int (*UninstallInit)(void*, const char16_t*);
    typedef int (*UninstallExit)(void*);
    Expect(reinterpret_cast<DllMain>(cab.entry)(cab.base, 1, nullptr) == 1, "DllMain attaches");
    Expect(cab.exports.size() == 4 && cab.exports.count("Install_Init") == 1,
           "the setup DLL exports its four functions");
    g_files["\\PROGRAM FILES\\PENWICK\\PENWICK.DLL"] = penwick;
    const char16_t* folder = u"\\Program Files\\Penwick";
    auto installExit = reinterpret_cast<InstallExit>(cab.exports["Install_Exit"]);
    Expect(installExit(nullptr, folder, 0xFFFF0000, 0x10000, 0, 0, 0xABCD0000) == 0 &&
               g_registry[kTouch]["DRIVERNAME"].data == Utf16(installed),
           "the CAB's setup installs Penwick from its folder");
    const std::string shortcut = "\\WINDOWS\\START MENU\\PROGRAMS\\PENWICK STATUS.LNK";
    Expect(g_files[shortcut] == "48#\"\\Program Files\\Penwick\\PenwickSetup.exe\" status",
           "the status shortcut says: " + g_files[shortcut]);
    // Files the installer could not put there: the last of the five counts
    // comes on the stack.
    auto registryInstalled = g_registry;
    Expect(installExit(nullptr, folder, 0, 0, 0, 0, 1) == 1 && g_registry == registryInstalled,
           "a CAB installed incompletely is rolled back, the registry as it was");
    Expect(reinterpret_cast<UninstallInit>(cab.exports["Uninstall_Init"])(nullptr, folder) == 0 &&
               g_registry[kTouch]["DRIVERNAME"].data == Utf16("touch.dll") &&
               g_files.count(shortcut) == 0,
           "Remove Programs uninstalls and the shortcuts go");
    Expect(reinterpret_cast<UninstallExit>(cab.exports["Uninstall_Exit"])(nullptr) == 0,
           "Uninstall_Exit is done");
    Expect(g_boxes.size() == 1, "the silent setup shows no message box");

    const std::string& log = g_files["\\WINDOWS\\PENWICKSETUP.LOG"];
    const std::string device =
        "device \"Pocket_PC\", OEM \"ARM926 test\", platform PocketPC, Windows CE 5.1.1702\n";
    Expect(log.find("PenwickSetup " + std::string(kPenwickVersion) +
                    ", 2026-12-09 10:30:05: \"install /quiet\"\n" + device + "install\n") !=
               std::string::npos,
           "the log dates each run and says which device:\n" + log.substr(0, 200));
    for (const std::string& key : g_openKeys) {
        Expect(key.empty(), "key " + key + " is closed");
    }
    for (const OpenFile& open : g_openFiles) {
        Expect(!open.open, "file " + open.path + " is closed");
    }
    for (const std::string& misuse : g_misuse) {
        Expect(false, "the device would refuse: " + misuse);
    }
    if (g_failures == 0) {
        printf(
            "%s ran on an ARMv5TE: a refused install put back, install, status and uninstall, "
            "both in front of a driver in ROM, and the CAB's setup DLL, as expected\n",
            argv[1]);
    }
    return g_failures == 0 ? 0 : 1;
}

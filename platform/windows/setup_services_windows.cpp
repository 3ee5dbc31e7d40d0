// The installer's seam on desktop Windows (and Wine), where the installer is
// tested under a real registry and file system. The device's own is in
// platform/device/setup_services_device.cpp; the two differ where marked
// below. The program's entry point is in entry/penwick_setup_windows.cpp.
#include <windows.h>

#include "platform/setup_services.h"

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

const REGSAM kKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

// The last error, never 0 after a failure.
int32_t LastError(void) {
    DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : kSetupErrorAccessDenied;
}

HANDLE OpenForReading(const char16_t* path) {
    return CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void CopyText(const wchar_t* from, char16_t* to, uint32_t units) {
    uint32_t i = 0;
    for (; from[i] != 0 && i + 1 < units; i++) {
        to[i] = static_cast<char16_t>(from[i]);
    }
    to[i] = 0;
}

}  // namespace

int32_t SetupOpenKey(const char16_t* subKey, SystemKey* key) {
    // The device opens with access 0; the desktop needs the access named.
    HKEY opened;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(subKey), 0, kKeyAccess, &opened);
    if (result == ERROR_SUCCESS) {
        *key = opened;
    }
    return result;
}

int32_t SetupCreateKey(const char16_t* subKey, SystemKey* key) {
    // HKLM\HARDWARE is rebuilt at every start of desktop Windows (and of
    // Wine's server), and a key below it can only be volatile: such a key is
    // made volatile, every other one is kept. The device knows no such thing.
    HKEY created;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(subKey), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr, &created, nullptr);
    if (result == ERROR_CHILD_MUST_BE_VOLATILE) {
        result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(subKey), 0, nullptr, REG_OPTION_VOLATILE,
                                 kKeyAccess, nullptr, &created, nullptr);
    }
    if (result == ERROR_SUCCESS) {
        *key = created;
    }
    return result;
}

int32_t SetupQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* size) {
    DWORD valueType = 0;
    DWORD length = *size;
    LONG result = RegQueryValueExW(static_cast<HKEY>(key), Wide(name), nullptr, &valueType,
                                   static_cast<BYTE*>(data), &length);
    *type = valueType;
    *size = length;
    return result;
}

bool SetupPlatformChecksTrust(char16_t* platform, uint32_t units) {
    CopyText(L"desktop Windows, as a Windows Mobile device", platform, units);
    return true;
}

int32_t SetupValueName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    DWORD length = units;
    return RegEnumValueW(static_cast<HKEY>(key), index, reinterpret_cast<wchar_t*>(name), &length,
                         nullptr, nullptr, nullptr, nullptr);
}

int32_t SetupSubkeyName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    DWORD length = units;
    return RegEnumKeyExW(static_cast<HKEY>(key), index, reinterpret_cast<wchar_t*>(name), &length,
                         nullptr, nullptr, nullptr, nullptr);
}

int32_t SetupSetValue(SystemKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t size) {
    return RegSetValueExW(static_cast<HKEY>(key), Wide(name), 0, type,
                          static_cast<const BYTE*>(data), size);
}

int32_t SetupDeleteValue(SystemKey key, const char16_t* name) {
    return RegDeleteValueW(static_cast<HKEY>(key), Wide(name));
}

int32_t SetupFlushKey(SystemKey key) { return RegFlushKey(static_cast<HKEY>(key)); }

void SetupCloseKey(SystemKey key) { RegCloseKey(static_cast<HKEY>(key)); }

int32_t SetupDeleteKey(const char16_t* subKey) {
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide(subKey));
}

int32_t SetupFileSize(const char16_t* path, uint32_t* size) {
    DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastError();
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return kSetupErrorNotFound;
    }
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    *size = GetFileSize(file, nullptr);
    CloseHandle(file);
    return 0;
}

// The desktop has no modules in ROM (and there the attribute bit means
// something else).
bool SetupIsRomModule(const char16_t*) { return false; }

int32_t SetupCopyFile(const char16_t* from, const char16_t* to) {
    return CopyFileW(Wide(from), Wide(to), TRUE) ? 0 : LastError();
}

int32_t SetupDeleteFile(const char16_t* path) { return DeleteFileW(Wide(path)) ? 0 : LastError(); }

int32_t SetupFileInFolder(const char16_t* folder, const char16_t* prefix, uint32_t index,
                          char16_t* name, uint32_t units) {
    wchar_t pattern[MAX_PATH];
    uint32_t length = 0;
    const char16_t* const parts[] = {folder, u"\\", prefix, u"*"};
    for (const char16_t* part : parts) {
        for (; *part != 0; part++) {
            if (length + 1 == MAX_PATH) {
                return kSetupErrorNoMoreItems;
            }
            pattern[length++] = *part;
        }
    }
    pattern[length] = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) {
        return kSetupErrorNoMoreItems;
    }
    int32_t result = kSetupErrorNoMoreItems;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && index-- == 0) {
            uint32_t i = 0;
            for (; i < units && found.cFileName[i] != 0; i++) {
                name[i] = static_cast<char16_t>(found.cFileName[i]);
            }
            result = i < units ? 0 : kSetupErrorMoreData;
            name[i < units ? i : 0] = 0;
            break;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return result;
}

int32_t SetupOpenFile(const char16_t* path, bool append, SystemFile* file) {
    HANDLE opened = append ? CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                           : OpenForReading(path);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    if (append && SetFilePointer(opened, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        int32_t error = LastError();
        CloseHandle(opened);
        return error;
    }
    *file = opened;
    return 0;
}

int32_t SetupReadFromFile(SystemFile file, void* data, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    bool good = ReadFile(static_cast<HANDLE>(file), data, size, &read, nullptr);
    *got = read;
    return good ? 0 : LastError();
}

int32_t SetupWriteToFile(SystemFile file, const void* data, uint32_t size) {
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(file), data, size, &written, nullptr) && written == size &&
                   FlushFileBuffers(static_cast<HANDLE>(file))
               ? 0
               : LastError();
}

void SetupCloseFile(SystemFile file) { CloseHandle(static_cast<HANDLE>(file)); }

void SetupProgramFolder(char16_t* folder, uint32_t units) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[length < MAX_PATH ? length : 0] = 0;
    while (length > 0 && path[length - 1] != L'\\') {
        length--;
    }
    path[length > 0 ? length - 1 : 0] = 0;
    CopyText(path, folder, units);
}

void SetupSystemFolder(char16_t* folder, uint32_t units) {
    // The device's is \Windows; the desktop's is where Windows is installed.
    wchar_t path[MAX_PATH];
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    path[length < MAX_PATH ? length : 0] = 0;
    CopyText(path, folder, units);
}

void SetupLocalTime(SystemDateTime* time) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    *time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

namespace {
HANDLE g_singleRun;
}

bool SetupClaimSingleRun(void) {
    // Whether the mutex was there is told only by the last error.
    SetLastError(0);
    g_singleRun = CreateMutexW(nullptr, FALSE, L"PenwickSetup");
    if (g_singleRun != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(g_singleRun);
        g_singleRun = nullptr;
        return false;
    }
    return true;
}

void SetupReleaseSingleRun(void) {
    if (g_singleRun != nullptr) {
        CloseHandle(g_singleRun);
        g_singleRun = nullptr;
    }
}

SetupAnswer SetupAsk(const char16_t* question, bool cancel) {
    int answer =
        MessageBoxW(nullptr, Wide(question), L"Penwick",
                    (cancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION | MB_SETFOREGROUND);
    return answer == IDYES ? SetupAnswerYes : answer == IDNO ? SetupAnswerNo : SetupAnswerCancel;
}

void SetupShow(const char16_t* message, bool failed) {
    MessageBoxW(nullptr, Wide(message), L"Penwick",
                MB_OK | (failed ? MB_ICONERROR : MB_ICONINFORMATION) | MB_SETFOREGROUND);
}

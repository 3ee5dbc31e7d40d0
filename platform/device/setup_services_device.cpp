// The installer's seam on the device: Windows CE 5 and Windows Mobile 5.0,
// where every service is a function of coredll.dll, called through its
// import address slot as the driver's system services are (see
// coredll.h beside this file). coredll_setup.def lists the installer's
// slots and nothing else. The program's entry point is in
// entry/penwick_setup_device.cpp.
#include "platform/setup_services.h"

#include "platform/ascii.h"

#include "platform/device/coredll.h"

namespace {

const DWORD kGenericRead = 0x80000000;
const DWORD kFileShareWrite = 0x00000002;
const DWORD kOpenExisting = 3;
const DWORD kFileAttributeDirectory = 0x00000010;
const DWORD kFileAttributeRomModule = 0x00002000;  // runs in place from ROM
const DWORD kInvalidFileAttributes = 0xFFFFFFFF;
const unsigned kMbOk = 0x0, kMbYesNoCancel = 0x3, kMbYesNo = 0x4;
const unsigned kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconInformation = 0x40;
const unsigned kMbSetForeground = 0x10000;
const int kIdYes = 6, kIdNo = 7;
const DWORD kErrorAlreadyExists = 183;

// WIN32_FIND_DATA as Windows CE lays it out: an object id, and no short name.
struct FindData {
    DWORD attributes;
    DWORD times[6];
    DWORD sizeHigh;
    DWORD sizeLow;
    DWORD objectId;
    char16_t name[260];
};

HANDLE g_singleRun;

}  // namespace

extern "C" {
extern LONG (*const coredllRegCreateKeyExW)(HKEY key, LPCWSTR subKey, DWORD reserved,
                                            char16_t* keyClass, DWORD options, DWORD access,
                                            void* security, HKEY* result,
                                            DWORD* disposition) __asm__("__imp_RegCreateKeyExW");
extern LONG (*const coredllRegSetValueExW)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                           const unsigned char* data,
                                           DWORD size) __asm__("__imp_RegSetValueExW");
extern LONG (*const coredllRegDeleteValueW)(HKEY key,
                                            LPCWSTR name) __asm__("__imp_RegDeleteValueW");
extern LONG (*const coredllRegDeleteKeyW)(HKEY key, LPCWSTR subKey) __asm__("__imp_RegDeleteKeyW");
extern LONG (*const coredllRegFlushKey)(HKEY key) __asm__("__imp_RegFlushKey");
extern LONG (*const coredllRegEnumValueW)(HKEY key, DWORD index, char16_t* name, DWORD* units,
                                          DWORD* reserved, DWORD* type, unsigned char* data,
                                          DWORD* size) __asm__("__imp_RegEnumValueW");
extern LONG (*const coredllRegEnumKeyExW)(HKEY key, DWORD index, char16_t* name, DWORD* units,
                                          DWORD* reserved, char16_t* keyClass, DWORD* classUnits,
                                          void* lastWritten) __asm__("__imp_RegEnumKeyExW");
extern BOOL (*const coredllReadFile)(HANDLE file, void* data, DWORD size, DWORD* read,
                                     void* overlapped) __asm__("__imp_ReadFile");
extern DWORD (*const coredllGetFileSize)(HANDLE file, DWORD* high) __asm__("__imp_GetFileSize");
extern DWORD (*const coredllGetFileAttributesW)(LPCWSTR name) __asm__("__imp_GetFileAttributesW");
extern BOOL (*const coredllCopyFileW)(LPCWSTR from, LPCWSTR to,
                                      BOOL failIfExists) __asm__("__imp_CopyFileW");
extern BOOL (*const coredllDeleteFileW)(LPCWSTR name) __asm__("__imp_DeleteFileW");
extern DWORD (*const coredllGetLastError)(void) __asm__("__imp_GetLastError");
extern DWORD (*const coredllGetModuleFileNameW)(HANDLE module, char16_t* name,
                                                DWORD units) __asm__("__imp_GetModuleFileNameW");
extern HANDLE (*const coredllFindFirstFileW)(LPCWSTR pattern,
                                             FindData* found) __asm__("__imp_FindFirstFileW");
extern BOOL (*const coredllFindNextFileW)(HANDLE find, FindData* found) __asm__("__imp_FindNextFileW");
extern BOOL (*const coredllFindClose)(HANDLE find) __asm__("__imp_FindClose");
extern HANDLE (*const coredllCreateMutexW)(void* security, BOOL owned,
                                           LPCWSTR name) __asm__("__imp_CreateMutexW");
extern void (*const coredllSetLastError)(DWORD error) __asm__("__imp_SetLastError");
extern int (*const coredllMessageBoxW)(HANDLE window, LPCWSTR text, LPCWSTR caption,
                                       unsigned type) __asm__("__imp_MessageBoxW");
}

namespace {

// The last error, never 0 after a failure.
int32_t LastError(void) {
    DWORD error = coredllGetLastError();
    return error != 0 ? static_cast<int32_t>(error) : kSetupErrorAccessDenied;
}

HANDLE OpenForReading(const char16_t* path) {
    return coredllCreateFileW(path, kGenericRead, kFileShareRead | kFileShareWrite, nullptr,
                              kOpenExisting, kFileAttributeNormal, nullptr);
}

}  // namespace

int32_t SetupOpenKey(const char16_t* subKey, SystemKey* key) {
    // Windows CE requires both the options and the access to be 0; the key
    // can be written all the same.
    HKEY opened;
    LONG result = coredllRegOpenKeyExW(kHkeyLocalMachine, subKey, 0, 0, &opened);
    if (result == 0) {
        *key = opened;
    }
    return result;
}

int32_t SetupCreateKey(const char16_t* subKey, SystemKey* key) {
    // Options and access 0: Windows CE's registry has no volatile keys.
    HKEY created;
    DWORD disposition = 0;
    LONG result = coredllRegCreateKeyExW(kHkeyLocalMachine, subKey, 0, nullptr, 0, 0, nullptr,
                                         &created, &disposition);
    if (result == 0) {
        *key = created;
    }
    return result;
}

int32_t SetupQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* size) {
    return coredllRegQueryValueExW(key, name, nullptr, type, static_cast<unsigned char*>(data),
                                   size);
}

int32_t SetupSetValue(SystemKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t size) {
    return coredllRegSetValueExW(key, name, 0, type, static_cast<const unsigned char*>(data), size);
}

int32_t SetupDeleteValue(SystemKey key, const char16_t* name) {
    return coredllRegDeleteValueW(key, name);
}

bool SetupPlatformChecksTrust(char16_t* platform, uint32_t units) {
    // The size is given in units, which is also no more than its bytes.
    platform[0] = 0;
    if (units < 2 || !coredllSystemParametersInfoW(kSpiGetPlatformType, units, platform, 0)) {
        platform[0] = 0;
        return true;
    }
    platform[units - 1] = 0;
    return platform[0] == 0 || AsciiSameText(platform, "PocketPC") ||
           AsciiSameText(platform, "SmartPhone");
}

int32_t SetupValueName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    DWORD length = units;
    return coredllRegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

int32_t SetupSubkeyName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    DWORD length = units;
    return coredllRegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

int32_t SetupFlushKey(SystemKey key) { return coredllRegFlushKey(key); }

void SetupCloseKey(SystemKey key) { coredllRegCloseKey(key); }

int32_t SetupDeleteKey(const char16_t* subKey) {
    return coredllRegDeleteKeyW(kHkeyLocalMachine, subKey);
}

int32_t SetupFileSize(const char16_t* path, uint32_t* size) {
    DWORD attributes = coredllGetFileAttributesW(path);
    if (attributes == kInvalidFileAttributes) {
        return LastError();
    }
    if (attributes & kFileAttributeDirectory) {
        return kSetupErrorNotFound;
    }
    HANDLE file = OpenForReading(path);
    if (file == kInvalidHandleValue) {
        return LastError();
    }
    *size = coredllGetFileSize(file, nullptr);
    coredllCloseHandle(file);
    return 0;
}

bool SetupIsRomModule(const char16_t* path) {
    DWORD attributes = coredllGetFileAttributesW(path);
    return attributes != kInvalidFileAttributes && (attributes & kFileAttributeRomModule) != 0;
}

int32_t SetupCopyFile(const char16_t* from, const char16_t* to) {
    return coredllCopyFileW(from, to, 1) ? 0 : LastError();
}

int32_t SetupDeleteFile(const char16_t* path) { return coredllDeleteFileW(path) ? 0 : LastError(); }

int32_t SetupFileInFolder(const char16_t* folder, const char16_t* prefix, uint32_t index,
                          char16_t* name, uint32_t units) {
    char16_t pattern[260];
    uint32_t length = 0;
    const char16_t* const parts[] = {folder, u"\\", prefix, u"*"};
    for (const char16_t* part : parts) {
        for (; *part != 0; part++) {
            if (length + 1 == sizeof pattern / sizeof pattern[0]) {
                return kSetupErrorNoMoreItems;
            }
            pattern[length++] = *part;
        }
    }
    pattern[length] = 0;
    FindData found;
    HANDLE find = coredllFindFirstFileW(pattern, &found);
    if (find == kInvalidHandleValue) {
        return kSetupErrorNoMoreItems;
    }
    int32_t result = kSetupErrorNoMoreItems;
    do {
        if ((found.attributes & kFileAttributeDirectory) == 0 && index-- == 0) {
            uint32_t i = 0;
            for (; i < units && found.name[i] != 0; i++) {
                name[i] = found.name[i];
            }
            result = i < units ? 0 : kSetupErrorMoreData;
            name[i < units ? i : 0] = 0;
            break;
        }
    } while (coredllFindNextFileW(find, &found));
    coredllFindClose(find);
    return result;
}

int32_t SetupOpenFile(const char16_t* path, bool append, SystemFile* file) {
    HANDLE opened = append ? coredllCreateFileW(path, kGenericWrite, kFileShareRead, nullptr,
                                                kOpenAlways, kFileAttributeNormal, nullptr)
                           : OpenForReading(path);
    if (opened == kInvalidHandleValue) {
        return LastError();
    }
    if (append && coredllSetFilePointer(opened, 0, nullptr, kFileEnd) == kInvalidSetFilePointer) {
        int32_t error = LastError();
        coredllCloseHandle(opened);
        return error;
    }
    *file = opened;
    return 0;
}

int32_t SetupReadFromFile(SystemFile file, void* data, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    bool good = coredllReadFile(file, data, size, &read, nullptr);
    *got = read;
    return good ? 0 : LastError();
}

int32_t SetupWriteToFile(SystemFile file, const void* data, uint32_t size) {
    DWORD written = 0;
    return coredllWriteFile(file, data, size, &written, nullptr) && written == size &&
                   coredllFlushFileBuffers(file)
               ? 0
               : LastError();
}

void SetupCloseFile(SystemFile file) { coredllCloseHandle(file); }

void SetupProgramFolder(char16_t* folder, uint32_t units) {
    // The program's own file, less its name.
    DWORD length = coredllGetModuleFileNameW(nullptr, folder, units);
    folder[length < units ? length : 0] = 0;
    while (length > 0 && folder[length - 1] != u'\\') {
        length--;
    }
    folder[length > 0 ? length - 1 : 0] = 0;
}

void SetupSystemFolder(char16_t* folder, uint32_t units) {
    const char16_t windows[] = u"\\Windows";
    uint32_t i = 0;
    for (; windows[i] != 0 && i + 1 < units; i++) {
        folder[i] = windows[i];
    }
    folder[i] = 0;
}

void SetupLocalTime(SystemDateTime* time) {
    SYSTEMTIME now;
    coredllGetLocalTime(&now);
    *time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

bool SetupClaimSingleRun(void) {
    // Whether the mutex was there is told only by the last error.
    coredllSetLastError(0);
    g_singleRun = coredllCreateMutexW(nullptr, 0, u"PenwickSetup");
    if (g_singleRun != nullptr && coredllGetLastError() == kErrorAlreadyExists) {
        coredllCloseHandle(g_singleRun);
        g_singleRun = nullptr;
        return false;
    }
    return true;
}

void SetupReleaseSingleRun(void) {
    if (g_singleRun != nullptr) {
        coredllCloseHandle(g_singleRun);
        g_singleRun = nullptr;
    }
}

SetupAnswer SetupAsk(const char16_t* question, bool cancel) {
    int answer = coredllMessageBoxW(
        nullptr, question, u"Penwick",
        (cancel ? kMbYesNoCancel : kMbYesNo) | kMbIconQuestion | kMbSetForeground);
    return answer == kIdYes ? SetupAnswerYes : answer == kIdNo ? SetupAnswerNo : SetupAnswerCancel;
}

void SetupShow(const char16_t* message, bool failed) {
    coredllMessageBoxW(nullptr, message, u"Penwick",
                       kMbOk | (failed ? kMbIconError : kMbIconInformation) | kMbSetForeground);
}

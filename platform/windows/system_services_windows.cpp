// The system services on desktop Windows (and Wine), where the driver is
// tested under a real loader and registry. The device's own are in
// platform/device/system_services_device.cpp; the two differ where marked
// below. The library's entry point is in entry/penwick_dll_windows.cpp, the
// run-time functions the filter takes from the system in
// windows_runtime.cpp.
#include <windows.h>

#include "platform/system_services.h"

// UTF-16 names are handed to the wide-character interface as they are.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

int32_t SystemScreenWidth(void) { return GetSystemMetrics(SM_CXSCREEN); }

int32_t SystemScreenHeight(void) { return GetSystemMetrics(SM_CYSCREEN); }

int32_t SystemOpenRegistryKey(const char16_t* subKey, SystemKey* key) {
    // The device opens with access 0; here every query would then be refused.
    const REGSAM access = KEY_QUERY_VALUE;
    HKEY opened;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(subKey), 0, access, &opened);
    if (result == ERROR_SUCCESS) {
        *key = opened;
    }
    return result;
}

int32_t SystemQueryRegistryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                                 uint32_t* size) {
    DWORD valueType = *type;
    DWORD length = *size;
    LONG result = RegQueryValueExW(static_cast<HKEY>(key), Wide(name), nullptr, &valueType,
                                   static_cast<BYTE*>(data), &length);
    *type = valueType;
    *size = length;
    return result;
}

void SystemCloseRegistryKey(SystemKey key) { RegCloseKey(static_cast<HKEY>(key)); }

SystemModule SystemLoadLibrary(const char16_t* fileName) { return LoadLibraryW(Wide(fileName)); }

SystemProc SystemResolveEntryPoint(SystemModule module, const char16_t* name) {
    // The desktop looks entry points up by narrow name (the device by UTF-16
    // name); the touch driver interface's names are ASCII and short.
    char narrow[64];
    int i = 0;
    for (; name[i] != 0 && i < static_cast<int>(sizeof narrow) - 1; i++) {
        narrow[i] = static_cast<char>(name[i]);
    }
    narrow[i] = 0;
    FARPROC entry = GetProcAddress(static_cast<HMODULE>(module), narrow);
    return reinterpret_cast<SystemProc>(entry);
}

void SystemReleaseLibrary(SystemModule module) { FreeLibrary(static_cast<HMODULE>(module)); }

void SystemStopThreadNotifications(SystemModule self) {
    DisableThreadLibraryCalls(static_cast<HMODULE>(self));
}

SystemFile SystemOpenFileForAppend(const char16_t* path, uint32_t* size) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
    if (end == INVALID_SET_FILE_POINTER) {
        CloseHandle(file);
        return nullptr;
    }
    *size = end;
    return file;
}

int32_t SystemWriteFile(SystemFile file, const void* data, uint32_t size) {
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(file), data, size, &written, nullptr) && written == size;
}

int32_t SystemFlushFile(SystemFile file) { return FlushFileBuffers(static_cast<HANDLE>(file)); }

void SystemCloseFile(SystemFile file) { CloseHandle(static_cast<HANDLE>(file)); }

namespace {

// The thread's work: the system calls its start with the platform's calling
// convention, which on the desktop's x86 is not the seam's. One thread at a
// time is started.
SystemThreadProc g_threadProc;
void* g_threadArgument;
volatile LONG g_threadRunning;

DWORD WINAPI ThreadStart(LPVOID) {
    g_threadRunning = 1;
    return g_threadProc(g_threadArgument);
}

}  // namespace

SystemThread SystemStartThread(SystemThreadProc proc, void* argument) {
    g_threadProc = proc;
    g_threadArgument = argument;
    g_threadRunning = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadStart, nullptr, 0, nullptr);
    if (thread != nullptr) {
        // At normal priority until it runs, so that it starts at once.
        for (int waited = 0; !g_threadRunning && waited < kThreadStartSleeps; waited++) {
            Sleep(1);
        }
        SetThreadPriority(thread, THREAD_PRIORITY_IDLE);
    }
    return thread;
}

void SystemRaiseThreadPriority(SystemThread thread) {
    SetThreadPriority(static_cast<HANDLE>(thread), THREAD_PRIORITY_NORMAL);
}

int32_t SystemWaitForThread(SystemThread thread, uint32_t milliseconds) {
    return WaitForSingleObject(static_cast<HANDLE>(thread), milliseconds) == WAIT_OBJECT_0;
}

void SystemCloseThread(SystemThread thread) { CloseHandle(static_cast<HANDLE>(thread)); }

void SystemSleep(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t SystemTickCount(void) { return GetTickCount(); }

int32_t SystemBootTime(SystemDateTime* time) {
    // The clock now, less the time since the device started, in the file
    // system's 100-nanosecond units.
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    if (!SystemTimeToFileTime(&now, &file)) {
        return 0;
    }
    uint64_t units = (static_cast<uint64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime) -
                     static_cast<uint64_t>(GetTickCount()) * 10000;
    file.dwLowDateTime = static_cast<DWORD>(units);
    file.dwHighDateTime = static_cast<DWORD>(units >> 32);
    SYSTEMTIME boot;
    if (!FileTimeToSystemTime(&file, &boot)) {
        return 0;
    }
    *time = {boot.wYear, boot.wMonth, boot.wDay, boot.wHour, boot.wMinute, boot.wSecond};
    return 1;
}

// The system services on the device: Windows CE 5 and Windows Mobile 5.0,
// where every one of them is a function of coredll.dll, called through its
// import address slot (see coredll.h beside this file). coredll.def lists
// the driver's slots and nothing else. The library's entry point is in
// entry/penwick_dll_device.cpp.
#include "platform/system_services.h"

#include "platform/device/coredll.h"

namespace {

typedef HANDLE HMODULE;
typedef void (*FARPROC)(void);

struct FILETIME {
    DWORD dwLowDateTime, dwHighDateTime;
};
typedef DWORD (*LPTHREAD_START_ROUTINE)(void* argument);

const int kThreadPriorityNormal = 3;
const int kThreadPriorityIdle = 7;  // Windows CE's lowest of its eight levels
const DWORD kWaitObject0 = 0;
const int kSmCxScreen = 0;
const int kSmCyScreen = 1;

}  // namespace

extern "C" {
extern int (*const coredllGetSystemMetrics)(int index) __asm__("__imp_GetSystemMetrics");
extern HMODULE (*const coredllLoadLibraryW)(LPCWSTR fileName) __asm__("__imp_LoadLibraryW");
extern FARPROC (*const coredllGetProcAddressW)(HMODULE module,
                                               LPCWSTR name) __asm__("__imp_GetProcAddressW");
extern BOOL (*const coredllFreeLibrary)(HMODULE module) __asm__("__imp_FreeLibrary");
extern BOOL (*const coredllDisableThreadLibraryCalls)(HMODULE module) __asm__(
    "__imp_DisableThreadLibraryCalls");
extern HANDLE (*const coredllCreateThread)(void* security, DWORD stackSize,
                                           LPTHREAD_START_ROUTINE start, void* argument,
                                           DWORD flags, DWORD* threadId) __asm__("__imp_CreateThread");
extern BOOL (*const coredllSetThreadPriority)(HANDLE thread,
                                              int priority) __asm__("__imp_SetThreadPriority");
extern DWORD (*const coredllWaitForSingleObject)(HANDLE handle,
                                                 DWORD milliseconds) __asm__("__imp_WaitForSingleObject");
extern void (*const coredllSleep)(DWORD milliseconds) __asm__("__imp_Sleep");
extern DWORD (*const coredllGetTickCount)(void) __asm__("__imp_GetTickCount");
extern BOOL (*const coredllSystemTimeToFileTime)(const SYSTEMTIME* time,
                                                 FILETIME* file) __asm__("__imp_SystemTimeToFileTime");
extern BOOL (*const coredllFileTimeToSystemTime)(const FILETIME* file,
                                                 SYSTEMTIME* time) __asm__("__imp_FileTimeToSystemTime");
}

int32_t SystemScreenWidth(void) { return coredllGetSystemMetrics(kSmCxScreen); }

int32_t SystemScreenHeight(void) { return coredllGetSystemMetrics(kSmCyScreen); }

int32_t SystemOpenRegistryKey(const char16_t* subKey, SystemKey* key) {
    // Windows CE requires both the options and the access to be 0.
    HKEY opened;
    LONG result = coredllRegOpenKeyExW(kHkeyLocalMachine, subKey, 0, 0, &opened);
    if (result == kErrorSuccess) {
        *key = opened;
    }
    return result;
}

int32_t SystemQueryRegistryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                                 uint32_t* size) {
    return coredllRegQueryValueExW(key, name, nullptr, type, static_cast<unsigned char*>(data),
                                   size);
}

void SystemCloseRegistryKey(SystemKey key) { coredllRegCloseKey(key); }

SystemModule SystemLoadLibrary(const char16_t* fileName) { return coredllLoadLibraryW(fileName); }

SystemProc SystemResolveEntryPoint(SystemModule module, const char16_t* name) {
    // Windows CE looks entry points up by UTF-16 name.
    return coredllGetProcAddressW(module, name);
}

void SystemReleaseLibrary(SystemModule module) { coredllFreeLibrary(module); }

void SystemStopThreadNotifications(SystemModule self) { coredllDisableThreadLibraryCalls(self); }

SystemFile SystemOpenFileForAppend(const char16_t* path, uint32_t* size) {
    HANDLE file = coredllCreateFileW(path, kGenericWrite, kFileShareRead, nullptr, kOpenAlways,
                                     kFileAttributeNormal, nullptr);
    if (file == kInvalidHandleValue) {
        return nullptr;
    }
    DWORD end = coredllSetFilePointer(file, 0, nullptr, kFileEnd);
    if (end == kInvalidSetFilePointer) {
        coredllCloseHandle(file);
        return nullptr;
    }
    *size = end;
    return file;
}

int32_t SystemWriteFile(SystemFile file, const void* data, uint32_t size) {
    DWORD written = 0;
    return coredllWriteFile(file, data, size, &written, nullptr) && written == size;
}

int32_t SystemFlushFile(SystemFile file) { return coredllFlushFileBuffers(file); }

void SystemCloseFile(SystemFile file) { coredllCloseHandle(file); }

namespace {

// One thread at a time is started.
SystemThreadProc g_threadProc;
void* g_threadArgument;
volatile bool g_threadRunning;

// A thread's start takes its argument and returns its exit code in
// registers, as the seam's does.
DWORD ThreadStart(void*) {
    g_threadRunning = true;
    return g_threadProc(g_threadArgument);
}

}  // namespace

SystemThread SystemStartThread(SystemThreadProc proc, void* argument) {
    g_threadProc = proc;
    g_threadArgument = argument;
    g_threadRunning = false;
    HANDLE thread = coredllCreateThread(nullptr, 0, ThreadStart, nullptr, 0, nullptr);
    if (thread != nullptr) {
        // At normal priority until it runs, so that it starts at once.
        for (int waited = 0; !g_threadRunning && waited < kThreadStartSleeps; waited++) {
            coredllSleep(1);
        }
        coredllSetThreadPriority(thread, kThreadPriorityIdle);
    }
    return thread;
}

void SystemRaiseThreadPriority(SystemThread thread) {
    coredllSetThreadPriority(thread, kThreadPriorityNormal);
}

int32_t SystemWaitForThread(SystemThread thread, uint32_t milliseconds) {
    return coredllWaitForSingleObject(thread, milliseconds) == kWaitObject0;
}

void SystemCloseThread(SystemThread thread) { coredllCloseHandle(thread); }

void SystemSleep(uint32_t milliseconds) { coredllSleep(milliseconds); }

uint32_t SystemTickCount(void) { return coredllGetTickCount(); }

int32_t SystemBootTime(SystemDateTime* time) {
    // The clock now, less the time since the device started, in the file
    // system's 100-nanosecond units.
    SYSTEMTIME now;
    coredllGetLocalTime(&now);
    FILETIME file;
    if (!coredllSystemTimeToFileTime(&now, &file)) {
        return 0;
    }
    uint64_t units = (static_cast<uint64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime) -
                     static_cast<uint64_t>(coredllGetTickCount()) * 10000;
    file.dwLowDateTime = static_cast<DWORD>(units);
    file.dwHighDateTime = static_cast<DWORD>(units >> 32);
    SYSTEMTIME boot;
    if (!coredllFileTimeToSystemTime(&file, &boot)) {
        return 0;
    }
    *time = {boot.wYear, boot.wMonth, boot.wDay, boot.wHour, boot.wMinute, boot.wSecond};
    return 1;
}

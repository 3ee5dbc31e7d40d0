// The system services on the device: Windows CE 5 and Windows Mobile 5.0,
// where every one of them is a function of coredll.dll.
//
// Each function is called through its import address slot, __imp_Name, which
// the loader fills with the function's address: the device compiler ignores
// dllimport on functions, and a direct call would need the linker's call
// thunk, whose Thumb-2 code an ARMv5TE cannot execute. platform/coredll.def
// lists these slots and nothing else, so a direct call fails to link.
//
// The prototypes are the documented ones (Windows CE 5.0 API reference);
// no Windows header is needed for them.
#include "platform/system_services.h"
// The one arrow that points up out of platform/: the loader enters the
// library here, and the library's frame is the proxy's.
#include "proxy/original_driver.h"

namespace {

typedef void* HANDLE;
typedef HANDLE HMODULE;
typedef HANDLE HKEY;
typedef int BOOL;
typedef long LONG;
typedef uint32_t DWORD;
typedef void (*FARPROC)(void);

// UTF-16 strings, as the device's wide-character interface takes them
// (wchar_t is 16 bits wide on Windows targets).
typedef const char16_t* LPCWSTR;

HKEY const kHkeyLocalMachine = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002));
const int kSmCxScreen = 0;
const int kSmCyScreen = 1;
const LONG kErrorSuccess = 0;

}  // namespace

extern "C" {
extern int (*const coredllGetSystemMetrics)(int index) __asm__("__imp_GetSystemMetrics");
extern LONG (*const coredllRegOpenKeyExW)(HKEY key, LPCWSTR subKey, DWORD options, DWORD access,
                                          HKEY* result) __asm__("__imp_RegOpenKeyExW");
extern LONG (*const coredllRegQueryValueExW)(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type,
                                             unsigned char* data,
                                             DWORD* size) __asm__("__imp_RegQueryValueExW");
extern LONG (*const coredllRegCloseKey)(HKEY key) __asm__("__imp_RegCloseKey");
extern HMODULE (*const coredllLoadLibraryW)(LPCWSTR fileName) __asm__("__imp_LoadLibraryW");
extern FARPROC (*const coredllGetProcAddressW)(HMODULE module,
                                               LPCWSTR name) __asm__("__imp_GetProcAddressW");
extern BOOL (*const coredllFreeLibrary)(HMODULE module) __asm__("__imp_FreeLibrary");
extern BOOL (*const coredllDisableThreadLibraryCalls)(HMODULE module) __asm__(
    "__imp_DisableThreadLibraryCalls");
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

// The library's entry point: the loader calls it with the module and a
// reason, and nothing runs before it (no C run-time start-up code).
extern "C" BOOL DllMain(HANDLE module, DWORD reason, void*) { return LibraryEntry(module, reason); }

// What the device's modules share of coredll.dll, Windows CE 5's system
// library: its types, the constants they pass, and the import address slots
// both the driver and the installer call through.
//
// Each function is called through its import address slot, __imp_Name, which
// the loader fills with the function's address: the device compiler ignores
// dllimport on functions, and a direct call would need the linker's call
// thunk, whose Thumb-2 code an ARMv5TE cannot execute. Each module's .def
// (platform/device/coredll.def, platform/device/coredll_setup.def) lists its slots and
// nothing else, so a direct call fails to link.
//
// The prototypes are the documented ones (Windows CE 5.0 API reference);
// no Windows header is needed for them. Only the device's own sources
// include this file.
#ifndef PENWICK_PLATFORM_COREDLL_H
#define PENWICK_PLATFORM_COREDLL_H

#include <stdint.h>

typedef void* HANDLE;
typedef HANDLE HKEY;
typedef int BOOL;
typedef long LONG;
typedef uint32_t DWORD;
typedef unsigned short WORD;

// UTF-16 strings, as the device's wide-character interface takes them
// (wchar_t is 16 bits wide on Windows targets).
typedef const char16_t* LPCWSTR;

struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

HKEY const kHkeyLocalMachine = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002));
HANDLE const kInvalidHandleValue = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(-1));
const LONG kErrorSuccess = 0;
const DWORD kGenericWrite = 0x40000000;
const DWORD kFileShareRead = 0x00000001;
const DWORD kOpenAlways = 4;
const DWORD kFileAttributeNormal = 0x00000080;
const DWORD kFileEnd = 2;
const DWORD kInvalidSetFilePointer = 0xFFFFFFFF;
// SystemParametersInfo's questions of a Windows CE device.
const unsigned kSpiGetPlatformType = 257;  // SPI_GETPLATFORMTYPE
const unsigned kSpiGetOemInfo = 258;       // SPI_GETOEMINFO

extern "C" {
extern LONG (*const coredllRegOpenKeyExW)(HKEY key, LPCWSTR subKey, DWORD options, DWORD access,
                                          HKEY* result) __asm__("__imp_RegOpenKeyExW");
extern LONG (*const coredllRegQueryValueExW)(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type,
                                             unsigned char* data,
                                             DWORD* size) __asm__("__imp_RegQueryValueExW");
extern LONG (*const coredllRegCloseKey)(HKEY key) __asm__("__imp_RegCloseKey");
extern HANDLE (*const coredllCreateFileW)(LPCWSTR name, DWORD access, DWORD share, void* security,
                                          DWORD disposition, DWORD attributes,
                                          HANDLE templateFile) __asm__("__imp_CreateFileW");
extern DWORD (*const coredllSetFilePointer)(HANDLE file, LONG distance, LONG* distanceHigh,
                                            DWORD method) __asm__("__imp_SetFilePointer");
extern BOOL (*const coredllWriteFile)(HANDLE file, const void* data, DWORD size, DWORD* written,
                                      void* overlapped) __asm__("__imp_WriteFile");
extern BOOL (*const coredllFlushFileBuffers)(HANDLE file) __asm__("__imp_FlushFileBuffers");
extern BOOL (*const coredllCloseHandle)(HANDLE handle) __asm__("__imp_CloseHandle");
extern void (*const coredllGetLocalTime)(SYSTEMTIME* time) __asm__("__imp_GetLocalTime");
extern BOOL (*const coredllSystemParametersInfoW)(unsigned action, unsigned parameter, void* data,
                                                  unsigned update) __asm__("__imp_SystemParametersInfoW");
}

#endif

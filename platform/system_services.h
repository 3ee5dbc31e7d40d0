// The system services the driver needs of the platform, behind one seam.
//
// The filter, the interception, the configuration and the binding call only
// these functions. Which implementation they reach is decided by what goes on
// the link line, one folder a system: device/system_services_device.cpp on
// the device (Windows CE), windows/system_services_windows.cpp on desktop
// Windows and Wine, and host/system_services_host.cpp (a controllable fake)
// on the build machine. Callers contain no #ifdef. Nothing in platform/
// includes anything above it: the library's entry points, which enter the
// proxy's frame, are in entry/.
//
// Names and paths are UTF-16 on every build, as the device's wide-character
// interface takes them.
#ifndef PENWICK_PLATFORM_SYSTEM_SERVICES_H
#define PENWICK_PLATFORM_SYSTEM_SERVICES_H

#include <stdint.h>

// A loaded library, as the loader hands it out; null means none.
typedef void* SystemModule;
// An open registry key.
typedef void* SystemKey;
// An entry point's address, to be cast to its real type before it is called.
typedef void (*SystemProc)(void);

// Width of the screen in pixels (system metric 0). Asked once when the host
// enables the driver and on every filtered sample, always before the height.
int32_t SystemScreenWidth(void);

// Height of the screen in pixels (system metric 1).
int32_t SystemScreenHeight(void);

// Opens subKey below HKEY_LOCAL_MACHINE for reading values (options 0).
// Returns 0 and stores the key on success, nonzero on failure.
int32_t SystemOpenRegistryKey(const char16_t* subKey, SystemKey* key);

// Registry value types and the query's result for data larger than the
// size given, as the platform numbers them.
const uint32_t kSystemRegistryString = 1;  // REG_SZ
const uint32_t kSystemRegistryDword = 4;   // REG_DWORD
const int32_t kSystemRegistryMoreData = 234;  // ERROR_MORE_DATA

// Reads value `name` of an open key into data, whose size in bytes is *size.
// Returns 0 on success, with the value's type in *type and its length in
// *size; nonzero on any failure (value missing, data larger than *size:
// kSystemRegistryMoreData, with the length needed in *size).
// After a failure the contents of data are undefined: a caller that must not
// lose what it had reads into a buffer of its own.
int32_t SystemQueryRegistryValue(SystemKey key, const char16_t* name,
                                 uint32_t* type, void* data, uint32_t* size);

// Closes a key that SystemOpenRegistryKey opened.
void SystemCloseRegistryKey(SystemKey key);

// Loads the library with the given terminated file name; null on failure.
SystemModule SystemLoadLibrary(const char16_t* fileName);

// The address of a library's entry point, looked up by name; null if none.
SystemProc SystemResolveEntryPoint(SystemModule module, const char16_t* name);

// Releases one load of a library.
void SystemReleaseLibrary(SystemModule module);

// Tells the loader not to call this library's entry for thread attach and
// detach; `self` is this library's own module handle.
void SystemStopThreadNotifications(SystemModule self);

// --- For the opt-in capture of samples to a file --------------------------
// Only the capture's writer thread and its start and stop call these; the
// sample path never does.

// An open file; null means none.
typedef void* SystemFile;
// A running thread; null means none.
typedef void* SystemThread;
// What a thread runs; its result is the thread's exit code.
typedef uint32_t (*SystemThreadProc)(void* argument);

// Opens the file at a full path for appending, creating it when it does not
// exist, with its present size in *size; null on failure.
SystemFile SystemOpenFileForAppend(const char16_t* path, uint32_t* size);

// Appends size bytes; nonzero when all of them were written.
int32_t SystemWriteFile(SystemFile file, const void* data, uint32_t size);

// Writes what the file system holds back out to the store; nonzero on success.
int32_t SystemFlushFile(SystemFile file);

void SystemCloseFile(SystemFile file);

// Starts proc(argument) on a thread of its own at the lowest priority;
// null when no thread could be started. It returns once the thread runs
// proc, or when it has slept a millisecond kThreadStartSleeps times without:
// a thread not yet started cannot be waited for while the library unloads
// (on Windows its start needs the loader's lock, which the unloading holds),
// and it would then run code that is gone.
const int kThreadStartSleeps = 1000;
SystemThread SystemStartThread(SystemThreadProc proc, void* argument);

// Puts a thread started at the lowest priority at normal priority, so that
// it gets the processor however busy the device is.
void SystemRaiseThreadPriority(SystemThread thread);

// Waits at most `milliseconds` for the thread to end; nonzero when it has.
int32_t SystemWaitForThread(SystemThread thread, uint32_t milliseconds);

// Lets go of a thread (ended or not).
void SystemCloseThread(SystemThread thread);

void SystemSleep(uint32_t milliseconds);

// Milliseconds since the device started, wrapping at 32 bits.
uint32_t SystemTickCount(void);

// A date and time of the device's clock.
struct SystemDateTime {
    uint16_t year, month, day, hour, minute, second;
};

// When the device started, by its clock; zero when that is not known.
int32_t SystemBootTime(SystemDateTime* time);

#endif

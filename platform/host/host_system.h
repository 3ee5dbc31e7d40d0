// The build machine's side of the system-services seam: a fake platform that
// tests and the replay tool drive directly. Screen size, registry and loader
// are plain data here; HostSystemReset puts everything back as at start.
#ifndef PENWICK_PLATFORM_HOST_SYSTEM_H
#define PENWICK_PLATFORM_HOST_SYSTEM_H

#include <stdint.h>

#include <cstddef>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/system_services.h"

// A registry value type and a query result as the platform numbers them,
// besides those in system_services.h.
const uint32_t kRegistryBinary = 3;     // REG_BINARY
const int32_t kRegistryNotFound = 2;    // ERROR_FILE_NOT_FOUND

struct HostLibrary {
    std::u16string fileName;
    std::map<std::u16string, SystemProc> entryPoints;
    int loads = 0;     // successful SystemLoadLibrary calls
    int releases = 0;  // SystemReleaseLibrary calls
};

// A thread the fake started: it runs when something waits for it, or when
// a test runs it.
struct HostThread {
    SystemThreadProc proc;
    void* argument;
    bool ran = false;
};

// What the fake device says of itself, field for field DeviceIdentity's.
struct HostDevice {
    std::u16string name, oem, platform;
    uint32_t major = 0, minor = 0, build = 0, platformId = 0;
};

struct HostSystem {
    // Every call of the seam, by name, in order, while recordCalls is set
    // (the replay tool leaves it off: it makes millions of calls).
    bool recordCalls = false;
    std::vector<std::string> calls;
    int32_t screenWidth = 240;
    int32_t screenHeight = 320;
    // Keys by path below HKEY_LOCAL_MACHINE, upper-cased; values by name,
    // upper-cased: type and bytes. Go through the functions below.
    std::map<std::u16string, std::map<std::u16string, std::pair<uint32_t, std::vector<uint8_t>>>>
        registry;
    std::vector<std::u16string> queriedValues;  // every query, in order
    int openKeys = 0;                           // opened and not yet closed
    std::deque<HostLibrary> libraries;  // a deque: references stay valid
    std::vector<std::u16string> loadRequests;   // every file name asked for
    std::vector<SystemModule> threadNotificationStops;

    // Files by full path, and what can go wrong with them.
    std::map<std::u16string, std::string> files;
    bool fileOpenFails = false;
    size_t storeRoom = SIZE_MAX;  // bytes the store can still take
    int flushes = 0;
    // Threads, the clock and sleeping.
    bool threadStartFails = false;
    // Threads never run, and waiting for one times out: a thread stuck on a
    // store that does not answer.
    bool threadsHang = false;
    std::deque<HostThread> threads;
    uint32_t tickCount = 0;      // moved on by every sleep
    std::function<void()> onSleep;  // called by every sleep, when set
    bool bootTimeKnown = true;
    SystemDateTime bootTime = {2026, 12, 8, 9, 30, 5};
    // What DeviceIdentityRead gives (platform/device_identity.h): empty
    // texts and a version of 0 are not known; texts longer than the
    // record's room are cut.
    HostDevice device;
};

extern HostSystem g_hostSystem;

// Back to an empty registry, no libraries, a 240 x 320 screen.
void HostSystemReset();

// A key with no values yet (setting a value makes its key too).
void HostCreateRegistryKey(const std::u16string& key);
void HostSetRegistryValue(const std::u16string& key, const std::u16string& name, uint32_t type,
                          std::vector<uint8_t> bytes);
void HostSetRegistryDword(const std::u16string& key, const std::u16string& name, uint32_t value);
// A name with its letters a to z made capitals, for comparing names as the
// device's registry and file system do, whatever their case.
std::u16string HostFolded(std::u16string text);

// Stores the string with its terminator, as REG_SZ.
void HostSetRegistryString(const std::u16string& key, const std::u16string& name,
                           const std::u16string& value);
// The bytes of a stored value, or null when there is none.
const std::vector<uint8_t>* HostFindRegistryValue(const std::u16string& key,
                                                  const std::u16string& name);

// Adds a library the fake loader can load; returns it for counting.
HostLibrary& HostAddLibrary(const std::u16string& fileName,
                            std::map<std::u16string, SystemProc> entryPoints);
// The library with that file name, or null.
HostLibrary* HostFindLibrary(const std::u16string& fileName);

// Runs a started thread now, if it has not run.
void HostRunThread(SystemThread thread);

#endif

// The fake platform of the build machine. Registry queries follow the
// platform's own rules: the size goes in and out, data larger than the size
// given fails with ERROR_MORE_DATA and leaves garbage in the buffer (the
// platform calls the buffer undefined then), shorter data fills only the
// first bytes. Key, value and library names compare without regard to case.
#include <string.h>

#include <algorithm>

#include "platform/host/host_system.h"

#include "platform/ascii.h"

HostSystem g_hostSystem;

std::u16string HostFolded(std::u16string text) {
    for (char16_t& c : text) {
        c = AsciiUpper(c);
    }
    return text;
}

namespace {

void HostRecordCall(const char* name) {
    if (g_hostSystem.recordCalls) {
        g_hostSystem.calls.push_back(name);
    }
}

// Registry keys are handed out as 1-based indexes into this list of paths.
std::vector<std::u16string> g_openedKeys;
// Files likewise, into this list of paths.
std::vector<std::u16string> g_openedFiles;

}  // namespace

void HostSystemReset() {
    g_hostSystem = HostSystem();
    g_openedKeys.clear();
    g_openedFiles.clear();
}

void HostCreateRegistryKey(const std::u16string& key) { g_hostSystem.registry[HostFolded(key)]; }

void HostSetRegistryValue(const std::u16string& key, const std::u16string& name, uint32_t type,
                          std::vector<uint8_t> bytes) {
    g_hostSystem.registry[HostFolded(key)][HostFolded(name)] = {type, std::move(bytes)};
}

void HostSetRegistryDword(const std::u16string& key, const std::u16string& name, uint32_t value) {
    std::vector<uint8_t> bytes(4);
    memcpy(bytes.data(), &value, 4);
    HostSetRegistryValue(key, name, kSystemRegistryDword, bytes);
}

void HostSetRegistryString(const std::u16string& key, const std::u16string& name,
                           const std::u16string& value) {
    std::vector<uint8_t> bytes((value.size() + 1) * sizeof(char16_t));
    memcpy(bytes.data(), value.c_str(), bytes.size());
    HostSetRegistryValue(key, name, kSystemRegistryString, bytes);
}

const std::vector<uint8_t>* HostFindRegistryValue(const std::u16string& key,
                                                  const std::u16string& name) {
    auto values = g_hostSystem.registry.find(HostFolded(key));
    if (values == g_hostSystem.registry.end()) {
        return nullptr;
    }
    auto value = values->second.find(HostFolded(name));
    return value == values->second.end() ? nullptr : &value->second.second;
}

HostLibrary& HostAddLibrary(const std::u16string& fileName,
                            std::map<std::u16string, SystemProc> entryPoints) {
    HostLibrary library;
    library.fileName = fileName;
    library.entryPoints = std::move(entryPoints);
    g_hostSystem.libraries.push_back(std::move(library));
    return g_hostSystem.libraries.back();
}

HostLibrary* HostFindLibrary(const std::u16string& fileName) {
    for (HostLibrary& library : g_hostSystem.libraries) {
        if (HostFolded(library.fileName) == HostFolded(fileName)) {
            return &library;
        }
    }
    return nullptr;
}

int32_t SystemScreenWidth(void) {
    HostRecordCall("SystemScreenWidth");
    return g_hostSystem.screenWidth;
}

int32_t SystemScreenHeight(void) {
    HostRecordCall("SystemScreenHeight");
    return g_hostSystem.screenHeight;
}

int32_t SystemOpenRegistryKey(const char16_t* subKey, SystemKey* key) {
    HostRecordCall("SystemOpenRegistryKey");
    std::u16string path = HostFolded(subKey);
    if (g_hostSystem.registry.count(path) == 0) {
        return kRegistryNotFound;
    }
    g_openedKeys.push_back(path);
    g_hostSystem.openKeys++;
    *key = reinterpret_cast<SystemKey>(g_openedKeys.size());
    return 0;
}

int32_t SystemQueryRegistryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                                 uint32_t* size) {
    HostRecordCall("SystemQueryRegistryValue");
    g_hostSystem.queriedValues.push_back(name);
    const std::u16string& path = g_openedKeys.at(reinterpret_cast<size_t>(key) - 1);
    const auto& values = g_hostSystem.registry[path];
    auto value = values.find(HostFolded(name));
    if (value == values.end()) {
        return kRegistryNotFound;
    }
    const std::vector<uint8_t>& bytes = value->second.second;
    if (bytes.size() > *size) {
        memset(data, 0xCD, *size);  // undefined on the platform: make it visible
        *size = static_cast<uint32_t>(bytes.size());
        return kSystemRegistryMoreData;
    }
    if (!bytes.empty()) {
        memcpy(data, bytes.data(), bytes.size());
    }
    *size = static_cast<uint32_t>(bytes.size());
    *type = value->second.first;
    return 0;
}

void SystemCloseRegistryKey(SystemKey) {
    HostRecordCall("SystemCloseRegistryKey");
    g_hostSystem.openKeys--;
}

// Modules are handed out as 1-based indexes into the library table.
SystemModule SystemLoadLibrary(const char16_t* fileName) {
    HostRecordCall("SystemLoadLibrary");
    g_hostSystem.loadRequests.push_back(fileName);
    HostLibrary* library = HostFindLibrary(fileName);
    if (library == nullptr) {
        return nullptr;
    }
    library->loads++;
    size_t index = 0;
    while (&g_hostSystem.libraries[index] != library) {
        index++;
    }
    return reinterpret_cast<SystemModule>(index + 1);
}

namespace {

HostLibrary& HostLibraryOf(SystemModule module) {
    return g_hostSystem.libraries.at(reinterpret_cast<size_t>(module) - 1);
}

}  // namespace

SystemProc SystemResolveEntryPoint(SystemModule module, const char16_t* name) {
    HostRecordCall("SystemResolveEntryPoint");
    const auto& entries = HostLibraryOf(module).entryPoints;
    auto entry = entries.find(name);
    return entry == entries.end() ? nullptr : entry->second;
}

void SystemReleaseLibrary(SystemModule module) {
    HostRecordCall("SystemReleaseLibrary");
    HostLibraryOf(module).releases++;
}

void SystemStopThreadNotifications(SystemModule self) {
    HostRecordCall("SystemStopThreadNotifications");
    g_hostSystem.threadNotificationStops.push_back(self);
}

SystemFile SystemOpenFileForAppend(const char16_t* path, uint32_t* size) {
    HostRecordCall("SystemOpenFileForAppend");
    if (g_hostSystem.fileOpenFails) {
        return nullptr;
    }
    *size = static_cast<uint32_t>(g_hostSystem.files[path].size());
    g_openedFiles.push_back(path);
    return reinterpret_cast<SystemFile>(g_openedFiles.size());
}

int32_t SystemWriteFile(SystemFile file, const void* data, uint32_t size) {
    HostRecordCall("SystemWriteFile");
    if (size > g_hostSystem.storeRoom) {
        return 0;
    }
    g_hostSystem.storeRoom -= size;
    const std::u16string& path = g_openedFiles.at(reinterpret_cast<size_t>(file) - 1);
    g_hostSystem.files[path].append(static_cast<const char*>(data), size);
    return 1;
}

int32_t SystemFlushFile(SystemFile) {
    HostRecordCall("SystemFlushFile");
    g_hostSystem.flushes++;
    return 1;
}

void SystemCloseFile(SystemFile) { HostRecordCall("SystemCloseFile"); }

// Threads are handed out as 1-based indexes into the list of threads.
SystemThread SystemStartThread(SystemThreadProc proc, void* argument) {
    HostRecordCall("SystemStartThread");
    if (g_hostSystem.threadStartFails) {
        return nullptr;
    }
    g_hostSystem.threads.push_back({proc, argument});
    return reinterpret_cast<SystemThread>(g_hostSystem.threads.size());
}

void HostRunThread(SystemThread thread) {
    HostThread& host = g_hostSystem.threads.at(reinterpret_cast<size_t>(thread) - 1);
    if (!host.ran) {
        host.ran = true;
        host.proc(host.argument);
    }
}

void SystemRaiseThreadPriority(SystemThread) { HostRecordCall("SystemRaiseThreadPriority"); }

int32_t SystemWaitForThread(SystemThread thread, uint32_t) {
    if (g_hostSystem.threadsHang) {
        return 0;
    }
    HostRunThread(thread);
    return 1;
}

void SystemCloseThread(SystemThread) { HostRecordCall("SystemCloseThread"); }

void SystemSleep(uint32_t milliseconds) {
    g_hostSystem.tickCount += milliseconds;
    if (g_hostSystem.onSleep) {
        g_hostSystem.onSleep();
    }
}

uint32_t SystemTickCount(void) { return g_hostSystem.tickCount; }

int32_t SystemBootTime(SystemDateTime* time) {
    *time = g_hostSystem.bootTime;
    return g_hostSystem.bootTimeKnown ? 1 : 0;
}

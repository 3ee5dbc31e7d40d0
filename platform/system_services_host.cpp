// The fake platform of the build machine. Registry queries follow the
// platform's own rules: the size goes in and out, data larger than the size
// given fails with ERROR_MORE_DATA and leaves garbage in the buffer (the
// platform calls the buffer undefined then), shorter data fills only the
// first bytes. Key, value and library names compare without regard to case.
#include <string.h>

#include <algorithm>

#include "platform/host_system.h"

HostSystem g_hostSystem;

namespace {

std::u16string Folded(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text;
}

void HostRecordCall(const char* name) {
    if (g_hostSystem.recordCalls) {
        g_hostSystem.calls.push_back(name);
    }
}

// Registry keys are handed out as 1-based indexes into this list of paths.
std::vector<std::u16string> g_openedKeys;

}  // namespace

void HostSystemReset() {
    g_hostSystem = HostSystem();
    g_openedKeys.clear();
}

void HostSetRegistryValue(const std::u16string& key, const std::u16string& name, uint32_t type,
                          std::vector<uint8_t> bytes) {
    g_hostSystem.registry[Folded(key)][Folded(name)] = {type, std::move(bytes)};
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
    auto values = g_hostSystem.registry.find(Folded(key));
    if (values == g_hostSystem.registry.end()) {
        return nullptr;
    }
    auto value = values->second.find(Folded(name));
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
        if (Folded(library.fileName) == Folded(fileName)) {
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
    std::u16string path = Folded(subKey);
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
    auto value = values.find(Folded(name));
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

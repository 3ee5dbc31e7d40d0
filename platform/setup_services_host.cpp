// The installer's seam on the build machine, over the host fake's registry
// and files. Keys are opened through the fake's own SystemOpenRegistryKey
// and read through its SystemQueryRegistryValue, so that values read back
// by the platform's rules (the size in and out, ERROR_MORE_DATA, garbage in
// the buffer after a failure); each key handle's path is kept here for
// writing. Names compare without regard to case, as on the device.
#include "platform/setup_host.h"

#include <string.h>

#include <algorithm>
#include <map>

HostSetup g_hostSetup;

namespace {

std::map<SystemKey, std::u16string> g_keyPaths;

std::u16string Folded(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text;
}

bool IsReadOnly(const std::u16string& key) {
    for (const std::u16string& readOnly : g_hostSetup.readOnlyKeys) {
        if (Folded(readOnly) == Folded(key)) {
            return true;
        }
    }
    return false;
}

bool IsInUse(const std::u16string& path) {
    for (const std::u16string& inUse : g_hostSetup.filesInUse) {
        if (Folded(inUse) == Folded(path)) {
            return true;
        }
    }
    return false;
}

// Takes `size` bytes of the store; false when it is full.
bool TakeStore(size_t size) {
    if (size > g_hostSystem.storeRoom) {
        return false;
    }
    g_hostSystem.storeRoom -= size;
    return true;
}

void Erase(const std::u16string& path) {
    for (auto file = g_hostSystem.files.begin(); file != g_hostSystem.files.end(); ++file) {
        if (Folded(file->first) == Folded(path)) {
            g_hostSystem.files.erase(file);
            return;
        }
    }
}

}  // namespace

void HostSetupReset() {
    g_hostSetup = HostSetup();
    g_keyPaths.clear();
}

std::string* HostFindFile(const std::u16string& path) {
    for (auto& file : g_hostSystem.files) {
        if (Folded(file.first) == Folded(path)) {
            return &file.second;
        }
    }
    return nullptr;
}

int32_t SetupOpenKey(const char16_t* subKey, SystemKey* key) {
    int32_t error = SystemOpenRegistryKey(subKey, key);
    if (error == 0) {
        g_keyPaths[*key] = subKey;
    }
    return error;
}

int32_t SetupCreateKey(const char16_t* subKey, SystemKey* key) {
    if (IsReadOnly(subKey)) {
        return kSetupErrorAccessDenied;
    }
    g_hostSystem.registry[Folded(subKey)];
    return SetupOpenKey(subKey, key);
}

int32_t SetupQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* size) {
    return SystemQueryRegistryValue(key, name, type, data, size);
}

int32_t SetupSetValue(SystemKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t size) {
    const std::u16string& path = g_keyPaths.at(key);
    if (IsReadOnly(path)) {
        return kSetupErrorAccessDenied;
    }
    if (!TakeStore(size)) {
        return kSetupErrorDiskFull;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    HostSetRegistryValue(path, name, type, std::vector<uint8_t>(bytes, bytes + size));
    return 0;
}

int32_t SetupDeleteValue(SystemKey key, const char16_t* name) {
    const std::u16string& path = g_keyPaths.at(key);
    if (IsReadOnly(path)) {
        return kSetupErrorAccessDenied;
    }
    return g_hostSystem.registry[Folded(path)].erase(Folded(name)) == 1 ? 0 : kSetupErrorNotFound;
}

int32_t SetupFlushKey(SystemKey key) {
    return IsReadOnly(g_keyPaths.at(key)) ? kSetupErrorAccessDenied : 0;
}

void SetupCloseKey(SystemKey key) {
    g_keyPaths.erase(key);
    SystemCloseRegistryKey(key);
}

int32_t SetupDeleteKey(const char16_t* subKey) {
    if (IsReadOnly(subKey)) {
        return kSetupErrorAccessDenied;
    }
    return g_hostSystem.registry.erase(Folded(subKey)) == 1 ? 0 : kSetupErrorNotFound;
}

int32_t SetupFileSize(const char16_t* path, uint32_t* size) {
    const std::string* file = HostFindFile(path);
    if (file == nullptr) {
        return kSetupErrorNotFound;
    }
    *size = static_cast<uint32_t>(file->size());
    return 0;
}

int32_t SetupCopyFile(const char16_t* from, const char16_t* to) {
    const std::string* source = HostFindFile(from);
    if (source == nullptr) {
        return kSetupErrorNotFound;
    }
    if (IsInUse(to)) {
        return kSetupErrorSharing;
    }
    std::string bytes = *source;
    Erase(to);
    if (!TakeStore(bytes.size())) {
        return kSetupErrorDiskFull;
    }
    g_hostSystem.files[to] = bytes;
    return 0;
}

int32_t SetupMoveFile(const char16_t* from, const char16_t* to) {
    std::string* source = HostFindFile(from);
    if (source == nullptr) {
        return kSetupErrorNotFound;
    }
    if (IsInUse(from)) {
        return kSetupErrorSharing;
    }
    if (HostFindFile(to) != nullptr) {
        return kSetupErrorAccessDenied;  // ERROR_ALREADY_EXISTS on the device
    }
    std::string bytes = *source;
    Erase(from);
    g_hostSystem.files[to] = bytes;
    return 0;
}

int32_t SetupDeleteFile(const char16_t* path) {
    if (HostFindFile(path) == nullptr) {
        return kSetupErrorNotFound;
    }
    if (IsInUse(path)) {
        return kSetupErrorSharing;
    }
    Erase(path);
    return 0;
}

int32_t SetupCompareFiles(const char16_t* a, const char16_t* b, int32_t* same) {
    const std::string* first = HostFindFile(a);
    const std::string* second = HostFindFile(b);
    if (first == nullptr || second == nullptr) {
        return kSetupErrorNotFound;
    }
    *same = *first == *second ? 1 : 0;
    return 0;
}

int32_t SetupReadFile(const char16_t* path, void* data, uint32_t capacity, uint32_t* size) {
    const std::string* file = HostFindFile(path);
    if (file == nullptr) {
        return kSetupErrorNotFound;
    }
    if (file->size() > capacity) {
        return kSetupErrorMoreData;
    }
    memcpy(data, file->data(), file->size());
    *size = static_cast<uint32_t>(file->size());
    return 0;
}

int32_t SetupAppendToFile(const char16_t* path, const void* data, uint32_t size) {
    if (IsInUse(path)) {
        return kSetupErrorSharing;
    }
    if (!TakeStore(size)) {
        return kSetupErrorDiskFull;
    }
    std::string* file = HostFindFile(path);
    if (file == nullptr) {
        file = &g_hostSystem.files[path];
    }
    file->append(static_cast<const char*>(data), size);
    return 0;
}

namespace {

void CopyFolder(const std::u16string& from, char16_t* folder, uint32_t units) {
    size_t length = std::min<size_t>(from.size(), units - 1);
    memcpy(folder, from.data(), length * sizeof(char16_t));
    folder[length] = 0;
}

}  // namespace

void SetupProgramFolder(char16_t* folder, uint32_t units) {
    CopyFolder(g_hostSetup.programFolder, folder, units);
}

void SetupSystemFolder(char16_t* folder, uint32_t units) {
    CopyFolder(g_hostSetup.systemFolder, folder, units);
}

void SetupLocalTime(SystemDateTime* time) { *time = g_hostSetup.now; }

SetupAnswer SetupAsk(const char16_t* question, bool cancel) {
    g_hostSetup.questions.push_back(question);
    return !cancel && g_hostSetup.answer == SetupAnswerCancel ? SetupAnswerNo : g_hostSetup.answer;
}

void SetupShow(const char16_t* message, bool failed) {
    g_hostSetup.shown.push_back({message, failed});
}

// The installer's seam on the build machine, over the host fake's registry
// and files. Keys are opened through the fake's own SystemOpenRegistryKey
// and read through its SystemQueryRegistryValue, so that values read back
// by the platform's rules (the size in and out, ERROR_MORE_DATA, garbage in
// the buffer after a failure); each key handle's path is kept here for
// writing. Names compare without regard to case, as on the device.
#include "platform/host/setup_host.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>

HostSetup g_hostSetup;

namespace {

std::map<SystemKey, std::u16string> g_keyPaths;

struct HostOpenFile {
    std::u16string path;
    size_t at;
    bool open;
};
std::vector<HostOpenFile> g_openFiles;

HostOpenFile& OpenFileOf(SystemFile file) {
    HostOpenFile& open = g_openFiles.at(reinterpret_cast<size_t>(file) - 1);
    if (!open.open) {
        abort();  // a file used after it was closed
    }
    return open;
}

bool IsIn(const std::set<std::u16string>& paths, const std::u16string& path) {
    for (const std::u16string& listed : paths) {
        if (HostFolded(listed) == HostFolded(path)) {
            return true;
        }
    }
    return false;
}

bool IsInUse(const std::u16string& path) {
    return IsIn(g_hostSetup.filesInUse, path);
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
        if (HostFolded(file->first) == HostFolded(path)) {
            g_hostSystem.files.erase(file);
            return;
        }
    }
}

}  // namespace

void HostSetupReset() {
    g_hostSetup = HostSetup();
    g_keyPaths.clear();
    g_openFiles.clear();
}

std::string* HostFindFile(const std::u16string& path) {
    for (auto& file : g_hostSystem.files) {
        if (HostFolded(file.first) == HostFolded(path)) {
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
    if (IsIn(g_hostSetup.readOnlyKeys, subKey)) {
        return kSetupErrorAccessDenied;
    }
    HostCreateRegistryKey(subKey);
    return SetupOpenKey(subKey, key);
}

int32_t SetupQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* size) {
    return SystemQueryRegistryValue(key, name, type, data, size);
}

namespace {

// A name into `name` as the platform gives it.
int32_t GiveName(const std::u16string& found, char16_t* name, uint32_t units) {
    if (found.size() + 1 > units) {
        return kSetupErrorMoreData;
    }
    std::copy(found.begin(), found.end(), name);
    name[found.size()] = 0;
    return 0;
}

}  // namespace

bool SetupPlatformChecksTrust(char16_t* platform, uint32_t units) {
    GiveName(g_hostSetup.platformType, platform, units);
    const std::u16string type = HostFolded(g_hostSetup.platformType);
    return type.empty() || type == u"POCKETPC" || type == u"SMARTPHONE";
}

int32_t SetupValueName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    auto values = g_hostSystem.registry.find(HostFolded(g_keyPaths.at(key)));
    if (values == g_hostSystem.registry.end() || index >= values->second.size()) {
        return kSetupErrorNoMoreItems;
    }
    return GiveName(std::next(values->second.begin(), index)->first, name, units);
}

int32_t SetupSubkeyName(SystemKey key, uint32_t index, char16_t* name, uint32_t units) {
    std::u16string parent = HostFolded(g_keyPaths.at(key)) + u"\\";
    for (const auto& [path, values] : g_hostSystem.registry) {
        std::u16string rest = path.substr(0, parent.size()) == parent ? path.substr(parent.size())
                                                                      : u"\\";
        if (rest.find(u'\\') == std::u16string::npos && index-- == 0) {
            return GiveName(rest, name, units);
        }
    }
    return kSetupErrorNoMoreItems;
}

int32_t SetupSetValue(SystemKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t size) {
    const std::u16string& path = g_keyPaths.at(key);
    if (IsIn(g_hostSetup.readOnlyKeys, path)) {
        return kSetupErrorAccessDenied;
    }
    if (!TakeStore(size)) {
        return kSetupErrorDiskFull;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> kept(bytes, bytes + size);
    if (!kept.empty() && !g_hostSetup.garbledOnce.empty() &&
        HostFolded(g_hostSetup.garbledOnce) == HostFolded(name)) {
        kept[0] ^= 0xFF;
        g_hostSetup.garbledOnce.clear();
    }
    HostSetRegistryValue(path, name, type, std::move(kept));
    return 0;
}

int32_t SetupDeleteValue(SystemKey key, const char16_t* name) {
    const std::u16string& path = g_keyPaths.at(key);
    if (IsIn(g_hostSetup.readOnlyKeys, path)) {
        return kSetupErrorAccessDenied;
    }
    return g_hostSystem.registry[HostFolded(path)].erase(HostFolded(name)) == 1
               ? 0
               : kSetupErrorNotFound;
}

int32_t SetupFlushKey(SystemKey key) {
    return IsIn(g_hostSetup.readOnlyKeys, g_keyPaths.at(key)) ? kSetupErrorAccessDenied : 0;
}

void SetupCloseKey(SystemKey key) {
    g_keyPaths.erase(key);
    SystemCloseRegistryKey(key);
}

int32_t SetupDeleteKey(const char16_t* subKey) {
    if (IsIn(g_hostSetup.readOnlyKeys, subKey)) {
        return kSetupErrorAccessDenied;
    }
    return g_hostSystem.registry.erase(HostFolded(subKey)) == 1 ? 0 : kSetupErrorNotFound;
}

int32_t SetupFileSize(const char16_t* path, uint32_t* size) {
    const std::string* file = HostFindFile(path);
    if (file == nullptr) {
        return kSetupErrorNotFound;
    }
    if (IsIn(g_hostSetup.lockedFiles, path)) {
        return kSetupErrorSharing;
    }
    *size = static_cast<uint32_t>(file->size());
    return 0;
}

bool SetupIsRomModule(const char16_t* path) { return IsIn(g_hostSetup.romModules, path); }

int32_t SetupCopyFile(const char16_t* from, const char16_t* to) {
    const std::string* source = HostFindFile(from);
    if (source == nullptr) {
        return kSetupErrorNotFound;
    }
    if (HostFindFile(to) != nullptr) {
        return kSetupErrorFileExists;
    }
    std::string bytes = *source;
    if (!TakeStore(bytes.size())) {
        return kSetupErrorDiskFull;
    }
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

int32_t SetupFileInFolder(const char16_t* folder, const char16_t* prefix, uint32_t index,
                          char16_t* name, uint32_t units) {
    const std::u16string inFolder = HostFolded(std::u16string(folder) + u"\\");
    const std::u16string start = inFolder + HostFolded(prefix);
    for (const auto& [path, bytes] : g_hostSystem.files) {
        std::u16string folded = HostFolded(path);
        if (folded.compare(0, start.size(), start) == 0 &&
            folded.find(u'\\', inFolder.size()) == std::u16string::npos && index-- == 0) {
            return GiveName(path.substr(inFolder.size()), name, units);
        }
    }
    return kSetupErrorNoMoreItems;
}

// Files are handed out as 1-based indexes into the list of open files.
int32_t SetupOpenFile(const char16_t* path, bool append, SystemFile* file) {
    if (append && IsInUse(path)) {
        return kSetupErrorSharing;
    }
    if (!append && HostFindFile(path) == nullptr) {
        return kSetupErrorNotFound;
    }
    if (HostFindFile(path) == nullptr) {
        g_hostSystem.files[path];
    }
    g_openFiles.push_back({path, 0, true});
    g_hostSetup.openFiles++;
    *file = reinterpret_cast<SystemFile>(g_openFiles.size());
    return 0;
}

int32_t SetupReadFromFile(SystemFile file, void* data, uint32_t size, uint32_t* got) {
    HostOpenFile& open = OpenFileOf(file);
    const std::string& bytes = *HostFindFile(open.path);
    *got = static_cast<uint32_t>(std::min<size_t>(size, bytes.size() - open.at));
    memcpy(data, bytes.data() + open.at, *got);
    open.at += *got;
    return 0;
}

int32_t SetupWriteToFile(SystemFile file, const void* data, uint32_t size) {
    if (!TakeStore(size)) {
        return kSetupErrorDiskFull;
    }
    HostFindFile(OpenFileOf(file).path)->append(static_cast<const char*>(data), size);
    return 0;
}

void SetupCloseFile(SystemFile file) {
    OpenFileOf(file).open = false;
    g_hostSetup.openFiles--;
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

bool SetupClaimSingleRun(void) {
    g_hostSetup.runClaimed = !g_hostSetup.anotherRun;
    return g_hostSetup.runClaimed;
}

void SetupReleaseSingleRun(void) { g_hostSetup.runClaimed = false; }

SetupAnswer SetupAsk(const char16_t* question, bool cancel) {
    g_hostSetup.questions.push_back(question);
    return !cancel && g_hostSetup.answer == SetupAnswerCancel ? SetupAnswerNo : g_hostSetup.answer;
}

void SetupShow(const char16_t* message, bool failed) {
    g_hostSetup.shown.push_back({message, failed});
}

#include "cab_control.h"

#include <algorithm>
#include <set>

#include "cab_bytes.h"

namespace {

const uint32_t kHeaderSize = 100;
const char kSignature[] = "MSCE";
const size_t kSections = 6;
const char* const kSectionNames[kSections] = {"STRINGS", "DIRS", "FILES", "REGHIVES", "REGKEYS", "LINKS"};

// A NUL-terminated string padded with NULs to a multiple of 4 bytes.
std::vector<uint8_t> Padded(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    do {
        bytes.push_back(0);
    } while (bytes.size() % 4 != 0);
    return bytes;
}

void PutBytes(std::vector<uint8_t>* out, const std::vector<uint8_t>& bytes) {
    CabPut16(out, static_cast<uint32_t>(bytes.size()));
    out->insert(out->end(), bytes.begin(), bytes.end());
}

// A string-id list with its length in front, 0-terminated or (LINKS) not.
void PutIds(std::vector<uint8_t>* out, std::vector<uint16_t> ids, bool terminated) {
    if (terminated) {
        ids.push_back(0);
    }
    CabPut16(out, static_cast<uint32_t>(2 * ids.size()));
    for (uint16_t id : ids) {
        CabPut16(out, id);
    }
}

// The text of a NUL-terminated, possibly NUL-padded string of `size` bytes.
std::string Text(const uint8_t* at, size_t size) {
    const uint8_t* end = std::find(at, at + size, 0);
    return std::string(at, end);
}

std::vector<uint16_t> Ids(const uint8_t* at, size_t size) {
    std::vector<uint16_t> ids;
    for (size_t i = 0; i + 1 < size; i += 2) {
        ids.push_back(ModuleRead16(at + i));
    }
    return ids;
}

// Reads the records of one section: each is `fixed` bytes, the last two of
// them its variable part's length, then that many bytes.
struct SectionReader {
    const uint8_t* bytes;
    size_t size;
    size_t at;
    const char* name;
    std::string* problem;

    // The next record's fixed part and variable part, or false at the end
    // of the file.
    bool Next(size_t fixed, const uint8_t** record, const uint8_t** rest, size_t* restSize) {
        if (at > size || size - at < fixed || size - at - fixed < ModuleRead16(bytes + at + fixed - 2)) {
            return CabRefuse(problem, std::string("the control file's ") + name + " run past its end");
        }
        *record = bytes + at;
        *rest = bytes + at + fixed;
        *restSize = ModuleRead16(bytes + at + fixed - 2);
        at += fixed + *restSize;
        return true;
    }
};

template <typename Record>
bool UniqueIds(const std::vector<Record>& records, const char* section, std::string* problem) {
    std::set<uint16_t> seen;
    for (const Record& record : records) {
        if (!seen.insert(record.id).second) {
            return CabRefuse(problem, std::string("two ") + section + " records have id " + std::to_string(record.id));
        }
    }
    return true;
}

bool Missing(const char* section, uint16_t id, const char* what, uint16_t missing, std::string* problem) {
    return CabRefuse(problem, std::string(section) + " record " + std::to_string(id) + " names " + what + " " +
                                  std::to_string(missing) + ", which is not there");
}

bool StringsThere(const CabControl& control, const char* section, uint16_t id, const std::vector<uint16_t>& strings,
                  std::string* problem) {
    for (uint16_t string : strings) {
        if (!CabFind(control.strings, string)) {
            return Missing(section, id, "string", string, problem);
        }
    }
    return true;
}

// A 0-terminated id list; false when the terminator is not there.
bool Terminated(std::vector<uint16_t>* ids) {
    if (ids->empty() || ids->back() != 0) {
        return false;
    }
    ids->pop_back();
    return true;
}

bool Unterminated(const char* section, uint16_t id, std::string* problem) {
    return CabRefuse(problem,
                     std::string(section) + " record " + std::to_string(id) + "'s string list does not end in 0");
}

// Every id a record names is there, and no two records of a section share
// an id.
bool Consistent(const CabControl& control, std::string* problem) {
    if (!UniqueIds(control.strings, "STRINGS", problem) || !UniqueIds(control.dirs, "DIRS", problem) ||
        !UniqueIds(control.files, "FILES", problem) || !UniqueIds(control.hives, "REGHIVES", problem) ||
        !UniqueIds(control.values, "REGKEYS", problem) || !UniqueIds(control.links, "LINKS", problem)) {
        return false;
    }
    for (const CabDir& dir : control.dirs) {
        if (!StringsThere(control, "DIRS", dir.id, dir.strings, problem)) {
            return false;
        }
    }
    for (const CabFile& file : control.files) {
        if (!CabFind(control.dirs, file.dir)) {
            return Missing("FILES", file.id, "folder", file.dir, problem);
        }
    }
    for (const CabHive& hive : control.hives) {
        if (!StringsThere(control, "REGHIVES", hive.id, hive.strings, problem)) {
            return false;
        }
    }
    for (const CabValue& value : control.values) {
        if (!CabFind(control.hives, value.hive)) {
            return Missing("REGKEYS", value.id, "key", value.hive, problem);
        }
    }
    for (const CabLink& link : control.links) {
        if (!CabFind(control.dirs, link.dir)) {
            return Missing("LINKS", link.id, "folder", link.dir, problem);
        }
        bool toFile = link.type == kCabLinkToFile;
        if (toFile ? !CabFind(control.files, link.target) : !CabFind(control.dirs, link.target)) {
            return Missing("LINKS", link.id, toFile ? "file" : "folder", link.target, problem);
        }
        if (!StringsThere(control, "LINKS", link.id, link.strings, problem)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<uint8_t> CabControlWrite(const CabControl& control) {
    std::vector<uint8_t> body;
    const std::vector<uint8_t> app = Padded(control.appName);
    const std::vector<uint8_t> provider = Padded(control.provider);
    body.insert(body.end(), app.begin(), app.end());
    body.insert(body.end(), provider.begin(), provider.end());
    uint32_t sections[kSections];
    sections[0] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabString& string : control.strings) {
        CabPut16(&body, string.id);
        PutBytes(&body, Padded(string.text));
    }
    sections[1] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabDir& dir : control.dirs) {
        CabPut16(&body, dir.id);
        PutIds(&body, dir.strings, true);
    }
    sections[2] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabFile& file : control.files) {
        CabPut16(&body, file.id);
        CabPut16(&body, file.dir);
        CabPut16(&body, file.id);
        CabPut32(&body, file.flags);
        PutBytes(&body, Padded(file.name));
    }
    sections[3] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabHive& hive : control.hives) {
        CabPut16(&body, hive.id);
        CabPut16(&body, hive.root);
        CabPut16(&body, 0);
        PutIds(&body, hive.strings, true);
    }
    sections[4] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabValue& value : control.values) {
        CabPut16(&body, value.id);
        CabPut16(&body, value.hive);
        CabPut16(&body, value.substitute);
        CabPut32(&body, value.type);
        std::vector<uint8_t> nameAndData(value.name.begin(), value.name.end());
        nameAndData.push_back(0);
        nameAndData.insert(nameAndData.end(), value.data.begin(), value.data.end());
        PutBytes(&body, nameAndData);
    }
    sections[5] = kHeaderSize + static_cast<uint32_t>(body.size());
    for (const CabLink& link : control.links) {
        CabPut16(&body, link.id);
        CabPut16(&body, link.dir);
        CabPut16(&body, link.base);
        CabPut16(&body, link.target);
        CabPut16(&body, link.type);
        PutIds(&body, link.strings, false);
    }

    std::vector<uint8_t> out;
    CabPutText(&out, kSignature);
    CabPut32(&out, 0);
    CabPut32(&out, kHeaderSize + static_cast<uint32_t>(body.size()));
    CabPut32(&out, 0);
    CabPut32(&out, 1);  // unknown; 1 in every CabWiz cabinet
    for (uint32_t field : {control.architecture, control.minMajor, control.minMinor, control.maxMajor,
                           control.maxMinor, control.minBuild, control.maxBuild}) {
        CabPut32(&out, field);
    }
    for (size_t count : {control.strings.size(), control.dirs.size(), control.files.size(), control.hives.size(),
                         control.values.size(), control.links.size()}) {
        CabPut16(&out, static_cast<uint32_t>(count));
    }
    for (uint32_t offset : sections) {
        CabPut32(&out, offset);
    }
    CabPut16(&out, kHeaderSize);
    CabPut16(&out, static_cast<uint32_t>(app.size()));
    CabPut16(&out, kHeaderSize + static_cast<uint32_t>(app.size()));
    CabPut16(&out, static_cast<uint32_t>(provider.size()));
    CabPut16(&out, sections[0]);  // no UNSUPPORTED platforms
    CabPut16(&out, 0);
    CabPut32(&out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool CabControlRead(const uint8_t* bytes, size_t size, CabControl* control, std::string* problem) {
    *control = CabControl();
    if (size < kHeaderSize) {
        return CabRefuse(problem, "the control file is " + std::to_string(size) + " bytes, shorter than its header");
    }
    if (!std::equal(kSignature, kSignature + 4, bytes)) {
        return CabRefuse(problem, "the control file does not begin with MSCE");
    }
    if (ModuleRead32(bytes + 8) != size) {
        return CabRefuse(problem, "the control file says it is " + std::to_string(ModuleRead32(bytes + 8)) +
                                      " bytes long but is " + std::to_string(size));
    }
    uint32_t* fields[] = {&control->architecture, &control->minMajor, &control->minMinor, &control->maxMajor,
                          &control->maxMinor,     &control->minBuild, &control->maxBuild};
    for (size_t i = 0; i < 7; i++) {
        *fields[i] = ModuleRead32(bytes + 20 + 4 * i);
    }
    for (size_t name = 0; name < 2; name++) {
        uint32_t at = ModuleRead16(bytes + 84 + 4 * name);
        uint32_t length = ModuleRead16(bytes + 86 + 4 * name);
        if (at + length > size) {
            return CabRefuse(problem, std::string("the control file's ") + (name == 0 ? "application" : "provider") +
                                          " name runs past its end");
        }
        (name == 0 ? control->appName : control->provider) = Text(bytes + at, length);
    }

    SectionReader sections[kSections];
    for (size_t i = 0; i < kSections; i++) {
        sections[i] = SectionReader{bytes, size, ModuleRead32(bytes + 60 + 4 * i), kSectionNames[i], problem};
    }
    const uint8_t* record;
    const uint8_t* rest;
    size_t restSize;
    for (uint32_t i = 0, count = ModuleRead16(bytes + 48); i < count; i++) {
        if (!sections[0].Next(4, &record, &rest, &restSize)) {
            return false;
        }
        control->strings.push_back({ModuleRead16(record), Text(rest, restSize)});
    }
    for (uint32_t i = 0, count = ModuleRead16(bytes + 50); i < count; i++) {
        if (!sections[1].Next(4, &record, &rest, &restSize)) {
            return false;
        }
        CabDir dir{ModuleRead16(record), Ids(rest, restSize)};
        if (!Terminated(&dir.strings)) {
            return Unterminated("DIRS", dir.id, problem);
        }
        control->dirs.push_back(dir);
    }
    for (uint32_t i = 0, count = ModuleRead16(bytes + 52); i < count; i++) {
        if (!sections[2].Next(12, &record, &rest, &restSize)) {
            return false;
        }
        control->files.push_back(
            {ModuleRead16(record), ModuleRead16(record + 2), ModuleRead32(record + 6), Text(rest, restSize)});
    }
    for (uint32_t i = 0, count = ModuleRead16(bytes + 54); i < count; i++) {
        if (!sections[3].Next(8, &record, &rest, &restSize)) {
            return false;
        }
        CabHive hive{ModuleRead16(record), ModuleRead16(record + 2), Ids(rest, restSize)};
        if (!Terminated(&hive.strings)) {
            return Unterminated("REGHIVES", hive.id, problem);
        }
        control->hives.push_back(hive);
    }
    for (uint32_t i = 0, count = ModuleRead16(bytes + 56); i < count; i++) {
        if (!sections[4].Next(12, &record, &rest, &restSize)) {
            return false;
        }
        CabValue value{
            ModuleRead16(record), ModuleRead16(record + 2), ModuleRead16(record + 4), ModuleRead32(record + 6), "", {}};
        const uint8_t* nameEnd = std::find(rest, rest + restSize, 0);
        if (nameEnd == rest + restSize) {
            return CabRefuse(problem,
                             "REGKEYS record " + std::to_string(value.id) + " has no NUL after its value's name");
        }
        value.name.assign(rest, nameEnd);
        value.data.assign(nameEnd + 1, rest + restSize);
        control->values.push_back(value);
    }
    for (uint32_t i = 0, count = ModuleRead16(bytes + 58); i < count; i++) {
        if (!sections[5].Next(12, &record, &rest, &restSize)) {
            return false;
        }
        CabLink link{ModuleRead16(record),     ModuleRead16(record + 2), ModuleRead16(record + 4),
                     ModuleRead16(record + 6), ModuleRead16(record + 8), Ids(rest, restSize)};
        // CabWiz ends the list without a 0; other writers with one.
        Terminated(&link.strings);
        control->links.push_back(link);
    }
    return Consistent(*control, problem);
}

std::string CabControlPath(const CabControl& control, const std::vector<uint16_t>& strings) {
    std::string path;
    for (uint16_t id : strings) {
        const CabString* string = CabFind(control.strings, id);
        if (string == nullptr) {
            return "";
        }
        path += (path.empty() ? "" : "\\") + string->text;
    }
    return path;
}

std::string CabExpandFolder(const std::string& path) {
    // The Pocket PC meanings (a Handheld PC's differ).
    static const struct {
        const char* macro;
        const char* folder;
    } kFolders[] = {
        {"%CE1%", "\\Program Files"},
        {"%CE2%", "\\Windows"},
        {"%CE4%", "\\Windows\\StartUp"},
        {"%CE5%", "\\My Documents"},
        {"%CE11%", "\\Windows\\Start Menu\\Programs"},
        {"%CE14%", "\\Windows\\Start Menu\\Programs\\Games"},
        {"%CE15%", "\\Windows\\Fonts"},
        {"%CE17%", "\\Windows\\Start Menu"},
    };
    for (const auto& folder : kFolders) {
        std::string macro = folder.macro;
        if (path.compare(0, macro.size(), macro) == 0 &&
            (path.size() == macro.size() || path[macro.size()] == '\\')) {
            return folder.folder + path.substr(macro.size());
        }
    }
    return path;
}

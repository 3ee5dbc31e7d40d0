// The control file of a Windows CE installation cabinet: the member whose
// extension is .000, which tells the device's installer (wceload) what the
// application is called, which systems it is for, and where each other
// member goes. Every other member is found by number: FILES record N
// installs the member named XXXXXXXX.NNN.
//
// Layout (all integers little-endian): a 100-byte header with the counts and
// offsets of the sections, then, as Microsoft's CabWiz lays them out, the
// application's and the provider's names, STRINGS, DIRS, FILES, REGHIVES,
// REGKEYS and LINKS. The writer makes that shape: every string, name and
// file name is padded with NULs to a multiple of 4 bytes, the padding
// counted in its length, as the Windows Mobile 6 SDK's CabWiz does; an empty
// section gets count 0 and the offset where the next one starts. A LINKS
// record's name list carries no terminating 0, as CabWiz writes it.
//
// The reader takes any layout (sections are found only through the header)
// and refuses, with one sentence, a control file whose counts, offsets or
// lengths run past its end or whose records name an id that is not there.
#ifndef PENWICK_TOOLS_CAB_CAB_CONTROL_H
#define PENWICK_TOOLS_CAB_CAB_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// One STRINGS record: a piece of a path (it may hold backslashes), referred
// to by its id from DIRS, REGHIVES and LINKS.
struct CabString {
    uint16_t id;
    std::string text;
};

// One DIRS record: a folder, the strings joined by backslashes (the first
// is usually a %CEn% macro).
struct CabDir {
    uint16_t id;
    std::vector<uint16_t> strings;
};

// One FILES record: member .NNN (id = NNN) installed as `name` into DIRS
// record `dir`. Flags are CabWiz's CopyFiles flags (0: the defaults).
struct CabFile {
    uint16_t id;
    uint16_t dir;
    uint32_t flags;
    std::string name;
};

// One REGHIVES record: a registry key under a root (kCabRoot...), its path
// the strings joined by backslashes.
struct CabHive {
    uint16_t id;
    uint16_t root;
    std::vector<uint16_t> strings;
};
const uint16_t kCabRootClassesRoot = 1;
const uint16_t kCabRootCurrentUser = 2;
const uint16_t kCabRootLocalMachine = 3;
const uint16_t kCabRootUsers = 4;

// One REGKEYS record: a value of REGHIVES record `hive`. With `substitute`
// the installer expands %InstallDir% and %CEn% in the data. `type` is the
// type (kCabValue...) ORed with kCabValueNoClobber or not; an empty name is
// the key's default value.
struct CabValue {
    uint16_t id;
    uint16_t hive;
    uint16_t substitute;
    uint32_t type;
    std::string name;
    std::vector<uint8_t> data;
};
const uint32_t kCabValueString = 0x00000000;
const uint32_t kCabValueMultiString = 0x00010000;
const uint32_t kCabValueBinary = 0x00000001;
const uint32_t kCabValueDword = 0x00010001;
const uint32_t kCabValueNoClobber = 0x00000002;

// One LINKS record, as CabWiz writes it: a shortcut written into DIRS
// record `dir`, pointing at FILES record `target` (type 1) or DIRS record
// `target` (type 0), named by the strings (one, "Name.lnk"). `base` is 0 in
// every CabWiz cabinet seen.
struct CabLink {
    uint16_t id;
    uint16_t dir;
    uint16_t base;
    uint16_t target;
    uint16_t type;
    std::vector<uint16_t> strings;
};
const uint16_t kCabLinkToDir = 0;
const uint16_t kCabLinkToFile = 1;

struct CabControl {
    std::string appName;
    std::string provider;
    // SYSTEM_INFO.dwProcessorType of the devices it is for (0: any), and the
    // Windows CE versions and builds (0: no limit).
    uint32_t architecture = 0;
    uint32_t minMajor = 0;
    uint32_t minMinor = 0;
    uint32_t maxMajor = 0;
    uint32_t maxMinor = 0;
    uint32_t minBuild = 0;
    uint32_t maxBuild = 0;
    std::vector<CabString> strings;
    std::vector<CabDir> dirs;
    std::vector<CabFile> files;
    std::vector<CabHive> hives;
    std::vector<CabValue> values;
    std::vector<CabLink> links;
};

// The control file's bytes. Names, strings and records must fit the 16-bit
// counts and lengths of the format (a few hundred bytes for Penwick).
std::vector<uint8_t> CabControlWrite(const CabControl& control);

// Reads a control file; false, with the reason in `problem`, when it is not
// one or not consistent.
bool CabControlRead(const uint8_t* bytes, size_t size, CabControl* control, std::string* problem);

// The folder of DIRS record `dir` (its strings joined by backslashes), or
// of a REGHIVES record's strings; "" when an id is unknown.
std::string CabControlPath(const CabControl& control, const std::vector<uint16_t>& strings);

// The record of `records` with that id, or null.
template <typename Record>
const Record* CabFind(const std::vector<Record>& records, uint16_t id) {
    for (const Record& record : records) {
        if (record.id == id) {
            return &record;
        }
    }
    return nullptr;
}

// A path with its leading %CEn% macro replaced by the Pocket PC folder it
// stands for (%CE1% is \Program Files); unknown macros are left as they are.
std::string CabExpandFolder(const std::string& path);

#endif

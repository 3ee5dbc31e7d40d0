#include "cab_container.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "cab_bytes.h"

namespace {

const uint32_t kHeaderSize = 36;
const uint32_t kFolderSize = 8;
const uint32_t kFileSize = 16;
const uint32_t kDataSize = 8;
const uint32_t kBlockSize = 32768;
const uint16_t kFlagPreviousCabinet = 0x0001;
const uint16_t kFlagNextCabinet = 0x0002;
const uint16_t kFlagReservePresent = 0x0004;
const uint16_t kAttributeArchive = 0x20;

// The cabinet checksum: the 32-bit little-endian words XORed together, the
// last one to three bytes taken most significant first, as Microsoft's
// cabinet code does.
uint32_t Checksum(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        sum ^= ModuleRead32(data + i);
    }
    uint32_t tail = 0;
    for (; i < size; i++) {
        tail = tail << 8 | data[i];
    }
    return sum ^ tail;
}

// A CFDATA block's checksum: its data, then its two 16-bit sizes.
uint32_t DataChecksum(const uint8_t* data, size_t size, const uint8_t* sizes) {
    return Checksum(sizes, 4, Checksum(data, size, 0));
}

// Reads the uncompressed data of folder `index` into `stream`.
bool ReadFolder(const uint8_t* bytes, uint32_t cabinetSize, const uint8_t* folder, uint32_t index,
                uint32_t dataReserve, std::vector<uint8_t>* stream, std::string* problem) {
    const std::string name = "folder " + std::to_string(index);
    const uint32_t compression = ModuleRead16(folder + 6) & 0x000F;
    if (compression != 0) {
        static const char* const kMethods[] = {"NONE", "MSZIP", "Quantum", "LZX"};
        return CabRefuse(problem,
                         name + " is compressed (" +
                             (compression < 4 ? kMethods[compression] : "method " + std::to_string(compression)) +
                             "); only uncompressed cabinets are read");
    }
    uint64_t at = ModuleRead32(folder);
    for (uint32_t block = 0, blocks = ModuleRead16(folder + 4); block < blocks; block++) {
        const std::string where = "data block " + std::to_string(block) + " of " + name;
        if (at + kDataSize + dataReserve > cabinetSize) {
            return CabRefuse(problem, where + " runs past the cabinet's end");
        }
        const uint8_t* header = bytes + at;
        const uint32_t size = ModuleRead16(header + 4);
        if (size != ModuleRead16(header + 6) || size > kBlockSize) {
            return CabRefuse(problem, where + " has sizes " + std::to_string(size) + " and " +
                                          std::to_string(ModuleRead16(header + 6)) + ", not one size of at most 32768");
        }
        at += kDataSize + dataReserve;
        if (at + size > cabinetSize) {
            return CabRefuse(problem, where + " runs past the cabinet's end");
        }
        const uint32_t checksum = ModuleRead32(header);
        if (checksum != 0 && checksum != DataChecksum(bytes + at, size, header + 4)) {
            return CabRefuse(problem, where + " fails its checksum: the cabinet is damaged");
        }
        stream->insert(stream->end(), bytes + at, bytes + at + size);
        at += size;
    }
    return true;
}

}  // namespace

bool CabDosTimeParse(const std::string& text, CabDosTime* time) {
    unsigned year, month, day, hour, minute, second;
    char separator;
    char rest;
    if (sscanf(text.c_str(), "%4u-%2u-%2u%c%2u:%2u:%2u%c", &year, &month, &day, &separator, &hour, &minute, &second,
               &rest) != 7 ||
        (separator != 'T' && separator != ' ') || year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 ||
        day > 31 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    time->date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
    time->time = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
    return true;
}

bool CabContainerWrite(const std::vector<CabMember>& members, CabDosTime time, std::vector<uint8_t>* cabinet,
                       std::string* problem) {
    if (members.empty() || members.size() > 0xFFFF) {
        return CabRefuse(problem, "a cabinet holds 1 to 65535 members, not " + std::to_string(members.size()));
    }
    uint64_t streamSize = 0;
    uint64_t filesSize = 0;
    for (const CabMember& member : members) {
        if (member.name.empty() || member.name.size() > 255 ||
            !std::all_of(member.name.begin(), member.name.end(), [](char c) { return c > ' ' && c < 0x7F; })) {
            return CabRefuse(problem, "member name \"" + member.name + "\" is not 1 to 255 printable ASCII characters");
        }
        streamSize += member.bytes.size();
        filesSize += kFileSize + member.name.size() + 1;
    }
    const uint64_t blocks = (streamSize + kBlockSize - 1) / kBlockSize;
    const uint64_t dataStart = kHeaderSize + kFolderSize + filesSize;
    const uint64_t total = dataStart + blocks * kDataSize + streamSize;
    if (blocks > 0xFFFF || total > 0xFFFFFFFF) {
        return CabRefuse(problem,
                         "the members, " + std::to_string(streamSize) + " bytes, do not fit one cabinet folder");
    }

    std::vector<uint8_t>& out = *cabinet;
    out.clear();
    CabPutText(&out, "MSCF");
    CabPut32(&out, 0);
    CabPut32(&out, static_cast<uint32_t>(total));
    CabPut32(&out, 0);
    CabPut32(&out, kHeaderSize + kFolderSize);  // the first CFFILE
    CabPut32(&out, 0);
    out.push_back(3);  // format version 1.3
    out.push_back(1);
    CabPut16(&out, 1);  // one folder
    CabPut16(&out, static_cast<uint32_t>(members.size()));
    CabPut16(&out, 0);  // no reserve, no other volume
    CabPut16(&out, 0);  // set id
    CabPut16(&out, 0);  // this cabinet's number in the set

    CabPut32(&out, static_cast<uint32_t>(dataStart));
    CabPut16(&out, static_cast<uint32_t>(blocks));
    CabPut16(&out, 0);  // NONE

    std::vector<uint8_t> stream;
    stream.reserve(streamSize);
    for (const CabMember& member : members) {
        CabPut32(&out, static_cast<uint32_t>(member.bytes.size()));
        CabPut32(&out, static_cast<uint32_t>(stream.size()));
        CabPut16(&out, 0);
        CabPut16(&out, time.date);
        CabPut16(&out, time.time);
        CabPut16(&out, kAttributeArchive);
        CabPutText(&out, member.name);
        out.push_back(0);
        stream.insert(stream.end(), member.bytes.begin(), member.bytes.end());
    }

    for (size_t at = 0; at < stream.size(); at += kBlockSize) {
        const uint32_t size = static_cast<uint32_t>(std::min<size_t>(kBlockSize, stream.size() - at));
        const size_t header = out.size();
        CabPut32(&out, 0);
        CabPut16(&out, size);
        CabPut16(&out, size);
        CabSet32(&out, header, DataChecksum(stream.data() + at, size, out.data() + header + 4));
        out.insert(out.end(), stream.begin() + at, stream.begin() + at + size);
    }
    return true;
}

bool CabContainerRead(const uint8_t* bytes, size_t size, std::vector<CabMember>* members, std::string* problem) {
    members->clear();
    if (size < kHeaderSize) {
        return CabRefuse(problem, "the file is " + std::to_string(size) + " bytes, too short for a cabinet");
    }
    if (memcmp(bytes, "MSCF", 4) != 0) {
        return CabRefuse(problem, "not a cabinet: it does not begin with MSCF");
    }
    const uint32_t cabinetSize = ModuleRead32(bytes + 8);
    if (cabinetSize > size) {
        return CabRefuse(problem, "the cabinet says it is " + std::to_string(cabinetSize) +
                                      " bytes long, but the file has only " + std::to_string(size) +
                                      ": it was copied incompletely");
    }
    if (cabinetSize < kHeaderSize) {
        return CabRefuse(problem,
                         "the cabinet says it is " + std::to_string(cabinetSize) + " bytes long, less than its header");
    }
    if (bytes[25] != 1) {
        return CabRefuse(problem, "cabinet format version " + std::to_string(bytes[25]) + "." +
                                      std::to_string(bytes[24]) + ", not 1.3");
    }
    const uint32_t flags = ModuleRead16(bytes + 30);
    if (flags & (kFlagPreviousCabinet | kFlagNextCabinet)) {
        return CabRefuse(problem, "the cabinet is one part of a multi-volume set");
    }
    uint64_t at = kHeaderSize;
    uint32_t folderReserve = 0;
    uint32_t dataReserve = 0;
    if (flags & kFlagReservePresent) {
        if (at + 4 > cabinetSize) {
            return CabRefuse(problem, "the cabinet's reserve sizes run past its end");
        }
        folderReserve = bytes[38];
        dataReserve = bytes[39];
        at += 4 + ModuleRead16(bytes + 36);
    }
    const uint32_t folderCount = ModuleRead16(bytes + 26);
    if (folderCount == 0) {
        return CabRefuse(problem, "the cabinet has no folder");
    }
    std::vector<std::vector<uint8_t>> folders(folderCount);
    uint64_t folderBytes = 0;
    for (uint32_t folder = 0; folder < folderCount; folder++, at += kFolderSize + folderReserve) {
        if (at + kFolderSize + folderReserve > cabinetSize) {
            return CabRefuse(problem, "the cabinet's folder entries run past its end");
        }
        if (!ReadFolder(bytes, cabinetSize, bytes + at, folder, dataReserve, &folders[folder], problem)) {
            return false;
        }
        // In a cabinet whose folders do not overlap, their data is no
        // larger than the cabinet.
        folderBytes += folders[folder].size();
        if (folderBytes > cabinetSize) {
            return CabRefuse(problem, "the cabinet's folders share their data blocks");
        }
    }

    at = ModuleRead32(bytes + 16);
    uint64_t memberBytes = 0;
    for (uint32_t file = 0, files = ModuleRead16(bytes + 28); file < files; file++) {
        if (at + kFileSize >= cabinetSize) {
            return CabRefuse(problem, "the cabinet's file entries run past its end");
        }
        const uint8_t* entry = bytes + at;
        const uint8_t* nameEnd = std::find(entry + kFileSize, bytes + cabinetSize, 0);
        if (nameEnd == bytes + cabinetSize) {
            return CabRefuse(problem, "the cabinet's file entries run past its end");
        }
        CabMember member;
        member.name.assign(entry + kFileSize, nameEnd);
        at = static_cast<uint64_t>(nameEnd + 1 - bytes);
        const uint32_t memberSize = ModuleRead32(entry);
        const uint32_t offset = ModuleRead32(entry + 4);
        const uint32_t folder = ModuleRead16(entry + 8);
        if (folder >= folderCount) {
            return CabRefuse(problem, "member " + member.name + " is in folder " + std::to_string(folder) +
                                          ", which the cabinet lacks");
        }
        const std::vector<uint8_t>& data = folders[folder];
        if (static_cast<uint64_t>(offset) + memberSize > data.size()) {
            return CabRefuse(problem, "member " + member.name + " is cut short: it needs " +
                                          std::to_string(static_cast<uint64_t>(offset) + memberSize) +
                                          " bytes of its folder, " + "which has " + std::to_string(data.size()));
        }
        // Members of a sound cabinet do not overlap either.
        memberBytes += memberSize;
        if (memberBytes > folderBytes) {
            return CabRefuse(problem, "the cabinet's members overlap");
        }
        member.bytes.assign(data.begin() + offset, data.begin() + offset + memberSize);
        members->push_back(std::move(member));
    }
    return true;
}

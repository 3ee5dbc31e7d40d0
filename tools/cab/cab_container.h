// The Microsoft cabinet (MS-CAB) that holds a Windows CE installation's
// members: a 36-byte CFHEADER, CFFOLDER entries, one CFFILE per member
// (size, offset in its folder's data, DOS date and time, attributes, name),
// then each folder's data in CFDATA blocks of at most 32 KiB, each with its
// checksum.
//
// The writer makes what Windows CE's installer takes and CabWiz makes: one
// cabinet (not a multi-volume set), uncompressed (NONE), here in one folder;
// every member archived (attribute 0x20) with the one date and time it is
// given, so that the same members make the same cabinet byte for byte.
//
// The reader takes uncompressed cabinets with or without reserved areas
// (osslsigncode's signature adds one to the header, and the signature itself
// after the cabinet's stated length), and refuses, with one sentence, a
// cabinet that is cut short, inconsistent or fails a checksum.
#ifndef PENWICK_TOOLS_CAB_CAB_CONTAINER_H
#define PENWICK_TOOLS_CAB_CAB_CONTAINER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct CabMember {
    std::string name;
    std::vector<uint8_t> bytes;
};

// A date and time as MS-DOS packs them, as CFFILE records carry them.
struct CabDosTime {
    uint16_t date;
    uint16_t time;
};

// "YYYY-MM-DDTHH:MM:SS" (a space for the T will do), 1980 to 2107; false
// for anything else.
bool CabDosTimeParse(const std::string& text, CabDosTime* time);

// The cabinet holding `members` in that order; false, with the reason, when
// they do not fit one (names must be ASCII, under 256 bytes).
bool CabContainerWrite(const std::vector<CabMember>& members, CabDosTime time, std::vector<uint8_t>* cabinet,
                       std::string* problem);

// The members of a cabinet, in the order of its CFFILE records.
bool CabContainerRead(const uint8_t* bytes, size_t size, std::vector<CabMember>* members, std::string* problem);

#endif

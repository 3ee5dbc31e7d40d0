// Penwick's installation cabinet for Windows Mobile 5.0: what goes into it
// and how it is read back.
//
// Making it: the files go into one folder, %CE1%\Penwick (\Program
// Files\Penwick), as FILES records 1, 2, ... in the order given. The cabinet
// holds, in the order CabWiz writes them, the control file (.000), the setup
// DLL when there is one (.999, which no record lists: the installer calls
// it), the files from the last to the first, and _setup.xml, the same
// installation for the XML installer of Windows Mobile 5 and later. Members
// are named XXXXXXXX.NNN: the file's name without extension, left-padded
// with 0 to 8 characters or cut to its first six and ~1, then the record's
// number, the only part the installer reads.
//
// Reading it: the cabinet (cab_container.h), its control file
// (cab_control.h), and that they agree: one control file, no two members
// with one number, a member for every FILES record.
#ifndef PENWICK_TOOLS_CAB_CAB_PACKAGE_H
#define PENWICK_TOOLS_CAB_CAB_PACKAGE_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "cab_container.h"
#include "cab_control.h"

// A file to install: its name on the device and its bytes.
using CabPayload = CabMember;

// The control file of Penwick's cabinet holding `files`: Penwick by Penwick
// Project, for ARM devices (processor type 2577) with Windows CE 5.01
// (Windows Mobile 5.0) or later, square and rotating screens supported.
CabControl CabPackageControl(const std::vector<CabPayload>& files);

// The member name of member `number`, made from the installed name `name`.
std::string CabMemberName(const std::string& name, uint16_t number);

// _setup.xml for the cabinet whose control file is `control`, with
// SetupDLL=1 when the cabinet carries a setup DLL.
std::string CabSetupXml(const CabControl& control, bool setupDll);

// The members of Penwick's cabinet, in order; `setupDll` may be null.
// False, with the reason, when a file's name is not one the device takes.
bool CabPackageMembers(const std::vector<CabPayload>& files, const CabPayload* setupDll,
                       std::vector<CabMember>* members, std::string* problem);

// A cabinet read back.
struct CabContents {
    std::vector<CabMember> members;
    CabControl control;
    // The index in `members` of each member named XXXXXXXX.NNN, by NNN: 0
    // the control file, the FILES records' ids, 999 the setup DLL.
    std::map<int, size_t> numbered;
};

// Reads any Windows CE installation cabinet; false, with the reason in one
// sentence, when it is damaged or inconsistent.
bool CabRead(const uint8_t* bytes, size_t size, CabContents* contents, std::string* problem);

// What the cabinet installs, one line each: the application, then every
// file with its destination and member, the setup DLL, registry values and
// shortcuts.
std::vector<std::string> CabListing(const CabContents& contents);

#endif

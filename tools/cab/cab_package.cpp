#include "cab_package.h"

#include <ctype.h>
#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <map>

#include "cab_bytes.h"

namespace {

const char kAppName[] = "Penwick";
const char kProvider[] = "Penwick Project";
const char kInstallDir[] = "%CE1%\\Penwick";
const uint16_t kInstallDirId = 1;
const uint16_t kSetupDllNumber = 999;
const char kSetupXmlName[] = "_setup.xml";

// Windows Mobile 5.0 on ARM reports processor type 2577 (StrongARM's
// number); its installer compares it, and checks the minimum system version
// (but not the maximum). BuildMax 0xE0000000 says the application copes with
// square and rotated screens, which keeps older systems from warning that
// it may not display properly.
const uint32_t kArchitecture = 2577;
const uint32_t kMinMajor = 5;
const uint32_t kMinMinor = 1;
const uint32_t kMaxMajor = 99;
const uint32_t kMaxMinor = 99;
const uint32_t kMaxBuild = 0xE0000000;

// The number of a member named XXXXXXXX.NNN; -1 for any other name.
int MemberNumber(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4 ||
        !std::all_of(name.begin() + dot + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::stoi(name.substr(dot + 1));
}

// A name as the device shows it: printable ASCII, which is what the control
// file holds (it has no code page).
bool DeviceName(const std::string& name) {
    return !name.empty() && name.size() < 256 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= ' ' && c < 0x7F && c != '\\'; });
}

std::string XmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string Version(uint32_t major, uint32_t minor) {
    char text[32];
    snprintf(text, sizeof text, "%u.%02u", major, minor);
    return text;
}

std::string ValueText(const CabValue& value) {
    const uint32_t type = value.type & ~kCabValueNoClobber;
    const std::vector<uint8_t>& data = value.data;
    std::string text;
    if (type == kCabValueString || type == kCabValueMultiString) {
        // Strings, each NUL-terminated; shown separated by " | ".
        std::string current;
        std::vector<std::string> strings;
        for (uint8_t byte : data) {
            if (byte == 0) {
                strings.push_back(current);
                current.clear();
            } else {
                current += static_cast<char>(byte);
            }
        }
        if (!current.empty()) {
            strings.push_back(current);
        }
        while (type == kCabValueMultiString && !strings.empty() && strings.back().empty()) {
            strings.pop_back();
        }
        for (size_t i = 0; i < strings.size() && (type == kCabValueMultiString || i == 0); i++) {
            text += (i == 0 ? "\"" : " | \"") + strings[i] + "\"";
        }
        text += type == kCabValueString ? " (string" : " (multi-string";
    } else if (type == kCabValueDword && data.size() == 4) {
        char number[16];
        snprintf(number, sizeof number, "0x%08X", ModuleRead32(data.data()));
        text = number + std::string(" (dword");
    } else {
        for (uint8_t byte : data) {
            char hex[4];
            snprintf(hex, sizeof hex, "%02x", byte);
            text += hex;
        }
        char kind[32];
        snprintf(kind, sizeof kind, " (type 0x%08X", type);
        text += kind;
    }
    text += value.substitute ? ", expanded" : "";
    text += value.type & kCabValueNoClobber ? ", kept if set" : "";
    return text + ")";
}

}  // namespace

CabControl CabPackageControl(const std::vector<CabPayload>& files) {
    CabControl control;
    control.appName = kAppName;
    control.provider = kProvider;
    control.architecture = kArchitecture;
    control.minMajor = kMinMajor;
    control.minMinor = kMinMinor;
    control.maxMajor = kMaxMajor;
    control.maxMinor = kMaxMinor;
    control.maxBuild = kMaxBuild;
    control.strings.push_back({kInstallDirId, kInstallDir});
    control.dirs.push_back({kInstallDirId, {kInstallDirId}});
    for (size_t i = 0; i < files.size(); i++) {
        control.files.push_back({static_cast<uint16_t>(i + 1), kInstallDirId, 0, files[i].name});
    }
    return control;
}

std::string CabMemberName(const std::string& name, uint16_t number) {
    std::string base = name.substr(0, name.rfind('.'));
    // What an 8.3 name may hold; anything else becomes _.
    const std::string allowed = "!#$%&'()-@^_`{}~";
    for (char& c : base) {
        if (!isalnum(static_cast<unsigned char>(c)) && allowed.find(c) == std::string::npos) {
            c = '_';
        }
    }
    if (base.size() > 8) {
        base = base.substr(0, 6) + "~1";
        std::transform(base.begin(), base.end(), base.begin(), [](char c) { return static_cast<char>(toupper(c)); });
    }
    char extension[8];
    snprintf(extension, sizeof extension, ".%03u", static_cast<unsigned>(number));
    return std::string(8 - base.size(), '0') + base + extension;
}

std::string CabSetupXml(const CabControl& control, bool setupDll) {
    const std::string installDir = CabControlPath(control, {kInstallDirId});
    std::string xml = "<wap-provisioningdoc>\r\n  <characteristic type=\"Install\">\r\n";
    auto parm = [&xml](const std::string& name, const std::string& value, const char* more = "") {
        xml += "    <parm name=\"" + name + "\" value=\"" + XmlText(value) + "\"" + more + " />\r\n";
    };
    parm("InstallPhase", "install");
    if (setupDll) {
        parm("SetupDLL", "1");
    }
    parm("OSVersionMin", Version(control.minMajor, control.minMinor));
    parm("OSVersionMax", Version(control.maxMajor, control.maxMinor));
    parm("AppName", control.provider + " " + control.appName);
    parm("InstallDir", installDir, " translation=\"install\"");
    parm("NumDirs", std::to_string(control.dirs.size()));
    parm("NumFiles", std::to_string(control.files.size()));
    parm("NumRegKeys", std::to_string(control.hives.size()));
    parm("NumRegVals", std::to_string(control.values.size()));
    parm("NumShortcuts", std::to_string(control.links.size()));
    xml += "  </characteristic>\r\n  <characteristic type=\"FileOperation\">\r\n";
    for (const CabDir& dir : control.dirs) {
        std::string path = CabControlPath(control, dir.strings);
        if (path.compare(0, installDir.size(), installDir) == 0) {
            path = "%InstallDir%" + path.substr(installDir.size());
        }
        xml += "    <characteristic type=\"" + XmlText(path) + "\" translation=\"install\">\r\n"
               "      <characteristic type=\"MakeDir\" />\r\n";
        for (const CabFile& file : control.files) {
            if (file.dir == dir.id) {
                xml += "      <characteristic type=\"" + XmlText(file.name) + "\" translation=\"install\">\r\n"
                       "        <characteristic type=\"Extract\">\r\n"
                       "          <parm name=\"Source\" value=\"" + XmlText(CabMemberName(file.name, file.id)) +
                       "\" />\r\n        </characteristic>\r\n      </characteristic>\r\n";
            }
        }
        xml += "    </characteristic>\r\n";
    }
    xml += "  </characteristic>\r\n  <characteristic type=\"Registry\">\r\n  </characteristic>\r\n"
           "</wap-provisioningdoc>\r\n";
    return xml;
}

bool CabPackageMembers(const std::vector<CabPayload>& files, const CabPayload* setupDll,
                       std::vector<CabMember>* members, std::string* problem) {
    if (files.empty() || files.size() >= kSetupDllNumber) {
        return CabRefuse(problem, "a cabinet installs 1 to 998 files, not " + std::to_string(files.size()));
    }
    for (const CabPayload& file : files) {
        if (!DeviceName(file.name)) {
            return CabRefuse(problem, "\"" + file.name + "\" is not a file name the device takes (printable ASCII)");
        }
        for (const CabPayload& other : files) {
            // The device's file names are not case-sensitive.
            if (&other != &file && strcasecmp(other.name.c_str(), file.name.c_str()) == 0) {
                return CabRefuse(problem, "two files are named " + file.name);
            }
        }
    }
    const CabControl control = CabPackageControl(files);
    members->clear();
    members->push_back({CabMemberName(control.appName, 0), CabControlWrite(control)});
    if (setupDll) {
        members->push_back({CabMemberName(setupDll->name, kSetupDllNumber), setupDll->bytes});
    }
    for (size_t i = files.size(); i-- > 0;) {
        members->push_back({CabMemberName(files[i].name, control.files[i].id), files[i].bytes});
    }
    const std::string xml = CabSetupXml(control, setupDll != nullptr);
    members->push_back({kSetupXmlName, std::vector<uint8_t>(xml.begin(), xml.end())});
    return true;
}

bool CabRead(const uint8_t* bytes, size_t size, CabContents* contents, std::string* problem) {
    *contents = CabContents();
    if (!CabContainerRead(bytes, size, &contents->members, problem)) {
        return false;
    }
    std::map<int, size_t>& numbered = contents->numbered;
    for (size_t i = 0; i < contents->members.size(); i++) {
        const CabMember& member = contents->members[i];
        int number = MemberNumber(member.name);
        if (number >= 0 && !numbered.emplace(number, i).second) {
            return CabRefuse(problem, "two members are numbered " + member.name.substr(member.name.size() - 3));
        }
    }
    auto control = numbered.find(0);
    if (control == numbered.end()) {
        return CabRefuse(problem, "the cabinet has no control file (a member named .000)");
    }
    const std::vector<uint8_t>& controlBytes = contents->members[control->second].bytes;
    if (!CabControlRead(controlBytes.data(), controlBytes.size(), &contents->control, problem)) {
        return false;
    }
    for (const CabFile& file : contents->control.files) {
        if (file.id == 0 || !numbered.count(file.id)) {
            return CabRefuse(problem, "FILES record " + std::to_string(file.id) + " installs " + file.name +
                                          " from a member the cabinet lacks");
        }
    }
    return true;
}

std::vector<std::string> CabListing(const CabContents& contents) {
    const CabControl& control = contents.control;
    std::vector<std::string> lines;
    lines.push_back(control.provider + " " + control.appName + ": processor type " +
                    std::to_string(control.architecture) + ", Windows CE " +
                    Version(control.minMajor, control.minMinor) + " to " +
                    Version(control.maxMajor, control.maxMinor));
    std::map<uint16_t, std::string> installed;
    for (const CabFile& file : control.files) {
        const CabMember* member = &contents.members[contents.numbered.at(file.id)];
        std::string path = CabExpandFolder(CabControlPath(control, CabFind(control.dirs, file.dir)->strings));
        installed[file.id] = path + "\\" + file.name;
        lines.push_back("file " + installed[file.id] + " from " + member->name + ", " +
                        std::to_string(member->bytes.size()) + " bytes");
    }
    auto setupDll = contents.numbered.find(kSetupDllNumber);
    if (setupDll != contents.numbered.end()) {
        const CabMember& member = contents.members[setupDll->second];
        lines.push_back("setup DLL " + member.name + ", " + std::to_string(member.bytes.size()) + " bytes");
    }
    static const char* const kRoots[] = {"", "HKCR", "HKCU", "HKLM", "HKU"};
    for (const CabValue& value : control.values) {
        if (const CabHive* hive = CabFind(control.hives, value.hive)) {
            const std::string root = hive->root < 5 && hive->root > 0 ? kRoots[hive->root] : std::to_string(hive->root);
            lines.push_back("registry " + root + "\\" + CabControlPath(control, hive->strings) + ": " +
                            (value.name.empty() ? "(default)" : value.name) + " = " + ValueText(value));
        }
    }
    for (const CabLink& link : control.links) {
        const std::string folder = CabExpandFolder(CabControlPath(control, CabFind(control.dirs, link.dir)->strings));
        const std::string target = link.type == kCabLinkToFile
                                       ? installed[link.target]
                                       : CabExpandFolder(CabControlPath(control, CabFind(control.dirs, link.target)->strings));
        lines.push_back("shortcut " + folder + "\\" + CabControlPath(control, link.strings) + " to " + target);
    }
    return lines;
}

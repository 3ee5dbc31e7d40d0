// penwick_cab make CAB --date YYYY-MM-DDTHH:MM:SS [--setup-dll DLL] FILE...
// penwick_cab list CAB
//
// make writes Penwick's installation cabinet for Windows Mobile 5.0
// (cab_package.h): the FILEs go into \Program Files\Penwick under their own
// names, DLL is the setup DLL the installer calls, and every member carries
// the given date, so that the same files make the same cabinet. CAB is
// written whole or not at all.
//
// list prints what a Windows CE installation cabinet installs, or refuses a
// damaged or inconsistent one with one line saying why (exit status 1).
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>

#include "cab_package.h"

namespace {

int Usage() {
    fprintf(stderr,
            "usage: penwick_cab make CAB --date YYYY-MM-DDTHH:MM:SS [--setup-dll DLL] FILE...\n"
            "       penwick_cab list CAB\n");
    return 2;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool ReadPayload(const std::string& path, CabPayload* payload) {
    size_t slash = path.find_last_of('/');
    payload->name = slash == std::string::npos ? path : path.substr(slash + 1);
    return ReadFile(path, &payload->bytes);
}

// A cabinet's names are its own bytes: shown with anything unprintable as
// ?, so that a reason stays one line.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (c < ' ' || c >= 0x7F) {
            c = '?';
        }
    }
    return text;
}

int Fail(const std::string& path, const std::string& problem) {
    fprintf(stderr, "penwick_cab: %s: %s\n", path.c_str(), Printable(problem).c_str());
    return 1;
}

int Make(int argc, char** argv) {
    const std::string output = argv[2];
    CabDosTime time{};
    bool dated = false;
    CabPayload setupDll;
    bool hasSetupDll = false;
    std::vector<CabPayload> files;
    for (int i = 3; i < argc; i++) {
        std::string argument = argv[i];
        if ((argument == "--date" || argument == "--setup-dll") && i + 1 == argc) {
            return Usage();
        }
        if (argument == "--date") {
            if (!CabDosTimeParse(argv[++i], &time)) {
                return Fail(argv[i], "not a date and time from 1980 to 2107 as YYYY-MM-DDTHH:MM:SS");
            }
            dated = true;
        } else if (argument == "--setup-dll") {
            hasSetupDll = true;
            if (!ReadPayload(argv[++i], &setupDll)) {
                return Fail(argv[i], "cannot be read");
            }
        } else {
            files.emplace_back();
            if (!ReadPayload(argument, &files.back())) {
                return Fail(argument, "cannot be read");
            }
        }
    }
    if (!dated || files.empty()) {
        return Usage();
    }
    std::vector<CabMember> members;
    std::vector<uint8_t> cabinet;
    std::string problem;
    if (!CabPackageMembers(files, hasSetupDll ? &setupDll : nullptr, &members, &problem) ||
        !CabContainerWrite(members, time, &cabinet, &problem)) {
        return Fail(output, problem);
    }
    const std::string temporary = output + ".part";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(cabinet.data()), static_cast<std::streamsize>(cabinet.size()));
    out.close();
    if (!out || rename(temporary.c_str(), output.c_str()) != 0) {
        remove(temporary.c_str());
        return Fail(output, "cannot be written");
    }
    return 0;
}

int List(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, &bytes)) {
        return Fail(path, "cannot be read");
    }
    CabContents contents;
    std::string problem;
    if (!CabRead(bytes.data(), bytes.size(), &contents, &problem)) {
        return Fail(path, problem);
    }
    for (const std::string& line : CabListing(contents)) {
        printf("%s\n", Printable(line).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "make") == 0) {
        return Make(argc, argv);
    }
    if (argc == 3 && strcmp(argv[1], "list") == 0) {
        return List(argv[2]);
    }
    return Usage();
}

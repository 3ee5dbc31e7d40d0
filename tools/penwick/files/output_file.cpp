#include "files/output_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "files/input.h"

namespace {

// Where a file is written in place: devices and pipes (/dev/null, a FIFO)
// and dangling links, since renaming a file over them would replace them.
bool WrittenInPlace(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        return !S_ISREG(status.st_mode);
    }
    return lstat(path.c_str(), &status) == 0;
}

// The file a path names, through any symbolic links (/dev/stdout to the
// file it was redirected to), so that the rename replaces the file and not
// the link.
std::string LinkTarget(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string target = resolved;
    free(resolved);
    return target;
}

void WriteDirectly(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    out.close();
    if (!out) {
        throw InputError(path, 0, "cannot write");
    }
}

}  // namespace

void WriteOutputFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::pair<std::string, std::string>> regular;
    for (const auto& [path, content] : files) {
        if (WrittenInPlace(path)) {
            WriteDirectly(path, content);
        } else {
            regular.push_back({LinkTarget(path), content});
        }
    }
    std::vector<std::string> temporaries;
    auto removeTemporaries = [&]() {
        for (const std::string& temporary : temporaries) {
            remove(temporary.c_str());
        }
    };
    for (const auto& [path, content] : regular) {
        std::string temporary = path + ".tmp" + std::to_string(getpid());
        temporaries.push_back(temporary);
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) {
            removeTemporaries();
            throw InputError(path, 0, "cannot write");
        }
    }
    for (size_t i = 0; i < regular.size(); i++) {
        if (rename(temporaries[i].c_str(), regular[i].first.c_str()) != 0) {
            removeTemporaries();
            throw InputError(regular[i].first, 0, "cannot write");
        }
    }
}

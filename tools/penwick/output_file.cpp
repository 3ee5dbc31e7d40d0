#include "output_file.h"

#include <stdio.h>
#include <unistd.h>

#include <fstream>

#include "input.h"

void WriteOutputFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> temporaries;
    auto removeTemporaries = [&]() {
        for (const std::string& temporary : temporaries) {
            remove(temporary.c_str());
        }
    };
    for (const auto& [path, content] : files) {
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
    for (size_t i = 0; i < files.size(); i++) {
        if (rename(temporaries[i].c_str(), files[i].first.c_str()) != 0) {
            removeTemporaries();
            throw InputError(files[i].first, 0, "cannot write");
        }
    }
}

// For tests that sign modules: running osslsigncode and openssl, and files
// of bytes.
#ifndef PENWICK_TESTS_TRUST_SIGNING_SUPPORT_H
#define PENWICK_TESTS_TRUST_SIGNING_SUPPORT_H

#include <stdint.h>
#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The command's standard output and error, and whether it exited 0.
inline bool RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, got);
    }
    int status = pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// `image` signed by osslsigncode with `pkcs12` and the digest `hash`
// ("sha1", "sha256"), through files in `folder`; empty when it failed.
inline std::vector<uint8_t> SignedImage(const std::vector<uint8_t>& image, const std::string& hash,
                                        const std::string& pkcs12, const std::string& password,
                                        const std::string& folder, const std::string& options = "",
                                        std::string* output = nullptr) {
    WriteFile(folder + "/unsigned.dll", image);
    remove((folder + "/signed.dll").c_str());
    if (!RunCommand("osslsigncode sign -pkcs12 " + pkcs12 + " -pass " + password + " -h " + hash +
                        " " + options + " -in " + folder + "/unsigned.dll -out " + folder +
                        "/signed.dll",
                    output)) {
        return {};
    }
    return ReadFile(folder + "/signed.dll");
}

#endif

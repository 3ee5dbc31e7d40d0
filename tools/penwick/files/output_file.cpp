#include "files/output_file.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "files/input.h"

namespace fs = std::filesystem;

namespace {

// Where a file is written in place: devices and pipes, and dangling links.
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

// The temporary files being written, so that a run stopped by Ctrl-C or a
// termination signal leaves none behind: the handler may only unlink.
const int kMostTemporaries = 8;
char g_temporaries[kMostTemporaries][4096];

void RemoveTemporariesAndStop(int signal) {
    for (char* temporary : g_temporaries) {
        if (temporary[0] != 0) {
            unlink(temporary);
        }
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void RememberTemporary(const std::string& path) {
    static bool handling = false;
    if (!handling) {
        handling = true;
        ::signal(SIGINT, RemoveTemporariesAndStop);
        ::signal(SIGTERM, RemoveTemporariesAndStop);
    }
    for (char* temporary : g_temporaries) {
        if (temporary[0] == 0 && path.size() < sizeof g_temporaries[0]) {
            memcpy(temporary, path.c_str(), path.size() + 1);
            return;
        }
    }
}

void ForgetTemporary(const std::string& path) {
    for (char* temporary : g_temporaries) {
        if (path == temporary) {
            temporary[0] = 0;
        }
    }
}

// "cannot write: REASON", the system's reason for the last failure.
std::string CannotWrite() { return std::string("cannot write: ") + strerror(errno); }

}  // namespace

void CheckWritable(const NamedPath& output) {
    if (output.path == "-") {
        return;
    }
    struct stat status;
    if (stat(output.path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            throw InputError(output.role, 0, "'" + output.path + "' is a folder, not a file");
        }
        if (!S_ISREG(status.st_mode)) {  // a device or a pipe, written in place
            if (access(output.path.c_str(), W_OK) != 0) {
                throw InputError(output.role, 0, "'" + output.path + "': " + CannotWrite());
            }
            return;
        }
    }
    // A new file, or one replaced, is made in its folder.
    std::string folder = fs::path(LinkTarget(output.path)).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    int problem = 0;
    if (stat(folder.c_str(), &status) != 0) {
        problem = errno;
    } else if (!S_ISDIR(status.st_mode)) {
        problem = ENOTDIR;
    } else if (access(folder.c_str(), W_OK | X_OK) != 0) {
        problem = errno;
    }
    if (problem != 0) {
        throw InputError(output.role, 0,
                         "'" + output.path + "': cannot write in the folder '" + folder +
                             "': " + strerror(problem));
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") {
        return a == b;
    }
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    return fs::weakly_canonical(fs::absolute(a), error) == fs::weakly_canonical(fs::absolute(b), error);
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (path == "-") {
        file_ = stdout;
        return;
    }
    if (WrittenInPlace(path)) {
        target_ = path;
        file_ = fopen(path.c_str(), "wb");
    } else {
        target_ = LinkTarget(path);
        temporary_ = target_ + ".tmp" + std::to_string(getpid());
        RememberTemporary(temporary_);
        file_ = fopen(temporary_.c_str(), "wb");
    }
    if (file_ == nullptr) {
        throw InputError(path_, 0, CannotWrite());
    }
}

OutputFile::~OutputFile() {
    if (file_ != nullptr && file_ != stdout) {
        fclose(file_);
    }
    if (!temporary_.empty()) {
        remove(temporary_.c_str());
        ForgetTemporary(temporary_);
    }
}

void OutputFile::Write(const std::string& text) {
    if (fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        throw InputError(path_, 0, CannotWrite());
    }
}

void OutputFile::Commit() {
    errno = 0;
    bool failed = fflush(file_) != 0;
    if (file_ != stdout) {
        failed = fclose(file_) != 0 || failed;
    }
    file_ = nullptr;
    if (!failed && !temporary_.empty()) {
        failed = rename(temporary_.c_str(), target_.c_str()) != 0;
        if (!failed) {
            ForgetTemporary(temporary_);
            temporary_.clear();
        }
    }
    if (failed) {
        throw InputError(path_, 0, CannotWrite());
    }
}

void WriteOutputFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::unique_ptr<OutputFile>> outputs;
    for (const auto& [path, content] : files) {
        outputs.push_back(std::make_unique<OutputFile>(path));
        outputs.back()->Write(content);
    }
    for (auto& output : outputs) {
        output->Commit();
    }
}

void CheckOutputPaths(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs) {
    for (const NamedPath& output : outputs) {
        CheckWritable(output);
    }
    int standardInputs = 0;
    for (const NamedPath& input : inputs) {
        standardInputs += input.path == "-";
        if (standardInputs > 1) {
            throw InputError(input.role, 0, "standard input (-) can be read only once");
        }
    }
    for (size_t i = 0; i < outputs.size(); i++) {
        for (const NamedPath& input : inputs) {
            // Standard input may be a file an output names.
            std::string path = input.path == "-" ? "/dev/stdin" : input.path;
            if (outputs[i].path != "-" && SameFile(outputs[i].path, path)) {
                throw InputError(outputs[i].role, 0,
                                 "'" + outputs[i].path + "' is " + input.role + " '" + input.path +
                                     "': an output may not replace an input");
            }
        }
        for (size_t j = 0; j < i; j++) {
            if (SameFile(outputs[i].path, outputs[j].path)) {
                throw InputError(outputs[i].role, 0,
                                 "'" + outputs[i].path + "' is also " + outputs[j].role + " '" +
                                     outputs[j].path + "': each output needs a file of its own");
            }
        }
    }
}

// Output files appear whole or not at all: each is written to a temporary
// file beside it and renamed into place once everything was written. "-"
// is standard output; devices and pipes (/dev/null, a FIFO) are written in
// place, since renaming a file over them would replace them.
#ifndef PENWICK_TOOLS_FILES_OUTPUT_FILE_H
#define PENWICK_TOOLS_FILES_OUTPUT_FILE_H

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

// An output written as it goes. Nothing appears at the path until Commit();
// destroyed without it, the temporary file is removed.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);  // throws InputError
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const std::string& text);  // throws InputError
    void Commit();                        // throws InputError

private:
    std::string path_;       // as the user gave it
    std::string target_;     // the file it names, through symbolic links
    std::string temporary_;  // empty when written in place
    FILE* file_ = nullptr;
};

// Writes every (path, content) pair; on any failure none of the paths is
// created or replaced, and InputError names the file.
void WriteOutputFiles(const std::vector<std::pair<std::string, std::string>>& files);

// A file the user named, and what for: "the trace", "--out".
struct NamedPath {
    std::string role;
    std::string path;
};

// Whether two paths the user gave name the same file. "-" is standard input
// among inputs and standard output among outputs.
bool SameFile(const std::string& a, const std::string& b);

// Refuses an output that cannot be written: a folder, or a file in a folder
// that does not exist or may not be written to; InputError gives the
// system's reason.
void CheckWritable(const NamedPath& output);

// Refuses, before anything is written, an output that cannot be written
// (CheckWritable) or that is also an input or another output of the same
// run; InputError names both.
void CheckOutputPaths(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs);

#endif

// Output files appear whole or not at all: each is written to a temporary
// file beside it and renamed into place once everything was written.
#ifndef PENWICK_TOOLS_OUTPUT_FILE_H
#define PENWICK_TOOLS_OUTPUT_FILE_H

#include <string>
#include <utility>
#include <vector>

// Writes every (path, content) pair; on any failure none of the paths is
// created or replaced, and InputError names the file.
void WriteOutputFiles(const std::vector<std::pair<std::string, std::string>>& files);

#endif

// Reading what the user gives the tool. A problem with it is reported as one
// line naming the file and, where there is one, the line.
#ifndef PENWICK_TOOLS_INPUT_H
#define PENWICK_TOOLS_INPUT_H

#include <stdexcept>
#include <string>

class InputError : public std::runtime_error {
public:
    InputError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message) {}
};

// Parses a whole decimal or 0x-hex integer, optionally signed, in
// [low, high]; false when the text is not one.
bool ParseInteger(const std::string& text, long long low, long long high, long long* value);

// The text without leading and trailing blanks (spaces, tabs, CR).
std::string Trim(const std::string& text);

// The whole of a file, or of standard input for "-"; throws InputError.
std::string ReadInputFile(const std::string& path);

#endif

// Reading what the user gives the tool. A problem with it is reported as one
// line naming the file and, where there is one, the line.
#ifndef PENWICK_TOOLS_INPUT_H
#define PENWICK_TOOLS_INPUT_H

#include <stdint.h>

#include <stdexcept>
#include <string>
#include <string_view>

class InputError : public std::runtime_error {
public:
    InputError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(Printable(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " +
                                       message)) {}

private:
    // Control characters from the input (a NUL, a terminal's escapes) are
    // shown as '?'.
    static std::string Printable(std::string text) {
        for (char& c : text) {
            c = (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
        }
        return text;
    }
};

// A mistake on the command line that the parser of options cannot see (an
// option that needs another, a value of the wrong form): exit status 2, as
// for the parser's own, where input errors have 1. `option` takes the
// place of the file.
class UsageError : public InputError {
public:
    UsageError(const std::string& option, const std::string& message) : InputError(option, 0, message) {}
};

// Parses a whole decimal or 0x-hex integer, optionally signed, in
// [low, high]; false when the text is not one.
bool ParseInteger(std::string_view text, long long low, long long high, long long* value);

// "WxH" (or "WXH"), a screen size in pixels from 1 to 65535 each; false when
// the text is not one.
bool ParseScreenSize(std::string_view text, int32_t* width, int32_t* height);

// Appends one character (a code point below 0x110000) as UTF-8.
void AppendUtf8(std::string& out, uint32_t c);

// The text without leading and trailing blanks (spaces, tabs, CR).
std::string Trim(const std::string& text);
std::string_view Trim(std::string_view text);

// The whole of a file, or of standard input for "-"; throws InputError.
std::string ReadInputFile(const std::string& path);

// Throws InputError when the path names a folder, not a file.
void RequireNotFolder(const std::string& path);

#endif

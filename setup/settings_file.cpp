#include "setup/settings_file.h"

#include "platform/system_services.h"
#include "registry/registry_contract.h"
#include "registry/configuration_check.h"

namespace {

// The file's text as units: bytes of UTF-8, or UTF-16LE units after its
// byte-order mark. Every character that gives a line its form is ASCII, one
// unit in either; only names and strings are decoded to characters.
struct Source {
    const uint8_t* text;  // after any byte-order mark
    uint32_t units;
    bool wide;
};

char16_t UnitAt(const Source& source, uint32_t i) {
    if (source.wide) {
        const uint8_t* at = source.text + 2 * i;
        return static_cast<char16_t>(at[0] | at[1] << 8);
    }
    return source.text[i];
}

// One line, its blanks (spaces, tabs, carriage returns) trimmed from both ends.
struct Line {
    const Source* source;
    uint32_t begin;
    uint32_t length;
    int32_t number;
};

char16_t At(const Line& line, uint32_t i) {
    return i < line.length ? UnitAt(*line.source, line.begin + i) : 0;
}

// How many units the UTF-8 sequence at unit i of the line takes, and its
// character; 0 units when it is malformed, -1 when it is a character outside
// the Basic Multilingual Plane, which the registry's strings here do not hold.
int Utf8Sequence(const Line& line, uint32_t i, char16_t* character) {
    uint32_t lead = At(line, i);
    int units = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3 : 0;
    if (lead >= 0xF0 && lead < 0xF5) {
        return -1;
    }
    uint32_t code = units == 3 ? lead & 0x0F : lead & 0x1F;
    for (int k = 1; k < units; k++) {
        uint32_t next = At(line, i + k);
        if (i + k >= line.length || (next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    if (units == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) {
        return 0;
    }
    *character = static_cast<char16_t>(units == 1 ? lead : code);
    return units;
}

// The character at unit *i of the line, *i moved past it; the line's UTF-8
// has been found well formed.
char16_t NextCharacter(const Line& line, uint32_t* i) {
    char16_t c = At(line, *i);
    int units = 1;
    if (!line.source->wide && c >= 0x80) {
        units = Utf8Sequence(line, *i, &c);
    }
    *i += static_cast<uint32_t>(units);
    return c;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; }


int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool Refuse(SettingsFile* file, int32_t line, const char* why) {
    file->errorLine = line;
    file->error = why;
    return false;
}

// Whether the line's units from `at` on start with `text`, ASCII letters
// compared without regard to case.
bool StartsWith(const Line& line, uint32_t at, const char* text) {
    for (uint32_t i = 0; text[i] != 0; i++) {
        if (at + i >= line.length || AsciiUpper(At(line, at + i)) != AsciiUpper(text[i])) {
            return false;
        }
    }
    return true;
}

// Whether units [at, at + length) of the line name a key below
// HKEY_LOCAL_MACHINE (or HKLM) by the path given.
bool NamesKey(const Line& line, uint32_t at, uint32_t length, const char16_t* path) {
    const char* roots[] = {"HKEY_LOCAL_MACHINE\\", "HKLM\\"};
    for (const char* root : roots) {
        uint32_t rootLength = 0;
        while (root[rootLength] != 0) {
            rootLength++;
        }
        if (!StartsWith(line, at, root)) {
            continue;
        }
        uint32_t i = 0;
        for (; at + rootLength + i < at + length && path[i] != 0; i++) {
            if (AsciiUpper(At(line, at + rootLength + i)) != AsciiUpper(path[i])) {
                break;
            }
        }
        if (path[i] == 0 && rootLength + i == length) {
            return true;
        }
    }
    return false;
}

// Reads a quoted string that starts at the line's unit *at, a double quote,
// with \" and \\ escapes, into `text` of `units` units with its terminator;
// leaves *at after the closing quote and the string's length in *length.
bool ReadQuoted(SettingsFile* file, const Line& line, uint32_t* at, char16_t* text, uint32_t units,
                uint32_t* length, const char* tooLong) {
    uint32_t count = 0;
    for (uint32_t i = *at + 1; i < line.length;) {
        char16_t c = NextCharacter(line, &i);
        if (c == u'"') {
            text[count] = 0;
            *at = i;
            *length = count;
            return true;
        }
        if (c == u'\\') {
            if (i >= line.length) {
                break;
            }
            c = At(line, i++);
            if (c != u'"' && c != u'\\') {
                return Refuse(file, line.number, "unknown escape: only \\\" and \\\\ are read");
            }
        }
        if (count + 1 >= units) {
            return Refuse(file, line.number, tooLong);
        }
        text[count++] = c;
    }
    return Refuse(file, line.number, "string without its closing quote");
}

void RemoveValue(SettingsFile* file, const char16_t* name) {
    int kept = 0;
    for (int i = 0; i < file->count; i++) {
        if (!AsciiSameText(file->values[i].name, name)) {
            if (kept != i) {
                file->values[kept] = file->values[i];
            }
            kept++;
        }
    }
    file->count = kept;
}

// Where the value lines below the last key line go.
enum Section { SectionNone, SectionDeleted, SectionTouch, SectionPenwick };

struct Reader {
    SettingsFile* file;
    bool seenHeader;
    Section section;
    bool hexContinues;  // the last line ended hex data with a backslash
};

bool ReadHeader(Reader& r, const Line& line) {
    const char* headers[] = {"REGEDIT4", "Windows Registry Editor Version 5.00"};
    for (const char* header : headers) {
        uint32_t i = 0;
        while (header[i] != 0 && i < line.length && At(line, i) == header[i]) {
            i++;
        }
        if (header[i] == 0 && i == line.length) {
            r.seenHeader = true;
            return true;
        }
    }
    return Refuse(r.file, line.number,
                  "not a registry file: it must begin with REGEDIT4 or Windows Registry Editor "
                  "Version 5.00");
}

void NoteDeletion(SettingsFile* file, int32_t line) {
    if (file->firstDeletionLine == 0) {
        file->firstDeletionLine = line;
    }
}

bool ReadKeyLine(Reader& r, const Line& line) {
    SettingsFile* file = r.file;
    if (At(line, line.length - 1) != u']') {
        return Refuse(file, line.number, "key line without its closing ]");
    }
    bool deletes = line.length > 2 && At(line, 1) == u'-';
    uint32_t at = deletes ? 2 : 1;
    uint32_t length = line.length - at - 1;
    bool touch = NamesKey(line, at, length, kTouchKey);
    if (!touch && !NamesKey(line, at, length, kConfigurationKey)) {
        return Refuse(file, line.number,
                      "only Penwick's key and the touch key above it are read here");
    }
    if (deletes) {
        // Deleting the touch key deletes Penwick's below it.
        file->penwickKey = false;
        file->count = 0;
        if (touch) {
            file->touchKey = false;
            file->driverNamed = false;
        }
        NoteDeletion(file, line.number);
        r.section = SectionDeleted;
    } else {
        r.section = touch ? SectionTouch : SectionPenwick;
        file->penwickKey = file->penwickKey || !touch;
        file->touchKey = file->touchKey || touch;
    }
    return true;
}

// Hex data's bytes from unit `at` of the line on, "0a,ff,..." as a registry
// editor writes them, perhaps ending in a backslash that continues them on
// the next line.
bool ReadHexBytes(Reader& r, const Line& line, uint32_t at) {
    r.hexContinues = false;
    for (;;) {
        while (at < line.length && IsBlank(At(line, at))) {
            at++;
        }
        if (at == line.length) {
            return true;
        }
        if (at + 1 == line.length && At(line, at) == u'\\') {
            r.hexContinues = true;
            return true;
        }
        uint32_t digits = 0;
        while (digits < 3 && HexValue(At(line, at + digits)) >= 0) {
            digits++;
        }
        if (digits == 0 || digits > 2) {
            return Refuse(r.file, line.number, "hex data wants bytes like 0a,ff");
        }
        for (at += digits; at < line.length && IsBlank(At(line, at)); at++) {
        }
        if (at + 1 == line.length && At(line, at) == u'\\') {
            r.hexContinues = true;
            return true;
        }
        if (at < line.length && At(line, at++) != u',') {
            return Refuse(r.file, line.number, "hex data wants bytes like 0a,ff");
        }
    }
}

// hex: or hex(N): data, of a value that is read for its form only.
bool ReadHexData(Reader& r, const Line& line, uint32_t at) {
    at += 3;
    if (At(line, at) == u'(') {
        uint32_t digits = 0;
        for (at++; HexValue(At(line, at)) >= 0; at++) {
            digits++;
        }
        if (digits == 0 || digits > 8 || At(line, at++) != u')') {
            return Refuse(r.file, line.number, "hex(N): wants 1 to 8 hex digits for the type");
        }
    }
    if (At(line, at) != u':') {
        return Refuse(r.file, line.number, "a value must be \"text\", dword:hhhhhhhh or hex: data");
    }
    return ReadHexBytes(r, line, at + 1);
}

bool ReadValueLine(Reader& r, const Line& line) {
    SettingsFile* file = r.file;
    if (r.section == SectionNone || r.section == SectionDeleted) {
        return Refuse(file, line.number, "value outside a key");
    }
    if (At(line, 0) == u'@') {
        return Refuse(file, line.number, "a key's default value (@) is not read here");
    }
    if (At(line, 0) != u'"') {
        return Refuse(file, line.number, "expected \"name\"=value, [key] or ; comment");
    }
    SettingsValue value;
    uint32_t at = 0;
    uint32_t length = 0;
    if (!ReadQuoted(file, line, &at, value.name, kSettingsNameUnits, &length,
                    "value name longer than 63 characters")) {
        return false;
    }
    while (IsBlank(At(line, at)) && at < line.length) {
        at++;
    }
    if (At(line, at) != u'=') {
        return Refuse(file, line.number, "expected = after the value's name");
    }
    if (length == 0) {
        return Refuse(file, line.number, "a value without a name is not read here");
    }
    for (at++; at < line.length && IsBlank(At(line, at)); at++) {
    }
    // The touch key's other values are the device's; the installer neither
    // writes nor reads them, so they are only read for their form.
    bool passedOver = r.section == SectionTouch && !AsciiSameText(value.name, kTouchDriverValue);
    if (StartsWith(line, at, "hex")) {
        return passedOver ? ReadHexData(r, line, at)
                          : Refuse(file, line.number,
                                   "hex: data is not read in Penwick's key or for DriverName: write "
                                   "numbers as dword: and text as \"text\"");
    }
    if (At(line, line.length - 1) == u'\\') {
        return Refuse(file, line.number, "a line may not end with \\, which joins it to the next");
    }
    bool deletes = at + 1 == line.length && At(line, at) == u'-';
    if (deletes) {
        NoteDeletion(file, line.number);
    } else if (At(line, at) == u'"') {
        char16_t* text = reinterpret_cast<char16_t*>(value.data);
        uint32_t units = 0;
        if (!ReadQuoted(file, line, &at, text, kSettingsStringUnits, &units,
                        "string longer than 259 characters")) {
            return false;
        }
        for (; at < line.length; at++) {
            if (!IsBlank(At(line, at))) {
                return Refuse(file, line.number, "text after the closing quote");
            }
        }
        value.type = kSystemRegistryString;
        value.size = (units + 1) * sizeof(char16_t);
    } else if (StartsWith(line, at, "dword:")) {
        for (at += 6; at < line.length && IsBlank(At(line, at)); at++) {
        }
        uint32_t number = 0;
        uint32_t digits = line.length - at;
        for (; at < line.length && HexValue(At(line, at)) >= 0; at++) {
            number = number << 4 | static_cast<uint32_t>(HexValue(At(line, at)));
        }
        if (digits == 0 || digits > 8 || at != line.length) {
            return Refuse(file, line.number, "dword: wants 1 to 8 hex digits");
        }
        value.type = kSystemRegistryDword;
        value.size = sizeof(number);
        for (uint32_t i = 0; i < 4; i++) {
            value.data[i] = static_cast<uint8_t>(number >> (8 * i));
        }
    } else {
        return Refuse(file, line.number, "a value must be \"text\", dword:hhhhhhhh or hex: data");
    }

    if (passedOver) {
        return true;
    }
    if (r.section == SectionTouch) {
        file->driverNamed = !deletes;
        if (!deletes) {
            file->driverName = value;
        }
        return true;
    }
    RemoveValue(file, value.name);
    if (deletes) {
        return true;
    }
    if (file->count == kSettingsFileValues) {
        return Refuse(file, line.number, "more than 16 values for Penwick's key");
    }
    file->values[file->count++] = value;
    return true;
}

// Refuses control characters, malformed UTF-8 and characters outside the
// Basic Multilingual Plane (in UTF-16, its halves).
bool CheckCharacters(SettingsFile* file, const Line& line) {
    for (uint32_t i = 0; i < line.length;) {
        char16_t c = At(line, i);
        int units = 1;
        if (!line.source->wide && c >= 0x80) {
            units = Utf8Sequence(line, i, &c);
        }
        if (units == 0) {
            return Refuse(file, line.number,
                          "not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)");
        }
        if (units < 0 || (c >= 0xD800 && c < 0xE000)) {
            return Refuse(file, line.number, "character outside the Basic Multilingual Plane");
        }
        if (c < 0x20 && c != u'\t') {
            return Refuse(file, line.number, "control character");
        }
        i += static_cast<uint32_t>(units);
    }
    return true;
}

// Where the text starts and how it is encoded; false when it cannot be read
// as text at all.
bool FindText(const uint8_t* bytes, uint32_t size, SettingsFile* file, Source* source) {
    if (size > kSettingsFileBytes) {
        return Refuse(file, 0, "larger than 16384 bytes");
    }
    *source = {bytes, size, false};
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        if ((size & 1) != 0) {
            return Refuse(file, 0, "UTF-16 file with an odd number of bytes");
        }
        *source = {bytes + 2, (size - 2) >> 1, true};
    } else if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        *source = {bytes + 3, size - 3, false};
    } else if (size >= 2 && (bytes[0] == 0 || bytes[1] == 0 || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        return Refuse(file, 0,
                      "looks like UTF-16 without a byte-order mark, or big-endian: save it as "
                      "UTF-16 little-endian with one, or as plain text");
    }
    return true;
}

}  // namespace

bool SettingsFileRead(const uint8_t* bytes, uint32_t size, SettingsFile* file) {
    file->penwickKey = false;
    file->count = 0;
    file->touchKey = false;
    file->driverNamed = false;
    file->firstDeletionLine = 0;
    file->errorLine = 0;
    file->error = nullptr;
    Source source;
    if (!FindText(bytes, size, file, &source)) {
        return false;
    }
    Reader reader = {file, false, SectionNone, false};
    int32_t number = 0;
    for (uint32_t start = 0; start < source.units;) {
        uint32_t end = start;
        while (end < source.units && UnitAt(source, end) != u'\n') {
            end++;
        }
        Line line = {&source, start, end - start, ++number};
        start = end + 1;
        while (line.length > 0 && IsBlank(At(line, 0))) {
            line.begin++;
            line.length--;
        }
        while (line.length > 0 && IsBlank(At(line, line.length - 1))) {
            line.length--;
        }
        if (line.length == 0) {
            reader.hexContinues = false;
            continue;
        }
        if (!CheckCharacters(file, line)) {
            return false;
        }
        char16_t first = At(line, 0);
        bool read = reader.hexContinues ? ReadHexBytes(reader, line, 0)
                    : first == u';'     ? At(line, line.length - 1) != u'\\' ||
                                          Refuse(file, line.number,
                                                 "a line may not end with \\, which joins it to "
                                                 "the next")
                    : !reader.seenHeader ? ReadHeader(reader, line)
                    : first == u'['      ? ReadKeyLine(reader, line)
                                         : ReadValueLine(reader, line);
        if (!read) {
            return false;
        }
    }
    return reader.seenHeader || Refuse(file, 0, "empty: not a registry file");
}


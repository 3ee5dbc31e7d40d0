#include "files/reg_file.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "files/input.h"
#include "proxy/configuration.h"
#include "registry/configuration_check.h"

namespace {

const uint32_t kRegSz = 1;
const uint32_t kRegBinary = 3;
const uint32_t kRegDword = 4;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(toupper(c)); });
    return text;
}

// Value names compare without regard to the case of ASCII letters.
bool SameName(const std::u16string& a, const std::u16string& b) {
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The file as UTF-8 text, whatever its encoding.
std::string DecodeRegFile(const std::string& bytes, const std::string& fileName) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            throw InputError(fileName, 0, "UTF-16 file with an odd number of bytes");
        }
        std::string text;
        for (size_t i = 2; i < bytes.size(); i += 2) {
            uint32_t unit = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
                uint32_t low =
                    static_cast<uint8_t>(bytes[i + 2]) | static_cast<uint8_t>(bytes[i + 3]) << 8;
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (unit >= 0xD800 && unit < 0xE000) {
                throw InputError(fileName, 0, "UTF-16 file with an unpaired surrogate");
            }
            AppendUtf8(text, unit);
        }
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return bytes.substr(3);
    }
    if (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0)) {
        throw InputError(fileName, 0, "looks like UTF-16 without a byte-order mark, or big-endian: "
                                      "save it as UTF-16 little-endian with one, or as plain text");
    }
    return bytes;
}

// Reads a quoted string starting at text[pos] == '"', with \" and \\ escapes;
// leaves pos after the closing quote.
std::string ReadQuoted(const std::string& text, size_t& pos, const std::string& fileName,
                       int line) {
    std::string value;
    for (pos++; pos < text.size(); pos++) {
        char c = text[pos];
        if (c == '"') {
            pos++;
            return value;
        }
        if (c == '\\') {
            if (pos + 1 >= text.size()) {
                break;
            }
            c = text[++pos];
            if (c != '"' && c != '\\') {
                throw InputError(fileName, line, std::string("unknown escape \\") + c);
            }
        }
        value += c;
    }
    throw InputError(fileName, line, "string without its closing quote");
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The data of a value line, after the '='.
RegValue ParseData(const std::string& data, const std::string& fileName, int line) {
    RegValue value;
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::string text = ReadQuoted(data, pos, fileName, line);
        if (!Trim(data.substr(pos)).empty()) {
            throw InputError(fileName, line, "text after the closing quote");
        }
        value.type = kRegSz;
        value.data = Utf16Bytes(Utf16FromUtf8(text, fileName, line));
        return value;
    }
    std::string lower = data;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    if (lower.compare(0, 6, "dword:") == 0) {
        std::string digits = Trim(data.substr(6));
        if (digits.empty() || digits.size() > 8 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; })) {
            throw InputError(fileName, line, "dword: wants 1 to 8 hex digits, not '" + digits + "'");
        }
        return RegDword(u"", static_cast<uint32_t>(std::stoul(digits, nullptr, 16)));
    }
    size_t colon = lower.find(':');
    std::string kind = colon == std::string::npos ? lower : lower.substr(0, colon);
    if (kind == "hex") {
        value.type = kRegBinary;
    } else if (kind.size() > 5 && kind.compare(0, 4, "hex(") == 0 && kind.back() == ')') {
        long long type;
        if (!ParseInteger("0x" + kind.substr(4, kind.size() - 5), 0, UINT32_MAX, &type)) {
            throw InputError(fileName, line, "bad value type '" + kind + "'");
        }
        value.type = static_cast<uint32_t>(type);
    } else {
        throw InputError(fileName, line, "value is not \"string\", dword: or hex: data");
    }
    std::string bytes = data.substr(colon + 1);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t comma = bytes.find(',', pos);
        std::string byte = Trim(bytes.substr(pos, comma == std::string::npos ? comma : comma - pos));
        if (byte.empty() && comma == std::string::npos && !value.data.empty()) {
            break;  // a trailing comma
        }
        if (byte.size() < 1 || byte.size() > 2 || HexDigit(byte[0]) < 0 ||
            (byte.size() == 2 && HexDigit(byte[1]) < 0)) {
            throw InputError(fileName, line, "hex data wants bytes like 0a,ff; found '" + byte + "'");
        }
        value.data.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    return value;
}

// Whether a key line names a key below HKEY_LOCAL_MACHINE, or (with
// `orAbove`) that key or one of the keys it lies in.
bool IsMachineKey(const std::string& key, const char16_t* path, bool orAbove = false) {
    std::u16string wide = path;
    std::string below = Upper(std::string(wide.begin(), wide.end()));
    std::string upper = Upper(key);
    for (const std::string root : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
        std::string full = root + "\\" + below;
        if (upper == full) {
            return true;
        }
        if (orAbove && (upper == root || (full.compare(0, upper.size() + 1, upper + "\\") == 0))) {
            return true;
        }
    }
    return false;
}

// Text as a .reg file quotes it: in UTF-8, with " and \\ escaped.
std::string Quoted(const std::u16string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size()) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (unit == '"' || unit == '\\') {
            out += '\\';
        }
        AppendUtf8(out, unit);
    }
    return out + "\"";
}

// A REG_SZ value's text, up to its terminator.
std::u16string StringOf(const std::vector<uint8_t>& data) {
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size() && (data[i] != 0 || data[i + 1] != 0); i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    }
    return text;
}

std::string FormatValue(const RegValue& value) {
    std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
    // Only a string that ends at its terminator reads back the same.
    std::u16string text = StringOf(value.data);
    if (value.type == kRegSz && (text.size() + 1) * 2 == value.data.size()) {
        return line + Quoted(text);
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t number;
        memcpy(&number, value.data.data(), 4);
        char digits[16];
        snprintf(digits, sizeof digits, "dword:%08x", number);
        return line + digits;
    }
    char kind[32];
    snprintf(kind, sizeof kind, value.type == kRegBinary ? "hex:" : "hex(%x):", value.type);
    line += kind;
    for (size_t i = 0; i < value.data.size(); i++) {
        char byte[4];
        snprintf(byte, sizeof byte, "%s%02x", i == 0 ? "" : ",", value.data[i]);
        line += byte;
    }
    return line;
}

}  // namespace

RegValue RegDword(const std::u16string& name, uint32_t number) {
    RegValue value{name, kRegDword, std::vector<uint8_t>(4)};
    memcpy(value.data.data(), &number, 4);
    return value;
}

RegValue RegString(const std::u16string& name, const std::u16string& text) {
    return RegValue{name, kRegSz, Utf16Bytes(text)};
}

void RegKeyRemove(RegKey& key, const std::u16string& name) {
    auto& values = key.values;
    values.erase(std::remove_if(values.begin(), values.end(),
                                [&](const RegValue& v) { return SameName(v.name, name); }),
                 values.end());
}

void RegKeySet(RegKey& key, const RegValue& value) {
    RegKeyRemove(key, value.name);
    key.values.push_back(value);
    key.present = true;
}

const RegValue* RegKeyFind(const RegKey& key, const std::u16string& name) {
    for (const RegValue& value : key.values) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

std::string FormatRegFile(const RegFile& file, const std::string& comment) {
    std::string out = "REGEDIT4\n\n";
    for (size_t begin = 0; begin < comment.size();) {
        size_t end = comment.find('\n', begin);
        std::string line = comment.substr(begin, end == std::string::npos ? end : end - begin);
        out += line.empty() ? ";\n" : "; " + line + "\n";
        begin = end == std::string::npos ? comment.size() : end + 1;
    }
    const std::pair<const RegKey*, const char16_t*> keys[] = {{&file.touch, kTouchKey},
                                                              {&file.penwick, kConfigurationKey}};
    for (const auto& [key, path] : keys) {
        if (!key->present) {
            continue;
        }
        std::u16string wide = path;
        out += "\n[HKEY_LOCAL_MACHINE\\" + std::string(wide.begin(), wide.end()) + "]\n";
        for (const RegValue& value : key->values) {
            out += FormatValue(value) + "\n";
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(const std::string& text, const std::string& fileName, int line) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        uint8_t lead = static_cast<uint8_t>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            throw InputError(fileName, line, "text is not valid UTF-8");
        }
        uint32_t codePoint = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; k++) {
            uint8_t next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                throw InputError(fileName, line, "text is not valid UTF-8");
            }
            codePoint = codePoint << 6 | (next & 0x3F);
        }
        i += extra + 1;
        if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint < 0xE000)) {
            throw InputError(fileName, line, "text is not valid UTF-8");
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
    }
    return out;
}

RegFile ParseRegFile(const std::string& bytes, const std::string& fileName) {
    std::string text = DecodeRegFile(bytes, fileName);
    RegFile result;
    bool seenHeader = false;
    bool inKey = false;
    RegKey* kept = nullptr;  // the key whose values the lines below are, if it is one we keep
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        // One logical line: a trailing backslash continues it.
        int firstLine = lineNumber + 1;
        std::string line;
        for (;;) {
            size_t end = text.find('\n', pos);
            std::string piece = Trim(text.substr(pos, end == std::string::npos ? end : end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
            lineNumber++;
            bool continues = !piece.empty() && piece.back() == '\\' && piece[0] != '[' &&
                             pos < text.size();
            line += continues ? piece.substr(0, piece.size() - 1) : piece;
            if (!continues) {
                break;
            }
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (!seenHeader) {
            if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00") {
                throw InputError(fileName, firstLine,
                                 "not a registry file: it must begin with REGEDIT4 or "
                                 "'Windows Registry Editor Version 5.00'");
            }
            seenHeader = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                throw InputError(fileName, firstLine, "key line without its closing ]");
            }
            bool deletes = line.size() > 2 && line[1] == '-';
            std::string key = line.substr(deletes ? 2 : 1, line.size() - (deletes ? 3 : 2));
            inKey = !deletes;
            // Deleting a key deletes the keys in it too.
            if (deletes) {
                if (IsMachineKey(key, kTouchKey, true)) {
                    result.touch = RegKey();
                }
                if (IsMachineKey(key, kConfigurationKey, true)) {
                    result.penwick = RegKey();
                }
                kept = nullptr;
                continue;
            }
            kept = IsMachineKey(key, kTouchKey)           ? &result.touch
                   : IsMachineKey(key, kConfigurationKey) ? &result.penwick
                                                           : nullptr;
            if (kept != nullptr) {
                kept->present = true;
            }
            continue;
        }
        if (!inKey) {
            throw InputError(fileName, firstLine, "value outside a key");
        }
        std::string name;
        size_t equals;
        if (line[0] == '@') {
            equals = 1;
        } else if (line[0] == '"') {
            size_t after = 0;
            name = ReadQuoted(line, after, fileName, firstLine);
            equals = line.find_first_not_of(" \t", after);
        } else {
            throw InputError(fileName, firstLine, "expected \"name\"=value, [key] or ; comment");
        }
        if (equals == std::string::npos || line[equals] != '=') {
            throw InputError(fileName, firstLine, "expected = after the value's name");
        }
        std::string data = Trim(line.substr(equals + 1));
        std::u16string name16 = Utf16FromUtf8(name, fileName, firstLine);
        bool deletes = data == "-";
        RegValue value = deletes ? RegValue() : ParseData(data, fileName, firstLine);
        if (kept == nullptr) {
            continue;
        }
        if (deletes) {
            RegKeyRemove(*kept, name16);
        } else {
            value.name = name16;
            RegKeySet(*kept, value);
        }
    }
    if (!seenHeader) {
        throw InputError(fileName, 0, "empty: not a registry file");
    }
    return result;
}

#include "files/reg_file.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "files/input.h"
#include "platform/system_services.h"
#include "registry/registry_contract.h"
#include "registry/configuration_check.h"
#include "setup/settings_file.h"

namespace {

bool SameName(const std::u16string& a, const std::u16string& b) {
    return AsciiSameText(a.c_str(), b.c_str());
}

// Text as a .reg file quotes it: in UTF-8, with " and \\ escaped.
std::string Quoted(const std::u16string& text) {
    std::string out = "\"";
    for (char16_t unit : text) {
        if (unit == u'"' || unit == u'\\') {
            out += '\\';
        }
        out += Utf8FromUtf16(std::u16string(1, unit));
    }
    return out + "\"";
}

// A value as the reader keeps them: a terminated REG_SZ or a REG_DWORD.
std::string FormatValue(const RegValue& value) {
    std::string line = Quoted(value.name) + "=";
    if (value.type == kSystemRegistryString) {
        std::u16string text;
        for (size_t i = 0; i + 3 < value.data.size(); i += 2) {
            text.push_back(static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8));
        }
        return line + Quoted(text);
    }
    uint32_t number = 0;
    memcpy(&number, value.data.data(), std::min<size_t>(4, value.data.size()));
    char digits[16];
    snprintf(digits, sizeof digits, "dword:%08x", number);
    return line + digits;
}

RegValue FromSettings(const SettingsValue& value) {
    return RegValue{value.name, value.type,
                    std::vector<uint8_t>(value.data, value.data + value.size)};
}

}  // namespace

std::string Utf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        AppendUtf8(out, unit);
    }
    return out;
}

RegValue RegDword(const std::u16string& name, uint32_t number) {
    RegValue value{name, kSystemRegistryDword, std::vector<uint8_t>(4)};
    memcpy(value.data.data(), &number, 4);
    return value;
}

RegValue RegString(const std::u16string& name, const std::u16string& text) {
    RegValue value{name, kSystemRegistryString, {}};
    for (char16_t unit : text) {
        value.data.push_back(static_cast<uint8_t>(unit & 0xFF));
        value.data.push_back(static_cast<uint8_t>(unit >> 8));
    }
    value.data.insert(value.data.end(), {0, 0});
    return value;
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

RegFile ParseRegFile(const std::string& bytes, const std::string& fileName) {
    // Some 11 KB: the installer keeps it in its state record.
    auto read = std::make_unique<SettingsFile>();
    uint32_t size = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kSettingsFileBytes + 1));
    if (!SettingsFileRead(reinterpret_cast<const uint8_t*>(bytes.data()), size, read.get())) {
        throw InputError(fileName, read->errorLine, read->error);
    }
    RegFile file;
    file.penwick.present = read->penwickKey;
    for (int i = 0; i < read->count; i++) {
        file.penwick.values.push_back(FromSettings(read->values[i]));
    }
    file.touch.present = read->touchKey;
    if (read->driverNamed) {
        file.touch.values.push_back(FromSettings(read->driverName));
    }
    file.deletionLine = read->firstDeletionLine;
    return file;
}

// The device's identity as one line of text (platform/device_identity.h).
// No C run-time library and no division: the device's modules link this.
#include "platform/device_identity.h"

#include "platform/decimal_digits.h"

namespace {

struct Line {
    char* text;
    uint32_t length;
};

void Append(Line* line, const char* ascii) {
    while (*ascii != 0) {
        line->text[line->length++] = *ascii++;
    }
}

void AppendCode(Line* line, uint32_t code) {
    char* at = line->text + line->length;
    if (code < 0x80) {
        at[0] = static_cast<char>(code);
        line->length += 1;
    } else if (code < 0x800) {
        at[0] = static_cast<char>(0xC0 | code >> 6);
        at[1] = static_cast<char>(0x80 | (code & 0x3F));
        line->length += 2;
    } else if (code < 0x10000) {
        at[0] = static_cast<char>(0xE0 | code >> 12);
        at[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        at[2] = static_cast<char>(0x80 | (code & 0x3F));
        line->length += 3;
    } else {
        at[0] = static_cast<char>(0xF0 | code >> 18);
        at[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
        at[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        at[3] = static_cast<char>(0x80 | (code & 0x3F));
        line->length += 4;
    }
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A text of at most `units` UTF-16 units, as UTF-8, quoted when `quoted`;
// "(unknown)" when it is empty.
void AppendText(Line* line, const char16_t* text, uint32_t units, bool quoted) {
    if (units == 0 || text[0] == 0) {
        Append(line, "(unknown)");
        return;
    }
    Append(line, quoted ? "\"" : "");
    for (uint32_t i = 0; i < units && text[i] != 0; i++) {
        uint32_t code = text[i];
        if (IsHighSurrogate(code) && i + 1 < units && IsLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            i++;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code) || code < 0x20 ||
                   code == 0x7F) {
            code = '?';
        } else if (code == '"') {
            code = '\'';
        }
        AppendCode(line, code);
    }
    Append(line, quoted ? "\"" : "");
}

void AppendNumber(Line* line, uint32_t value) {
    char digits[11];
    DecimalDigits(value, 1, digits);
    Append(line, digits);
}

}  // namespace

void DeviceIdentityFormat(const DeviceIdentity& identity, char text[kDeviceIdentityTextBytes]) {
    Line line = {text, 0};
    Append(&line, "device ");
    AppendText(&line, identity.name, kDeviceNameUnits, true);
    Append(&line, ", OEM ");
    AppendText(&line, identity.oem, kDeviceOemUnits, true);
    Append(&line, ", platform ");
    AppendText(&line, identity.platform, kDevicePlatformUnits, false);
    if (identity.major == 0) {
        Append(&line, ", version (unknown)");
    } else {
        Append(&line,
               identity.platformId == kDevicePlatformWindowsCe ? ", Windows CE " : ", Windows ");
        AppendNumber(&line, identity.major);
        Append(&line, ".");
        AppendNumber(&line, identity.minor);
        Append(&line, ".");
        AppendNumber(&line, identity.build);
    }
    text[line.length] = 0;
}

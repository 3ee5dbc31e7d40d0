#include "setup/setup_report.h"

#include "platform/decimal_digits.h"
#include "platform/setup_services.h"

SetupReport g_setupReport;

namespace {

// Appends one unit, keeping room for the terminator; false when full.
bool Put(char16_t* buffer, uint32_t units, uint32_t* length, char16_t unit) {
    if (*length + 1 >= units) {
        return false;
    }
    buffer[(*length)++] = unit;
    buffer[*length] = 0;
    return true;
}

bool PutUnsigned(char16_t* buffer, uint32_t units, uint32_t* length, uint32_t value,
                 int minimumDigits) {
    char text[11];
    DecimalDigits(value, minimumDigits, text);
    bool fits = true;
    for (const char* digit = text; *digit != 0; digit++) {
        fits = Put(buffer, units, length, static_cast<char16_t>(*digit)) && fits;
    }
    return fits;
}

}  // namespace

bool SetupFormatList(char16_t* buffer, uint32_t units, uint32_t* length, const char* format,
                     va_list arguments) {
    bool fits = units > 0;
    if (fits) {
        buffer[*length] = 0;
    }
    for (const char* f = format; fits && *f != 0; f++) {
        if (*f != '%' || f[1] == 0) {
            fits = Put(buffer, units, length, static_cast<unsigned char>(*f));
            continue;
        }
        f++;
        if (*f == 's') {
            for (const char16_t* s = va_arg(arguments, const char16_t*); fits && *s != 0; s++) {
                fits = Put(buffer, units, length, *s);
            }
        } else if (*f == 'a') {
            for (const char* s = va_arg(arguments, const char*); fits && *s != 0; s++) {
                fits = Put(buffer, units, length, static_cast<unsigned char>(*s));
            }
        } else if (*f == 'd') {
            int32_t value = va_arg(arguments, int32_t);
            uint32_t magnitude = static_cast<uint32_t>(value);
            if (value < 0) {
                fits = Put(buffer, units, length, u'-');
                magnitude = 0u - magnitude;
            }
            fits = fits && PutUnsigned(buffer, units, length, magnitude, 1);
        } else if (*f == 'u') {
            fits = PutUnsigned(buffer, units, length, va_arg(arguments, uint32_t), 1);
        } else if (*f == '2' && f[1] == 'u') {
            f++;
            fits = PutUnsigned(buffer, units, length, va_arg(arguments, uint32_t), 2);
        } else {
            fits = Put(buffer, units, length, static_cast<unsigned char>(*f));
        }
    }
    return fits;
}

bool SetupFormat(char16_t* buffer, uint32_t units, uint32_t* length, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    bool fits = SetupFormatList(buffer, units, length, format, arguments);
    va_end(arguments);
    return fits;
}

bool SetupMakePath(char16_t path[kSetupPathUnits], const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    uint32_t length = 0;
    bool fits = SetupFormatList(path, kSetupPathUnits, &length, format, arguments);
    va_end(arguments);
    if (!fits) {
        path[0] = 0;
    }
    return fits;
}

bool SetupMakeFolder(char16_t folder[kSetupPathUnits], const char16_t* given) {
    if (!SetupMakePath(folder, "%s", given)) {
        return false;
    }
    uint32_t length = 0;
    while (folder[length] != 0) {
        length++;
    }
    while (length > 1 && folder[length - 1] == u'\\') {
        folder[--length] = 0;
    }
    return true;
}

void SetupReportReset(void) {
    SetupReport& r = g_setupReport;
    r.logLength = 0;
    r.log[0] = 0;
    r.outcomeLength = 0;
    r.outcome[0] = 0;
}

void SetupLog(const char* format, ...) {
    SetupReport& r = g_setupReport;
    va_list arguments;
    va_start(arguments, format);
    SetupFormatList(r.log, kSetupLogUnits, &r.logLength, format, arguments);
    va_end(arguments);
    SetupFormat(r.log, kSetupLogUnits, &r.logLength, "\n");
}

void SetupOutcome(const char* format, ...) {
    SetupReport& r = g_setupReport;
    bool first = r.outcomeLength == 0;
    if (!first) {
        SetupFormat(r.outcome, kSetupOutcomeUnits, &r.outcomeLength, "\n");
    }
    uint32_t start = r.outcomeLength;
    va_list arguments;
    va_start(arguments, format);
    SetupFormatList(r.outcome, kSetupOutcomeUnits, &r.outcomeLength, format, arguments);
    va_end(arguments);
    SetupLog(first ? "outcome: %s" : "  %s", r.outcome + start);
}

const char* SetupErrorWords(int32_t error) {
    switch (error) {
    case kSetupErrorNotFound: return "it is not there";
    case kSetupErrorPathNotFound: return "its folder is not there";
    case kSetupErrorAccessDenied: return "access is denied";
    case kSetupErrorSharing: return "it is in use";
    case kSetupErrorDiskFull: return "the store is full";
    }
    return "the system refused";
}

uint32_t SetupUtf8(const char16_t* text, uint32_t length, char* out, uint32_t capacity) {
    uint32_t used = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint32_t c = text[i];
        // A pair of surrogates is one character.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        char bytes[4];
        uint32_t count;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
            count = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            count = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            count = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
            count = 4;
        }
        if (used + count > capacity) {
            break;
        }
        for (uint32_t k = 0; k < count; k++) {
            out[used++] = bytes[k];
        }
    }
    return used;
}

#include "report/format.h"

#include <stdarg.h>
#include <stdio.h>

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char buffer[512];
    int length = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < static_cast<int>(sizeof buffer)) {
        return buffer;
    }
    std::string text(length + 1, '\0');
    va_start(args, format);
    vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.pop_back();
    return text;
}

// The length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(const std::string& text, size_t i) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; k++) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        size_t length = Utf8Length(text, i);
        if (length == 0 || (length == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t')) {
            out += '?';  // not text XML may hold: a file name in another encoding, say
            i++;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

std::string PrintableName(const std::u16string& name) {
    std::string text;
    for (char16_t c : name) {
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return text;
}

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

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
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

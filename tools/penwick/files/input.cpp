#include "files/input.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

bool ParseInteger(std::string_view text, long long low, long long high, long long* value) {
    size_t start = 0;
    bool negative = false;
    if (start < text.size() && (text[start] == '-' || text[start] == '+')) {
        negative = text[start] == '-';
        start++;
    }
    int base = 10;
    if (text.size() - start > 2 && text[start] == '0' && (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start == text.size() || text.size() - start > 20) {
        return false;
    }
    unsigned long long magnitude = 0;
    for (size_t i = start; i < text.size(); i++) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > (1ULL << 40)) {
            return false;
        }
    }
    long long result = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (result < low || result > high) {
        return false;
    }
    *value = result;
    return true;
}

std::string_view Trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::string Trim(const std::string& text) { return std::string(Trim(std::string_view(text))); }

bool ParseScreenSize(std::string_view text, int32_t* width, int32_t* height) {
    size_t x = text.find_first_of("xX");
    long long w, h;
    if (x == std::string_view::npos || !ParseInteger(text.substr(0, x), 1, 65535, &w) ||
        !ParseInteger(text.substr(x + 1), 1, 65535, &h)) {
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

void RequireNotFolder(const std::string& path) {
    std::error_code error;
    if (path != "-" && std::filesystem::is_directory(path, error)) {
        throw InputError(path, 0, "is a folder, not a file");
    }
}

std::string ReadInputFile(const std::string& path) {
    RequireNotFolder(path);
    std::ostringstream content;
    if (path == "-") {
        content << std::cin.rdbuf();
        return content.str();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw InputError(path, 0, "cannot open");
    }
    content << file.rdbuf();
    if (file.bad()) {
        throw InputError(path, 0, "cannot read");
    }
    return content.str();
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

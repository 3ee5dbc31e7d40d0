// Names compared as the registry and the file system compare them: the
// ASCII letters a to z the same as A to Z, every other character only as
// itself. Plain inline code that every build, the device's included, can
// use.
#ifndef PENWICK_PLATFORM_ASCII_H
#define PENWICK_PLATFORM_ASCII_H

inline char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Whether two terminated texts are the same but for the case of ASCII
// letters; `b` may be UTF-16 or ASCII.
template <typename Text>
inline bool AsciiSameText(const char16_t* a, const Text* b) {
    int i = 0;
    while (a[i] != 0 && AsciiUpper(a[i]) == AsciiUpper(static_cast<char16_t>(b[i]))) {
        i++;
    }
    return a[i] == 0 && b[i] == 0;
}

#endif

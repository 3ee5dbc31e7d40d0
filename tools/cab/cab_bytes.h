// Little-endian integers in the byte buffers of a cabinet and its control
// file: appended by the writers, and read (trust/module_image.h's
// ModuleRead16 and ModuleRead32) only where the caller has already checked
// that the bytes are there; and the readers' refusal.
#ifndef PENWICK_TOOLS_CAB_CAB_BYTES_H
#define PENWICK_TOOLS_CAB_CAB_BYTES_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "trust/module_image.h"

inline void CabPut16(std::vector<uint8_t>* bytes, uint32_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

inline void CabPut32(std::vector<uint8_t>* bytes, uint32_t value) {
    CabPut16(bytes, value & 0xFFFF);
    CabPut16(bytes, value >> 16);
}

inline void CabPutText(std::vector<uint8_t>* bytes, const std::string& text) {
    for (char c : text) {
        bytes->push_back(static_cast<uint8_t>(c));
    }
}

inline void CabSet32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) {
        (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// Gives the reason a cabinet or its control file is refused: false.
inline bool CabRefuse(std::string* problem, const std::string& reason) {
    *problem = reason;
    return false;
}

#endif

// What the installer does with whole files, on the seam's opening, reading
// and writing: comparing two byte for byte (is the original driver a copy of
// Penwick? is Penwick.dll in \Windows the same?), judging whether Penwick.dll
// arrived whole, reading the settings file, appending to the log.
#ifndef PENWICK_SETUP_SETUP_FILES_H
#define PENWICK_SETUP_SETUP_FILES_H

#include <stdint.h>

#include "platform/setup_services.h"

// *same is 1 when the two files hold the same bytes. Returns 0 or the error
// that kept them from being read.
int32_t SetupCompareFiles(const char16_t* a, const char16_t* b, int32_t* same);

// Reads a whole file of at most `capacity` bytes; kSetupErrorMoreData when
// it is larger.
int32_t SetupReadWholeFile(const char16_t* path, void* data, uint32_t capacity, uint32_t* size);

// *whole is 1 when the file holds a whole module: an MZ header, a PE header
// after it, and every section's data inside the file. An empty file, or a
// copy that broke off, is not one. Returns 0 or the error that kept the file
// from being read.
int32_t SetupModuleIsWhole(const char16_t* path, int32_t* whole);

// Appends to a file, creating it when it is not there.
int32_t SetupAppendToFile(const char16_t* path, const void* data, uint32_t size);

#endif

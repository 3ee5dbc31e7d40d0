// What a stand-in original driver records of the last call it received.
#ifndef PENWICK_TESTS_WINDOWS_STANDIN_RECORD_H
#define PENWICK_TESTS_WINDOWS_STANDIN_RECORD_H

#include <windows.h>

typedef BOOL (*StandinCallback)(DWORD flags, INT x, INT y);

struct StandinRecord {
    char entry[64];     // name of the entry point last called
    DWORD words[5];     // the argument words it received
    int wordCount;
    int calls;          // calls of any entry point
    StandinCallback callback;  // what TouchPanelEnable was given
};

#endif

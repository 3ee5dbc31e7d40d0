// Penwick.dll's entry point on desktop Windows (and Wine), as on the device:
// the loader calls it with the module and a reason, and nothing runs before
// it (no C run-time start-up code).
#include <windows.h>

#include "proxy/original_driver.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    return LibraryEntry(module, reason);
}

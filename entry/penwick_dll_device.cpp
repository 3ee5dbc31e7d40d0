// Penwick.dll's entry point on the device: the loader calls it with the
// module and a reason, and nothing runs before it (no C run-time start-up
// code). The library's frame is the proxy's.
#include "platform/device/coredll.h"
#include "proxy/original_driver.h"

extern "C" BOOL DllMain(HANDLE module, DWORD reason, void*) { return LibraryEntry(module, reason); }

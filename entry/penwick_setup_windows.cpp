// PenwickSetup.exe's entry point on desktop Windows (and Wine), without C
// run-time start-up code. The desktop's loader calls it with no arguments of
// use and ends the process when told; the command line, less the program's
// own name, goes to the installer as the device's WinMain gets it.
#include <windows.h>

#include "setup/setup_command.h"

extern "C" DWORD WINAPI SetupWindowsEntry(void*) {
    const wchar_t* line = GetCommandLineW();
    // The program's own name comes first, quoted when it holds blanks.
    bool quoted = false;
    for (; *line != 0 && (quoted || (*line != L' ' && *line != L'\t')); line++) {
        quoted = *line == L'"' ? !quoted : quoted;
    }
    while (*line == L' ' || *line == L'\t') {
        line++;
    }
    ExitProcess(static_cast<UINT>(SetupRun(reinterpret_cast<const char16_t*>(line))));
}

// PenwickSetup.exe's entry point on the device: the kernel calls it with
// WinMain's four arguments, the command line without the program's name
// among them, and nothing runs before it (no C run-time start-up code). Its
// result is the exit code.
#include "platform/device/coredll.h"
#include "setup/setup_command.h"

extern "C" int WinMain(HANDLE, HANDLE, char16_t* commandLine, int) {
    return SetupRun(commandLine != nullptr ? commandLine : u"");
}

// Arbitrary bytes as the installer's settings file: its reader, which runs
// on the device without a heap, stays inside its buffers, and never reads a
// file differently from penwick's own .reg reader. What the installer
// accepts, penwick accepts with the same values of Penwick's key; what
// penwick refuses, the installer refuses.
#include <string>

#include "files/input.h"
#include "files/reg_file.h"
#include "fuzz_input.h"
#include "setup/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SettingsFile file;
    bool accepted = SettingsFileRead(data, static_cast<uint32_t>(size), &file);
    FuzzCheck(accepted == (file.error == nullptr));
    RegFile tool;
    try {
        tool = ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), "fuzz.reg");
    } catch (const InputError&) {
        FuzzCheck(!accepted);
        return 0;
    }
    if (!accepted) {
        return 0;
    }
    const RegKey& penwick = tool.penwick;
    FuzzCheck(penwick.present == file.penwickKey &&
              penwick.values.size() == static_cast<size_t>(file.count));
    for (int i = 0; i < file.count; i++) {
        const SettingsValue& mine = file.values[i];
        const RegValue& theirs = penwick.values[i];
        FuzzCheck(theirs.name == std::u16string(mine.name) && theirs.type == mine.type &&
                  theirs.data == std::vector<uint8_t>(mine.data, mine.data + mine.size));
    }
    return 0;
}

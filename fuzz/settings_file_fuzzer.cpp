// Arbitrary bytes as a settings file: the one .reg reader, which runs on the
// device without a heap, stays inside the bytes it is given and inside its
// own buffers, and says why whenever it refuses. What it accepts, penwick
// writes out and reads back the same.
#include <string.h>

#include <string>
#include <vector>

#include "files/input.h"
#include "files/reg_file.h"
#include "fuzz_input.h"
#include "setup/settings_file.h"

namespace {

bool Terminated(const char16_t* text, uint32_t units) {
    for (uint32_t i = 0; i < units; i++) {
        if (text[i] == 0) {
            return true;
        }
    }
    return false;
}

bool Whole(const SettingsValue& v) {
    bool string = v.type == 1 && v.size >= 2 && v.size <= sizeof v.data &&
                  Terminated(reinterpret_cast<const char16_t*>(v.data), v.size / 2);
    return Terminated(v.name, kSettingsNameUnits) && v.name[0] != 0 &&
           (string || (v.type == 4 && v.size == 4));
}

bool SameValues(const RegKey& key, const std::vector<RegValue>& values) {
    if (key.values.size() != values.size()) {
        return false;
    }
    for (size_t i = 0; i < values.size(); i++) {
        const RegValue& a = key.values[i];
        const RegValue& b = values[i];
        if (a.name != b.name || a.type != b.type || a.data != b.data) {
            return false;
        }
    }
    return true;
}

RegValue FromSettings(const SettingsValue& v) {
    return RegValue{v.name, v.type, std::vector<uint8_t>(v.data, v.data + v.size)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the size given, so that reading past it is caught.
    std::vector<uint8_t> bytes(data, data + size);
    static SettingsFile file;
    bool accepted = SettingsFileRead(bytes.data(), static_cast<uint32_t>(size), &file);
    FuzzCheck(accepted == (file.error == nullptr));
    if (!accepted) {
        FuzzCheck(file.errorLine >= 0 && strlen(file.error) > 0);
        return 0;
    }
    FuzzCheck(file.count >= 0 && file.count <= kSettingsFileValues);
    std::vector<RegValue> penwick, touch;
    for (int i = 0; i < file.count; i++) {
        FuzzCheck(Whole(file.values[i]));
        penwick.push_back(FromSettings(file.values[i]));
    }
    if (file.driverNamed) {
        FuzzCheck(file.touchKey && Whole(file.driverName));
        touch.push_back(FromSettings(file.driverName));
    }
    // The tool's reading is the reader's, and its writing reads back the same.
    RegFile tool = ParseRegFile(std::string(data, data + size), "fuzz.reg");
    FuzzCheck(tool.penwick.present == file.penwickKey && SameValues(tool.penwick, penwick));
    FuzzCheck(tool.touch.present == file.touchKey && SameValues(tool.touch, touch));
    FuzzCheck(tool.deletionLine == file.firstDeletionLine);
    RegFile again = ParseRegFile(FormatRegFile(tool, "again"), "again.reg");
    FuzzCheck(again.penwick.present == file.penwickKey && SameValues(again.penwick, penwick));
    FuzzCheck(again.touch.present == file.touchKey && SameValues(again.touch, touch));
    FuzzCheck(again.deletionLine == 0);
    return 0;
}

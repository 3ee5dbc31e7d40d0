// pe_header INPUT OUTPUT
//
// Writes INPUT to OUTPUT with the header fields that the device's loader
// checks set as it needs them (pe_image.h): machine THUMB, subsystem
// Windows CE GUI, OS and subsystem version 5.00. The linker can set none of
// them for Windows CE. No other byte changes. OUTPUT is written whole or not
// at all.
#include <stdio.h>

#include <fstream>

#include "pe_image.h"

namespace {

void Write16(std::vector<uint8_t>* bytes, uint32_t offset, uint16_t value) {
    (*bytes)[offset] = static_cast<uint8_t>(value);
    (*bytes)[offset + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: pe_header INPUT OUTPUT\n");
        return 2;
    }
    PeImage image;
    std::string error;
    if (!PeLoadFile(argv[1], &image, &error)) {
        fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes = image.bytes;
    uint32_t pe = image.signatureOffset;
    Write16(&bytes, pe + kPeMachineOffset, kDeviceMachine);
    Write16(&bytes, pe + kPeOsVersionOffset, kDeviceMajorVersion);
    Write16(&bytes, pe + kPeOsVersionOffset + 2, kDeviceMinorVersion);
    Write16(&bytes, pe + kPeSubsystemVersionOffset, kDeviceMajorVersion);
    Write16(&bytes, pe + kPeSubsystemVersionOffset + 2, kDeviceMinorVersion);
    Write16(&bytes, pe + kPeSubsystemOffset, kDeviceSubsystem);

    std::string temporary = std::string(argv[2]) + ".part";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || rename(temporary.c_str(), argv[2]) != 0) {
        remove(temporary.c_str());
        fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}

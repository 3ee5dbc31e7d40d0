// Arbitrary bytes as an installation cabinet and as its control file: the
// readers stay inside the bytes (each input is copied into a buffer of its
// own size, so AddressSanitizer sees a read past it), a cabinet they accept
// can be listed, and a control file they accept writes itself again into
// one that reads back the same.
#include <vector>

#include "cab_package.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    std::string problem;
    CabContents contents;
    if (CabRead(bytes.data(), bytes.size(), &contents, &problem)) {
        FuzzCheck(CabListing(contents).size() >= 1 + contents.control.files.size());
    } else {
        FuzzCheck(!problem.empty());
    }
    CabControl control;
    if (CabControlRead(bytes.data(), bytes.size(), &control, &problem)) {
        const std::vector<uint8_t> written = CabControlWrite(control);
        CabControl again;
        FuzzCheck(CabControlRead(written.data(), written.size(), &again, &problem));
        FuzzCheck(CabControlWrite(again) == written);
    }
    return 0;
}

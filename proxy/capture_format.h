// The capture's lines of text: each entry of the capture's buffer as the
// file holds it, in the trace format penwick replay reads (a sample as
// "0x0F,120,-3,123456", its flags, x, y and the system's millisecond tick
// when it arrived; the rest as the "# penwick ..." lines of
// proxy/capture_lines.h), the header that names the columns of a new file,
// and the line that ends a capture at its limit.
//
// The writer fills a block of its own with whole lines and appends the
// block to the file; the lines are made here without a C run-time library
// and without dividing (platform/decimal_digits.h). A line that does not
// fit the block is cut where the block ends; the writer keeps room for the
// longest before it formats an entry.
#ifndef PENWICK_PROXY_CAPTURE_FORMAT_H
#define PENWICK_PROXY_CAPTURE_FORMAT_H

#include <stdint.h>

#include "platform/device_identity.h"

enum CaptureEntryKind {
    CaptureEntrySample,   // flags, x, y, tick
    CaptureEntryBoot,     // the first enable since the library was loaded
    CaptureEntryEnable,   // the host enabled the driver; x, y: the screen size
    CaptureEntryScreen,   // the screen size changed to x by y
    CaptureEntryDropped,  // flags: samples lost because the buffer was full
};

// One entry of the capture's buffer: five words, a sample's four and the
// kind.
struct CaptureEntry {
    uint32_t kind;
    uint32_t flags;
    int32_t x;
    int32_t y;
    uint32_t tick;  // a sample's: the system's millisecond tick
};
static_assert(sizeof(CaptureEntry) == 20, "an entry is five words");

// The writer's block, the longest lines of any entry (the boot's: the
// device's identity, and 384 bytes for its time, the version and the
// settings), and the room kept at the end of the file for the line that
// says the limit was reached.
const uint32_t kCaptureBlockBytes = 4096;
const uint32_t kCaptureLongestLine = 384 + kDeviceIdentityTextBytes;
const uint32_t kCaptureLimitLineBytes = 80;

struct CaptureBlock {
    char bytes[kCaptureBlockBytes];
    uint32_t length;
};

// Appends the line of one entry. A boot's lines say when it was, if the
// device's clock knows, the version of Penwick, which device it is, and the
// settings as the configuration read them.
void CaptureFormatEntry(CaptureBlock* block, const CaptureEntry& entry);

// Appends the header that names the columns, the first line of a new file.
void CaptureFormatHeader(CaptureBlock* block);

// Appends the line that says the capture stopped at its limit of `limit`
// bytes.
void CaptureFormatLimitReached(CaptureBlock* block, uint32_t limit);

#endif

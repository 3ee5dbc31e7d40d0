#include "proxy/sample_capture.h"

#include "filter/sample_filter.h"
#include "platform/decimal_digits.h"
#include "proxy/configuration.h"

CaptureState g_capture;

namespace {

// Room kept at the end of the file for the line that says the limit was
// reached, and the longest line of any entry.
const uint32_t kStopLineBytes = 80;
const uint32_t kLongestLine = 320;

// Keeps the compiler from moving memory accesses across it. The device has
// one processor, and the desktop's x86 keeps stores in order by itself.
inline void CaptureFence() { __asm__ __volatile__("" ::: "memory"); }

// Puts one entry into the buffer; false when it is full.
bool CapturePush(CaptureEntryKind kind, uint32_t flags, int32_t x, int32_t y) {
    CaptureState& c = g_capture;
    uint32_t head = c.head;
    if (head - c.tail >= kCaptureEntries) {
        return false;
    }
    CaptureEntry& entry = c.entries[head % kCaptureEntries];
    entry.kind = kind;
    entry.flags = flags;
    entry.x = x;
    entry.y = y;
    CaptureFence();
    c.head = head + 1;
    return true;
}

// Capture ends for the rest of the boot; the host notices nothing.
void CaptureTurnOff(void) {
    g_capture.active = false;
    g_capture.off = true;
}

// --- Lines of text, made without a C run-time library -----------------------

void AppendText(const char* text) {
    CaptureState& c = g_capture;
    while (*text != 0 && c.blockBytes < kCaptureBlockBytes) {
        c.block[c.blockBytes++] = *text++;
    }
}

void AppendUnsigned(uint32_t value, int minimumDigits) {
    char text[11];
    DecimalDigits(value, minimumDigits, text);
    AppendText(text);
}

void AppendSigned(int32_t value) {
    if (value < 0) {
        AppendText("-");
        AppendUnsigned(0u - static_cast<uint32_t>(value), 1);
    } else {
        AppendUnsigned(static_cast<uint32_t>(value), 1);
    }
}

// 0x and upper-case hex, at least two digits, as the trace format writes flags.
void AppendFlags(uint32_t flags) {
    const char hex[] = "0123456789ABCDEF";
    char text[11] = {'0', 'x'};
    int shift = 28;
    while (shift > 4 && (flags >> shift) == 0) {
        shift -= 4;
    }
    int at = 2;
    for (; shift >= 0; shift -= 4) {
        text[at++] = hex[(flags >> shift) & 0xF];
    }
    text[at] = 0;
    AppendText(text);
}

void AppendSize(int32_t width, int32_t height) {
    AppendSigned(width);
    AppendText("x");
    AppendSigned(height);
    AppendText("\n");
}

// The boot: when it was, if the device's clock knows, and the settings as
// the configuration read them.
void AppendBoot(void) {
    SystemDateTime boot;
    if (SystemBootTime(&boot)) {
        // 2026-12-08 09:30:05
        const struct {
            uint16_t value;
            int digits;
            const char* after;
        } parts[] = {{boot.year, 4, "-"},  {boot.month, 2, "-"},  {boot.day, 2, " "},
                     {boot.hour, 2, ":"}, {boot.minute, 2, ":"}, {boot.second, 2, "\n"}};
        AppendText("# penwick boot ");
        for (const auto& part : parts) {
            AppendUnsigned(part.value, part.digits);
            AppendText(part.after);
        }
    } else {
        AppendText("# penwick boot (time unknown)\n");
    }
    AppendText("# penwick settings ");
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        const ConfigurationSetting& setting = kConfigurationSettings[i];
        char name[24];
        int length = 0;
        for (; setting.name[length] != 0 && length < 23; length++) {
            name[length] = static_cast<char>(setting.name[length]);
        }
        name[length] = 0;
        AppendText(i == 0 ? "" : ", ");
        AppendText(name);
        AppendText(" ");
        AppendSigned(g_filterSettings.*setting.field);
    }
    AppendText(g_configuration.filteringEnabled ? "; filtering on\n" : "; filtering off\n");
}

void AppendEntry(const CaptureEntry& entry) {
    switch (entry.kind) {
    case CaptureEntrySample:
        AppendFlags(entry.flags);
        AppendText(",");
        AppendSigned(entry.x);
        AppendText(",");
        AppendSigned(entry.y);
        AppendText("\n");
        break;
    case CaptureEntryBoot: AppendBoot(); break;
    case CaptureEntryEnable:
        AppendText("# penwick enable-screen ");
        AppendSize(entry.x, entry.y);
        break;
    case CaptureEntryScreen:
        AppendText("# penwick screen ");
        AppendSize(entry.x, entry.y);
        break;
    case CaptureEntryDropped:
        AppendText("# penwick dropped ");
        AppendUnsigned(entry.flags, 1);
        AppendText("\n");
        break;
    }
}

// Appends the block to the file, whole lines only and never past the limit.
// At the limit, the lines that fit and a line saying so are written, and
// capture ends for the boot.
void CaptureWriteBlock(void) {
    CaptureState& c = g_capture;
    if (c.blockBytes == 0 || c.file == nullptr || c.off) {
        c.blockBytes = 0;
        return;
    }
    uint32_t limit = g_configuration.captureLimit;
    uint32_t room = limit > c.fileBytes + kStopLineBytes ? limit - c.fileBytes - kStopLineBytes : 0;
    uint32_t length = c.blockBytes;
    bool atLimit = length > room;
    if (atLimit) {
        length = room;
        while (length > 0 && c.block[length - 1] != '\n') {
            length--;
        }
    }
    if (length > 0 && !SystemWriteFile(c.file, c.block, length)) {
        CaptureTurnOff();  // a full store, say
        c.blockBytes = 0;
        return;
    }
    c.fileBytes += length;
    c.blockBytes = 0;
    if (atLimit) {
        AppendText("# penwick stopped: the file reached its limit of ");
        AppendUnsigned(limit, 1);
        AppendText(" bytes\n");
        if (c.fileBytes + c.blockBytes <= limit && SystemWriteFile(c.file, c.block, c.blockBytes)) {
            c.fileBytes += c.blockBytes;
        }
        c.blockBytes = 0;
        CaptureTurnOff();
    }
}

// One round of the writer: every entry in the buffer appended to the file.
void CaptureWriteOut(void) {
    CaptureState& c = g_capture;
    while (c.tail != c.head && !c.off) {
        CaptureFence();
        CaptureEntry entry = c.entries[c.tail % kCaptureEntries];
        CaptureFence();
        c.tail = c.tail + 1;
        if (c.blockBytes + kLongestLine > kCaptureBlockBytes) {
            CaptureWriteBlock();
        }
        AppendEntry(entry);
    }
    CaptureWriteBlock();
    uint32_t now = SystemTickCount();
    if (c.file != nullptr && now - c.lastFlush >= kCaptureFlushMs) {
        SystemFlushFile(c.file);
        c.lastFlush = now;
    }
}

uint32_t CaptureWriter(void*) {
    CaptureState& c = g_capture;
    c.file = SystemOpenFileForAppend(g_configuration.captureFile, &c.fileBytes);
    if (c.file == nullptr) {
        CaptureTurnOff();
    } else {
        c.lastFlush = SystemTickCount();
        while (!c.stopRequested && !c.off) {
            SystemSleep(kCaptureRoundMs);
            CaptureWriteOut();
        }
        // What is left, and samples lost since the buffer last had room
        // (nothing records samples any more).
        CaptureWriteOut();
        if (c.dropped > 0) {
            AppendEntry({CaptureEntryDropped, c.dropped, 0, 0});
            c.dropped = 0;
            CaptureWriteBlock();
        }
        SystemFlushFile(c.file);
        SystemCloseFile(c.file);
        c.file = nullptr;
    }
    CaptureFence();
    c.writerDone = true;
    return 0;
}

}  // namespace

void CaptureEnable(void) {
    CaptureState& c = g_capture;
    if (g_configuration.captureFile[0] == 0 || c.off) {
        return;
    }
    // The screen size the filter recorded at this enable.
    int32_t width = g_filterState.enableWidth;
    int32_t height = g_filterState.enableHeight;
    if (!c.booted) {
        c.booted = CapturePush(CaptureEntryBoot, 0, 0, 0);
    }
    CapturePush(CaptureEntryEnable, 0, width, height);
    c.screenWidth = width;
    c.screenHeight = height;
    c.active = true;
    if (c.thread == nullptr) {
        c.stopRequested = false;
        c.writerDone = false;
        c.thread = SystemStartThread(CaptureWriter, nullptr);
        if (c.thread == nullptr) {
            CaptureTurnOff();
        }
    }
}

void CaptureRecordSample(uint32_t flags, int32_t x, int32_t y) {
    CaptureState& c = g_capture;
    int32_t width = SystemScreenWidth();
    int32_t height = SystemScreenHeight();
    if (width != c.screenWidth || height != c.screenHeight) {
        if (!CapturePush(CaptureEntryScreen, 0, width, height)) {
            c.dropped++;
            return;
        }
        c.screenWidth = width;
        c.screenHeight = height;
    }
    // Samples lost while the buffer was full are reported where they were.
    if (c.dropped > 0) {
        if (!CapturePush(CaptureEntryDropped, c.dropped, 0, 0)) {
            c.dropped++;
            return;
        }
        c.dropped = 0;
    }
    if (!CapturePush(CaptureEntrySample, flags, x, y)) {
        c.dropped++;
    }
}

void CaptureStop(void) {
    CaptureState& c = g_capture;
    if (c.thread == nullptr) {
        return;
    }
    c.active = false;
    CaptureFence();
    c.stopRequested = true;
    // However busy the device is, the writer gets to write out what is left.
    SystemRaiseThreadPriority(c.thread);
    bool ended = false;
    for (uint32_t waited = 0; !c.writerDone && waited < kCaptureStopWaitMs; waited += 10) {
        if (SystemWaitForThread(c.thread, 0)) {
            ended = true;
            break;
        }
        SystemSleep(10);
    }
    if (c.writerDone) {
        // A moment for the writer to leave the library's code; while the
        // library is being unloaded, the rest of its ending waits for that.
        SystemWaitForThread(c.thread, 100);
    } else if (ended && c.file != nullptr) {
        // The writer was ended from outside (a process ending stops every
        // thread first): nothing else writes now, so finish here.
        CaptureWriteOut();
        SystemCloseFile(c.file);
        c.file = nullptr;
    }
    SystemCloseThread(c.thread);
    c.thread = nullptr;
}

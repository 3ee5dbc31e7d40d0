#include "proxy/sample_capture.h"

#include "filter/sample_filter.h"
#include "proxy/configuration.h"

CaptureState g_capture;

namespace {

// Keeps the compiler from moving memory accesses across it. The device has
// one processor, and the desktop's x86 keeps stores in order by itself.
inline void CaptureFence() { __asm__ __volatile__("" ::: "memory"); }

// Puts one entry into the buffer; false when it is full.
bool CapturePush(CaptureEntryKind kind, uint32_t flags, int32_t x, int32_t y,
                 uint32_t tick = 0) {
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
    entry.tick = tick;
    CaptureFence();
    c.head = head + 1;
    return true;
}

bool CaptureIsOff(void) {
    CaptureWriterState state = g_capture.writerState;
    return state == CaptureWriterTurningOff || state == CaptureWriterOff;
}

// The writer wrote out what was left, or capture is off, and it touches
// nothing more.
bool CaptureWriterIsDone(void) {
    CaptureWriterState state = g_capture.writerState;
    return state == CaptureWriterFinished || state == CaptureWriterOff;
}

// Capture ends for the rest of the boot; the host notices nothing.
void CaptureTurnOff(void) {
    // The state first: an enable that comes between does not arm it again.
    g_capture.writerState = CaptureWriterTurningOff;
    g_capture.active = false;
}

// The writer touches nothing more: the file is closed, off or not.
void CaptureWriterEnd(void) {
    CaptureFence();
    g_capture.writerState = CaptureIsOff() ? CaptureWriterOff : CaptureWriterFinished;
}

// Appends the block to the file, whole lines only and never past the limit.
// At the limit, the lines that fit and a line saying so are written, and
// capture ends for the boot.
void CaptureWriteBlock(void) {
    CaptureState& c = g_capture;
    CaptureBlock& block = c.block;
    if (block.length == 0 || c.file == nullptr || CaptureIsOff()) {
        block.length = 0;
        return;
    }
    uint32_t limit = g_configuration.captureLimit;
    uint32_t room = limit > c.fileBytes + kCaptureLimitLineBytes
                        ? limit - c.fileBytes - kCaptureLimitLineBytes
                        : 0;
    uint32_t length = block.length;
    bool atLimit = length > room;
    if (atLimit) {
        length = room;
        while (length > 0 && block.bytes[length - 1] != '\n') {
            length--;
        }
    }
    if (length > 0 && !SystemWriteFile(c.file, block.bytes, length)) {
        CaptureTurnOff();  // a full store, say
        block.length = 0;
        return;
    }
    c.fileBytes += length;
    block.length = 0;
    if (atLimit) {
        CaptureFormatLimitReached(&block, limit);
        if (c.fileBytes + block.length <= limit &&
            SystemWriteFile(c.file, block.bytes, block.length)) {
            c.fileBytes += block.length;
        }
        block.length = 0;
        CaptureTurnOff();
    }
}

// One round of the writer: every entry in the buffer appended to the file.
void CaptureWriteOut(void) {
    CaptureState& c = g_capture;
    while (c.tail != c.head && !CaptureIsOff()) {
        CaptureFence();
        CaptureEntry entry = c.entries[c.tail % kCaptureEntries];
        CaptureFence();
        c.tail = c.tail + 1;
        if (c.block.length + kCaptureLongestLine > kCaptureBlockBytes) {
            CaptureWriteBlock();
        }
        CaptureFormatEntry(&c.block, entry);
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
        if (c.fileBytes == 0) {
            CaptureFormatHeader(&c.block);
        }
        while (!c.stopRequested && !CaptureIsOff()) {
            SystemSleep(kCaptureRoundMs);
            CaptureWriteOut();
        }
        // What is left, and samples lost since the buffer last had room
        // (nothing records samples any more).
        CaptureWriteOut();
        if (c.dropped > 0) {
            CaptureFormatEntry(&c.block, {CaptureEntryDropped, c.dropped, 0, 0, 0});
            c.dropped = 0;
            CaptureWriteBlock();
        }
        SystemFlushFile(c.file);
        SystemCloseFile(c.file);
        c.file = nullptr;
    }
    CaptureWriterEnd();
    return 0;
}

}  // namespace

void CaptureEnable(void) {
    CaptureState& c = g_capture;
    if (g_configuration.captureFile[0] == 0 || CaptureIsOff()) {
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
        c.writerState = CaptureWriterWriting;
        c.thread = SystemStartThread(CaptureWriter, nullptr);
        if (c.thread == nullptr) {
            CaptureTurnOff();
            c.writerState = CaptureWriterOff;
        }
    }
}

void CaptureRecordSample(uint32_t flags, int32_t x, int32_t y) {
    CaptureState& c = g_capture;
    // When it arrived, not when the writer takes it.
    uint32_t tick = SystemTickCount();
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
    if (!CapturePush(CaptureEntrySample, flags, x, y, tick)) {
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
    for (uint32_t waited = 0; !CaptureWriterIsDone() && waited < kCaptureStopWaitMs; waited += 10) {
        if (SystemWaitForThread(c.thread, 0)) {
            ended = true;
            break;
        }
        SystemSleep(10);
    }
    if (CaptureWriterIsDone()) {
        // A moment for the writer to leave the library's code; while the
        // library is being unloaded, the rest of its ending waits for that.
        SystemWaitForThread(c.thread, 100);
    } else if (ended) {
        // The writer was ended from outside (a process ending stops every
        // thread first): nothing else writes now, so finish here.
        if (c.file != nullptr) {
            CaptureWriteOut();
            SystemCloseFile(c.file);
            c.file = nullptr;
        }
        CaptureWriterEnd();
    } else {
        // A writer that does not finish in time (its store stalled) is left
        // to end on its own. Capture is over for the boot, so that no enable
        // starts a second writer beside it.
        CaptureTurnOff();
    }
    SystemCloseThread(c.thread);
    c.thread = nullptr;
    if (c.writerState == CaptureWriterFinished) {
        c.writerState = CaptureWriterNone;
    }
}

// The capture: an opt-in record of every sample the original driver hands
// the interceptor, as it arrived (flags, x, y, and the system's millisecond
// tick when it did), before it is judged, written
// to a file in the trace format that penwick replay reads. Only the driver
// sees the original driver's samples with their flags, so only the driver
// can record them; settings are then tuned on the device's own input.
//
// With CaptureFile set, the sample path puts each sample into a fixed buffer
// of the driver's own and never waits nor touches a file: a writer thread at
// the lowest priority, started when the host enables the driver, takes the
// samples out and appends them to the file in blocks, flushing at least every
// second. Between samples the buffer also carries what the replay needs to
// know: the device's boot, each enable with its screen size, a turn of the
// screen, and samples lost while the buffer was full, each written as a
// "# penwick ..." line (proxy/capture_format.h). The file may grow to CaptureLimit bytes in all; at
// the limit, capture stops for the boot after a line saying so. Any failure
// (a path that cannot be written, a full store, a thread that does not
// start) turns capture off for the boot; what the host receives never
// changes. Without CaptureFile nothing is opened, no thread is started, and
// the sample path tests one flag.
//
// The device has one processor: the sample path and the writer share the
// buffer through two indexes, each written by one side only, and a compiler
// fence keeps an entry's contents ahead of the index that hands it over.
// The stop and the writer talk the same way: the stop's request and the
// writer's state, each written by one side only.
#ifndef PENWICK_PROXY_SAMPLE_CAPTURE_H
#define PENWICK_PROXY_SAMPLE_CAPTURE_H

#include <stdint.h>

#include "platform/system_services.h"
#include "proxy/capture_format.h"

// The buffer's size in entries (a power of two).
const uint32_t kCaptureEntries = 4096;
// How long the writer sleeps between rounds, how often at least it flushes,
// and how long a stop waits for it to write out what is left.
const uint32_t kCaptureRoundMs = 100;
const uint32_t kCaptureFlushMs = 1000;
const uint32_t kCaptureStopWaitMs = 3000;

// The writer's states. The writer writes its state while its thread runs;
// CaptureEnable and CaptureStop write it only while no writer runs.
//
//   0 none         no writer: an enable starts one (1), or turns capture off
//                  when the thread does not start (4)
//   1 writing      a round every kCaptureRoundMs, the buffer into the file;
//                  at the stop's request it writes out what is left (2); a
//                  failure or the limit turns capture off (3)
//   2 finished     it wrote out what was left and touches nothing more; the
//                  stop closes its thread (0)
//   3 turning off  capture is over for the boot; the writer closes the file
//                  (4)
//   4 off          capture is over for the boot and the writer touches
//                  nothing more; the stop closes its thread, and no enable
//                  starts another
enum CaptureWriterState {
    CaptureWriterNone = 0,
    CaptureWriterWriting,
    CaptureWriterFinished,
    CaptureWriterTurningOff,
    CaptureWriterOff,
};

struct CaptureState {
    // The one flag the sample path tests: set while capture runs.
    volatile bool active;

    // The buffer: the sample path writes entries at head, the writer takes
    // them at tail; each index is written by its own side only.
    CaptureEntry entries[kCaptureEntries];
    volatile uint32_t head;
    volatile uint32_t tail;
    uint32_t dropped;     // samples the full buffer could not take, not yet reported
    bool booted;          // the boot is in the buffer
    int32_t screenWidth;  // the screen size last put into the buffer
    int32_t screenHeight;

    // The writer: its thread, its state, and the stop's request to it, which
    // only a stop sets.
    SystemThread thread;
    volatile CaptureWriterState writerState;
    volatile bool stopRequested;
    SystemFile file;
    uint32_t fileBytes;  // the file's size, what was there before included
    uint32_t lastFlush;  // tick count
    CaptureBlock block;
};

extern CaptureState g_capture;

// From TouchPanelEnable, after the screen size is recorded and before the
// original driver is enabled: puts the boot (the first time) and this enable
// into the buffer and starts the writer when it is not running. Does nothing
// without CaptureFile.
void CaptureEnable(void);

// The sample path, only while g_capture.active: records one sample as the
// original driver delivered it, and when.
void CaptureRecordSample(uint32_t flags, int32_t x, int32_t y);

// From TouchPanelDisable and process detach: has the writer write out what
// is left and end, at normal priority now, and waits for it a while.
void CaptureStop(void);

#endif

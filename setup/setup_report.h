// What the installer tells: a log of every step it takes, and the outcome
// that the message box shows, its first line saying what happened.
//
// The installer runs on the device without a C run-time library, so its
// text is made here: UTF-16 buffers of fixed size, filled by a small
// formatter that knows UTF-16 and ASCII strings and decimal numbers, and
// turned into UTF-8 for the log file. Text that does not fit is cut off,
// never written past its buffer.
#ifndef PENWICK_SETUP_SETUP_REPORT_H
#define PENWICK_SETUP_SETUP_REPORT_H

#include <stdarg.h>
#include <stdint.h>

// The longest path the installer handles, with its terminator.
const uint32_t kSetupPathUnits = 260;

// Appends to a terminated UTF-16 buffer of `units` units whose text is
// `*length` units long: `format` with its arguments, %s a UTF-16 string, %a
// an ASCII string, %d an int32_t, %u a uint32_t (%2u with at least two
// digits), %% a percent sign. False when it did not all fit.
bool SetupFormat(char16_t* buffer, uint32_t units, uint32_t* length, const char* format, ...);
bool SetupFormatList(char16_t* buffer, uint32_t units, uint32_t* length, const char* format,
                     va_list arguments);

// A path made by the formatter from nothing; false (and an empty path) when
// it is longer than kSetupPathUnits allows.
bool SetupMakePath(char16_t path[kSetupPathUnits], const char* format, ...);

// A folder as given, without a closing backslash (the root, "\", stays); false
// (and an empty path) when it is too long.
bool SetupMakeFolder(char16_t folder[kSetupPathUnits], const char16_t* given);

const uint32_t kSetupLogUnits = 6144;
const uint32_t kSetupOutcomeUnits = 2048;

struct SetupReport {
    char16_t log[kSetupLogUnits];  // a line per step
    uint32_t logLength;
    char16_t outcome[kSetupOutcomeUnits];  // for the message box
    uint32_t outcomeLength;
};

extern SetupReport g_setupReport;

// Empties the log and the outcome.
void SetupReportReset(void);

// One line into the log.
void SetupLog(const char* format, ...);

// One line into the outcome, and into the log after "outcome: " (or "  "
// for lines after the first).
void SetupOutcome(const char* format, ...);

// Words for a platform error number ("the store is full").
const char* SetupErrorWords(int32_t error);

// The text as UTF-8 in `out`, which holds `capacity` bytes; returns the
// number of bytes, cut off at a whole character when it does not fit.
uint32_t SetupUtf8(const char16_t* text, uint32_t length, char* out, uint32_t capacity);

#endif

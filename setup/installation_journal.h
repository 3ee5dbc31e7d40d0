// The undo journal: every value the installer writes is kept first as it
// was (absent ones too), read back once written, and put back, newest
// first, when a later step fails; with the key the install created, the
// Penwick.dll it copied and the one it moved aside (g_installation,
// setup/installation.h). A value is written whole or not at all, so one
// whose write failed needs no undoing.
#ifndef PENWICK_SETUP_INSTALLATION_JOURNAL_H
#define PENWICK_SETUP_INSTALLATION_JOURNAL_H

#include <stdint.h>

#include "setup/installation.h"

// Keeps what `name` under `key` holds, then writes it; `keyPath` names the
// key in the reason when it fails.
bool JournalWriteValue(SystemKey key, const char16_t* keyPath, const char16_t* name, uint32_t type,
                       const void* data, uint32_t size);

// Reads back what the journal's entries from `first` on wrote.
bool JournalReadBack(int first);

// Has the store write `key` out.
bool JournalFlushKey(SystemKey key, const char16_t* keyPath);

// DriverName to `name`, through the journal, written out and read back.
bool JournalSwitchDriverName(const char16_t* name);

// Puts back everything written, newest first; true when all of it was.
bool JournalUndo(void);

// After a failure once something was written: undoes it and says what came
// of that, and what DriverName names when not everything could be put back.
InstallationResult JournalUndoAfterFailure(void);

#endif

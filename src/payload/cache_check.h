// The check of a found target directory against the entry table: which
// entries' files are missing or differ, decided without decoding anything.
// Files are checked on worker threads, one file at a time each, while the
// main thread checks alongside them; the check reads and never writes, and
// a file it cannot open or read simply counts as one to write. The workers
// share nothing with the main thread but the next entry to claim and the
// result slots, each slot written by one thread only and read by the main
// thread after every worker has ended.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/entry_table.h"

// At most this many threads check at once, the main thread included: each
// holds a read buffer of kCheckBufferSize bytes, and past a few threads a
// disk gives no more, while small files keep one thread busy opening them.
constexpr uint32_t kMaxCheckThreads = 8;

// Sets needsWrite[i] (the table's entry count of bytes) to 1 for each entry
// whose file below `targetDirectory` does not hold its contents, and to 0
// for the others; returns how many are 1. An entry whose path would not fit
// a path buffer counts as one to write, so that the write reports it.
uint32_t checkFilesAgainstTable(const EntryTableView& table, const Utf16Unit* targetDirectory,
                                unsigned char* needsWrite);

// The main thread's read buffer (kCheckBufferSize bytes), for checks outside
// checkFilesAgainstTable.
unsigned char* mainCheckBuffer();

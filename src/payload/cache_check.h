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

// What is known of an entry's file, one byte per entry of the table.
enum EntryState : unsigned char {
  kEntryWhole = 0,    // holds the entry's contents: left alone
  kEntryToWrite = 1,  // missing or different: written
  kEntryToCheck = 2,  // not known yet
};

// Checks the file below `targetDirectory` of each entry whose state is
// kEntryToCheck (`states` holds the table's entry count of bytes) and sets
// it to kEntryWhole or kEntryToWrite; returns how many entries are then
// kEntryToWrite. An entry whose path would not fit a path buffer counts as
// one to write, so that the write reports it.
uint32_t checkFilesAgainstTable(const EntryTableView& table, const Utf16Unit* targetDirectory,
                                unsigned char* states);

// The main thread's read buffer (kCheckBufferSize bytes), for checks outside
// checkFilesAgainstTable.
unsigned char* mainCheckBuffer();

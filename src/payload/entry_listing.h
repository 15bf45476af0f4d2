// What each entry's file looks like on disk, learnt without opening a single
// file: every folder of the target directory that holds entries is listed
// once, and each listed name is looked up among the entries, compared
// exactly. A listing only reads; a folder that cannot be listed, or a file
// it does not show as expected, leaves its entries unknown, which means
// their contents are read.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/cache_record.h"
#include "payload/entry_table.h"

// Bytes of working memory listEntryFiles needs for `entryCount` entries.
uint64_t entryListingBytes(uint32_t entryCount);

// Lists each folder below `target` (no trailing backslash) that holds
// entries of `table` and sets found[i], for every entry i, to the listed
// last-write time and file id of its file: a plain file (no folder, no
// link, whose own time would say nothing of what it points to) of exactly
// the entry's size under exactly its name; kUnknownStamp for any other.
// `memory` has entryListingBytes(table.entryCount) bytes, 8-aligned.
void listEntryFiles(const EntryTableView& table, const Utf16Unit* target, FileStamp* found,
                    void* memory);

// The volume serial number and file id of the folder `path`; false when it
// cannot be opened.
bool directoryIdentity(const Utf16Unit* path, uint32_t* volumeSerial, uint64_t* fileId);

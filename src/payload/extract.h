// Unpacking: every payload entry's file below the target directory, leaving
// alone each file already present with its stored checksum. Only one launcher
// at a time unpacks into a directory, and every file is written under a
// temporary name and moved into place, so a file is never seen half written
// under its own name, also by a launcher started alongside.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/entry_table.h"

// A first start unpacks into the target directory's name with this suffix
// and renames that folder into place. A start that finds the target directory
// writes a file in its staging folder, named by this suffix, or else under
// its entry's name with this suffix, and then moves it over its real name.
// tavmor-pack refuses entry names with a component that ends in it, which
// would meet the staging folder or another entry's temporary file.
constexpr Utf16Unit kPartialSuffix[] = u".tavmor-partial";

// Path of the first entry, the child program; empty until an entry is read.
extern PathBuffer childProgramPath;

// The attached data after its header: the frame and the trailer.
struct AttachedInput {
  const unsigned char* data;
  uint64_t length;
};

// Unpacks into `targetDirectory` and returns with every entry's file in
// place and childProgramPath set, or ends the process.
//
// Without `table`, or on a first start, one pass decodes the whole stream
// and checks each file as its entry comes. With a trusted table, a start
// that finds the target directory first checks every file against the table
// and decodes only when some must be written: then once, as far as the last
// of them, writing exactly those. The reader is opened only when something
// is decoded.
//
// With `checkByMetadata` and a trusted table, a found target directory is
// checked by size and time against the record of the last complete pass,
// and a pass that leaves every file whole records them (metadata_check.h).
void unpackPayload(const Utf16Unit* targetDirectory, const AttachedInput& input,
                   const EntryTableView* table, bool checkByMetadata);

// Whether the stamped table (`length` bytes at `table`, its packed frame; null
// for none) may be trusted for `input`; fills `view` when it may. The table is
// decoded into memory of its own that lives as long as the process.
bool trustEntryTable(const unsigned char* table, uint32_t length, const AttachedInput& input,
                     EntryTableView& view);

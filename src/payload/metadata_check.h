// The check by size and time (the launcher's metadata mode): a start that
// finds the target directory lists each of its folders once and reads only
// the files the record of an earlier pass does not vouch for; a pass that
// leaves every file whole records what each file then looks like.
//
// What a record vouches for is what a listing of the target directory shows
// once its pass has left every file whole: the very times and ids the next
// start's listing compares. Files the pass writes are given the record's
// time less the racy interval, so that the next start can trust them; any
// file changed after the record's time shows a later time, which a record
// never vouches for (cache_record.h).
// The record is written under a temporary name, renamed over its name while
// still open and never written in place; one that cannot be written costs
// only a check by contents next time, and the start goes on.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/cache_record.h"
#include "payload/entry_table.h"

// Starts a pass over the entries of `table` that may end with a record:
// takes the record's time, before any file is read or written, and makes
// every file written from here on carry the time that lets the record
// vouch for it. Memory for the listing and the record is set aside here,
// only on this path; when none can be had the pass runs as a check by
// contents and records nothing.
void beginRecordedPass(const EntryTableView& table);

// A found target directory (no trailing backslash): lists it, and sets
// states[i] to kEntryWhole for each entry whose file the record in it
// vouches for, to kEntryToCheck for the rest.
void settleFromRecord(const Utf16Unit* target, unsigned char* states);

// Ends the pass. When `complete` (every entry's file, in table order, was
// found whole or written), lists `target` and writes a fresh record of what
// it shows there, unless the one found vouched for every file already.
// Releases the memory.
void endRecordedPass(const Utf16Unit* target, bool complete);

// A first start on every core: the frames of the attached data that hold
// files to write are decoded on worker threads, each with its own decoder
// context and decoded block, each writing its frame's files in place in the
// staged tree (which only this launcher uses, so no file needs a temporary
// name). The main thread decodes alongside them. Workers report nothing and
// end nothing: each records its first failure and stops, and the main thread,
// once every worker has ended, reports the failure of the earliest entry in
// stream order, as the single pass would have met it first. The staged tree
// is put in place only after that, by the caller.
#pragma once
#include <cstdint>

#include "base/utf16_text.h"
#include "payload/entry_table.h"

// At most this many threads decode at once, the main thread included, and
// fewer when their windows would together pass kDecodeWindowBudget bytes.
constexpr uint32_t kMaxFrameWorkers = 8;
constexpr uint64_t kDecodeWindowBudget = uint64_t{256} << 20;

enum class FramesOutcome {
  done,       // every entry marked kEntryToWrite is written
  disagrees,  // an entry in the stream differs from the table: trust it no more
};

// Writes, below `stagedRoot`, the file of every entry whose state in
// `states` is kEntryToWrite, and counts the others as found whole; the
// folders on the way must exist. `input` holds the attached data's input
// (`inputLength` bytes). Ends the process on the first failure in stream
// order, with the single pass's message.
FramesOutcome unpackFramesInParallel(const EntryTableView& table, const unsigned char* input,
                                     uint64_t inputLength, const unsigned char* states,
                                     const Utf16Unit* stagedRoot, const Utf16Unit* targetDirectory);

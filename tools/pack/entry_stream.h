// Reads the entries of attached data one after another through the payload
// reader, as the launcher does, but reports damage instead of ending.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "attached_data_file.h"

struct EntryHeader {
  std::u16string name;
  uint64_t size = 0;
  uint32_t checksum = 0;
};

class EntryHandler {
 public:
  virtual ~EntryHandler() = default;
  virtual void begin(const EntryHeader&) {}
  // The contents in order, in pieces.
  virtual void contents(const unsigned char*, size_t) {}
  virtual void end() {}
};

// Hands every entry up to the end-of-list entry to `handler`. Throws a
// UserError naming `shownName` and the entry where the stream broke: a frame
// the decoder rejects, a list that ends early, a name over the limit.
void readEntries(const AttachedDataFile& file, const std::string& shownName, EntryHandler& handler);

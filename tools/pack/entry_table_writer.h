// Builds the entry table (payload/entry_table.h) of attached data as its
// entries are written, in the same order, and packs it into the frame a
// launcher carries (payload/packed_entry_table.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class EntryTableBuilder {
 public:
  // One entry, as the attached data holds it.
  void add(const std::u16string& name, uint64_t size, uint32_t checksum);
  // A new frame starts at `inputOffset` of the input, before the next entry
  // added. The first frame starts at 0 without a call.
  void beginFrame(uint64_t inputOffset);
  size_t entryCount() const { return records_.size(); }
  // Whether a launcher would check this many entries by their table.
  bool fits() const;
  // The whole table for the attached data whose input (frame and trailer)
  // has `inputLength` bytes and the edge checksum `edgeCrc`.
  std::vector<unsigned char> finish(uint64_t inputLength, uint32_t edgeCrc) const;

 private:
  struct Record {
    uint64_t contentOffset, size;
    uint32_t checksum, nameStart;
    uint16_t nameLength;
  };
  struct Frame {
    uint64_t inputOffset, decodedOffset;
    uint32_t firstEntry;
  };
  std::vector<Record> records_;
  std::vector<Frame> frames_{Frame{0, 0, 0}};
  std::u16string pool_;
  uint64_t decoded_ = 0;
  uint64_t contents_ = 0;
};

// The table as a launcher carries it: one zstd frame at `level`, with its
// decoded length and content checksum. The same table and level give the
// same bytes.
std::vector<unsigned char> packEntryTable(const std::vector<unsigned char>& table, int level);

// libFuzzer target: arbitrary bytes as an entry table. The harness seals each
// input with its own length and checksum and binds it to whatever attached
// data its header names, so the fuzzer explores the checks past those; a
// table that passes is read entry by entry and frame by frame, as the
// launcher reads it in place. The raw input is also tried as the packed frame
// a launcher carries, which must never decode past the length it declares.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "payload/entry_table.h"
#include "payload/format.h"
#include "payload/packed_entry_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t unpacked = packedEntryTableLength(data, size);
  if (unpacked != 0 && unpacked <= (1u << 24)) {
    std::vector<unsigned char> plain(static_cast<size_t>(unpacked));
    unpackEntryTable(data, size, plain.data(), plain.size());
  }
  const size_t length = size / 4 * 4;
  if (length < kEntryTableHeaderSize + 4 || length > (1u << 24)) return 0;
  // Names are read in place, so the table is 2-byte aligned, as in an image.
  std::vector<uint16_t> aligned(length / 2);
  unsigned char* const table = reinterpret_cast<unsigned char*>(aligned.data());
  std::memcpy(table, data, length);
  std::memcpy(table, kEntryTableSignature, sizeof kEntryTableSignature);
  storeU32(table + 8, static_cast<uint32_t>(length));
  storeU32(table + length - 4, extendCrc(0, table, length - 4));

  EntryTableView view;
  if (entryTableProblem(table, length, loadU64(table + 24), loadU32(table + 32), view) != nullptr) {
    return 0;
  }
  uint64_t units = 0;
  for (uint32_t i = 0; i < view.entryCount; ++i) {
    const TableEntry entry = tableEntry(view, i);
    for (uint32_t unit = 0; unit <= entry.nameLength; ++unit) units += entry.name[unit];
  }
  for (uint32_t f = 0; f < view.frameCount; ++f) units += tableFrame(view, f).entryCount;
  return units == 0xFFFFFFFFFFFFFFFF ? 1 : 0;
}

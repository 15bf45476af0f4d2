// Finding the attached data in a file: a launcher built by tavmor-pack (also
// after Authenticode signing, which appends to the image) or a raw
// attached-data file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

struct AttachedDataLocation {
  bool found = false;
  size_t offset = 0;         // of the "R" of the header
  uint64_t inputLength = 0;  // bytes after the header that the reader gets
  // Whether a whole zstd frame follows the header and the trailer after it
  // holds its own offset between zero bytes. Without that the input runs to
  // the end of the file, and verify reports the data as damaged.
  bool trailerMatches = false;
};

// The first "RUQ" followed by the zstd frame magic whose frames (one, or
// several one after the other) are closed by a matching trailer; failing
// that, the first "RUQ" with the frame magic. The
// header precedes everything it holds, so attached data of another launcher
// packed inside (stored verbatim when incompressible) is never taken first.
AttachedDataLocation locateAttachedData(const unsigned char* data, size_t size);

// Where a launcher's stamped configuration places its entry table in the
// file; absent for a raw attached-data file and for a launcher without one.
struct EntryTableLocation {
  bool found = false;
  size_t offset = 0;
  size_t length = 0;
};
EntryTableLocation locateEntryTable(const unsigned char* data, size_t size);

// The table the packed frame at `stored` holds (payload/packed_entry_table.h),
// or nothing when it does not decode whole.
std::vector<unsigned char> unpackedEntryTable(const unsigned char* stored, size_t length);

struct AttachedDataFile {
  std::vector<unsigned char> bytes;
  AttachedDataLocation location;
  EntryTableLocation table;
  const unsigned char* input() const { return bytes.data() + location.offset + 3; }
};

// Throws a UserError naming the file when it cannot be read or holds no
// attached data. Finds the entry table too, when the file has one.
AttachedDataFile loadAttachedData(const std::filesystem::path& file);

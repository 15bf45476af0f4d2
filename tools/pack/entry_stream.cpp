#include "entry_stream.h"

#include <vector>

#include "errors.h"
#include "payload/format.h"
#include "payload/reader.h"
#include "unicode.h"

namespace {

// Ends the reader on every way out.
struct ReaderScope {
  PayloadReader reader{};
  ~ReaderScope() { endPayloadReader(reader); }
};

}  // namespace

void readEntries(const AttachedDataFile& file, const std::string& shownName,
                 EntryHandler& handler) {
  ReaderScope scope;
  PayloadReader& reader = scope.reader;
  if (beginPayloadReader(reader, file.input(), file.location.inputLength) != PayloadStatus::ok) {
    throw std::bad_alloc();
  }
  size_t index = 0;
  std::u16string previous;
  const auto damaged = [&](const std::string& what) {
    return UserError(shownName + ": damaged attached data: " + what + " in entry " +
                     std::to_string(index + 1) +
                     (previous.empty() ? std::string() : " (after \"" + toUtf8(previous) + "\")"));
  };
  const auto take = [&](void* destination, size_t count) {
    if (takePayload(reader, destination, count) != PayloadStatus::ok)
      throw damaged("cannot decode");
  };
  std::vector<unsigned char> piece(kContentChunkSize);
  for (;; ++index) {
    EntryHeader header;
    for (;;) {
      unsigned char unit[2];
      take(unit, 2);
      const char16_t value = static_cast<char16_t>(unit[0] | unit[1] << 8);
      if (value == 0) break;
      if (header.name.size() == kEntryNameCapacity - 1) throw damaged("name too long");
      header.name.push_back(value);
    }
    if (header.name.empty()) return;
    unsigned char numbers[12];
    take(numbers, sizeof numbers);
    header.size = loadU64(numbers);
    header.checksum = loadU32(numbers + 8);
    handler.begin(header);
    for (uint64_t left = header.size; left > 0;) {
      const size_t count = left < piece.size() ? static_cast<size_t>(left) : piece.size();
      take(piece.data(), count);
      handler.contents(piece.data(), count);
      left -= count;
    }
    handler.end();
    previous = header.name;
  }
}

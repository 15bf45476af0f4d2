#include "entry_stream.h"

#include <vector>

#include "errors.h"
#include "payload/entry_header.h"
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
  PayloadEntryHeader stored;
  for (;; ++index) {
    switch (takeEntryHeader(reader, stored)) {
      case EntryHeaderStatus::ok:
        break;
      case EntryHeaderStatus::decodeFailed:
        throw damaged("cannot decode");
      case EntryHeaderStatus::nameTooLong:
        throw damaged("name too long");
    }
    if (stored.nameLength == 0) return;
    EntryHeader header;
    header.name.assign(stored.name, stored.nameLength);
    header.size = stored.size;
    header.checksum = stored.checksum;
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

#include "attached_data_file.h"

#include <zstd.h>

#include <cstring>
#include <fstream>

#include "errors.h"
#include "host_system.h"
#include "launcher/stamped_configuration.h"
#include "payload/format.h"
#include "payload/packed_entry_table.h"
#include "pe_image.h"

namespace {

constexpr unsigned char kSignature[] = {'R', 'U', 'Q', 0x28, 0xB5, 0x2F, 0xFD};

bool trailerFits(const unsigned char* data, size_t size, size_t offset, uint64_t frameLength) {
  const uint64_t end = offset + kAttachedHeaderSize + frameLength + kAttachedTrailerSize;
  if (end > size) return false;
  unsigned char expected[kAttachedTrailerSize];
  fillAttachedTrailer(expected, frameLength);
  return std::memcmp(data + offset + kAttachedHeaderSize + frameLength, expected,
                     kAttachedTrailerSize) == 0;
}

}  // namespace

AttachedDataLocation locateAttachedData(const unsigned char* data, size_t size) {
  AttachedDataLocation firstCandidate;
  const unsigned char* const end = data + size;
  for (const unsigned char* at = data; size >= sizeof kSignature && at <= end - sizeof kSignature;
       ++at) {
    at =
        static_cast<const unsigned char*>(std::memchr(at, 'R', (end - sizeof kSignature + 1) - at));
    if (at == nullptr) break;
    if (std::memcmp(at, kSignature, sizeof kSignature) != 0) continue;
    const size_t offset = at - data;
    const size_t afterHeader = size - offset - kAttachedHeaderSize;
    // One frame or several, one after the other, up to the trailer.
    size_t frameLength = 0;
    for (;;) {
      const size_t next = ZSTD_findFrameCompressedSize(at + kAttachedHeaderSize + frameLength,
                                                       afterHeader - frameLength);
      if (ZSTD_isError(next)) break;
      frameLength += next;
      if (trailerFits(data, size, offset, frameLength)) {
        return {true, offset, frameLength + kAttachedTrailerSize, true};
      }
      if (afterHeader - frameLength < sizeof kSignature - kAttachedHeaderSize ||
          std::memcmp(at + kAttachedHeaderSize + frameLength, kSignature + kAttachedHeaderSize,
                      sizeof kSignature - kAttachedHeaderSize) != 0) {
        break;
      }
    }
    if (!firstCandidate.found) firstCandidate = {true, offset, afterHeader, false};
  }
  return firstCandidate;
}

EntryTableLocation locateEntryTable(const unsigned char* data, size_t size) {
  PeHeaders headers;
  if (!readPeHeaders(data, size < 65536 ? size : 65536, headers).empty()) return {};
  const PeSection* const configuration = headers.section(kConfigurationSection);
  if (configuration == nullptr || configuration->rawSize < sizeof(StampedConfiguration) ||
      uint64_t{configuration->rawOffset} + sizeof(StampedConfiguration) > size) {
    return {};
  }
  StampedConfiguration block;
  std::memcpy(&block, data + configuration->rawOffset, sizeof block);
  LauncherConfiguration read;
  if (!readStampedConfiguration(block, read) || read.entryTableRva == 0) return {};
  for (const PeSection& s : headers.sections) {
    if (read.entryTableRva < s.virtualAddress ||
        read.entryTableRva - s.virtualAddress >= s.rawSize) {
      continue;
    }
    const uint64_t offset = uint64_t{s.rawOffset} + (read.entryTableRva - s.virtualAddress);
    if (offset + read.entryTableLength > size ||
        read.entryTableRva - s.virtualAddress + uint64_t{read.entryTableLength} > s.rawSize) {
      return {};
    }
    return {true, static_cast<size_t>(offset), read.entryTableLength};
  }
  return {};
}

std::vector<unsigned char> unpackedEntryTable(const unsigned char* stored, size_t length) {
  std::vector<unsigned char> plain(static_cast<size_t>(packedEntryTableLength(stored, length)));
  if (plain.empty() || !unpackEntryTable(stored, length, plain.data(), plain.size())) return {};
  return plain;
}

AttachedDataFile loadAttachedData(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw UserError(shownPath(file) + ": cannot open");
  AttachedDataFile loaded;
  in.seekg(0, std::ios::end);
  loaded.bytes.resize(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(loaded.bytes.data()),
          static_cast<std::streamsize>(loaded.bytes.size()));
  if (!in) throw UserError(shownPath(file) + ": cannot read");
  loaded.location = locateAttachedData(loaded.bytes.data(), loaded.bytes.size());
  if (!loaded.location.found) throw UserError(shownPath(file) + ": no attached data found");
  loaded.table = locateEntryTable(loaded.bytes.data(), loaded.bytes.size());
  return loaded;
}

#include "pack_in_memory.h"

#include <cstdio>
#include <cstdlib>

#include "payload/format.h"

std::vector<unsigned char> packInMemory(const std::vector<TestEntry>& entries,
                                        const WriterSettings& settings, size_t pieceSize,
                                        std::string& error,
                                        std::vector<unsigned char>* entryTable) {
  char* buffer = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&buffer, &length);
  bool ok = out != nullptr;
  if (!ok) error = "open_memstream failed";
  {
    AttachedDataWriter writer;
    ok = ok && writer.open(out, settings, error);
    for (const TestEntry& entry : entries) {
      const std::string& contents = entry.contents;
      ok = ok && writer.beginEntry(entry.name, contents.size(),
                                   contentChecksum(contents.data(), contents.size()), error);
      for (size_t at = 0; ok && at < contents.size(); at += pieceSize) {
        const size_t piece = contents.size() - at < pieceSize ? contents.size() - at : pieceSize;
        ok = writer.addContents(contents.data() + at, piece, error);
      }
      ok = ok && writer.endEntry(error);
    }
    ok = ok && writer.finish(error);
    if (ok && entryTable != nullptr) *entryTable = writer.entryTable();
    // finish() flushes, which brings `length` up to date.
    if (ok && writer.bytesWritten() != length) {
      ok = false;
      error = "bytesWritten() differs from the bytes in the stream";
    }
  }
  std::vector<unsigned char> data;
  if (out != nullptr) std::fclose(out);
  if (ok) data.assign(buffer, buffer + length);
  std::free(buffer);
  return data;
}

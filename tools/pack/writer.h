// Writes attached data: "RUQ", one zstd frame holding the entry list, and the
// trailer. Entries stream through the compressor; no file is ever held whole.
//
//   AttachedDataWriter writer;
//   writer.open(out, settings, error);
//   writer.addFile(u"app.exe", "/path/app.exe", error);   // the child program first
//   writer.beginEntry(name, size, checksum, error);        // or piece by piece
//   writer.addContents(data, length, error);
//   writer.endEntry(error);
//   writer.finish(error);
//
// Every call returns false with a reason in `error` on failure. After a
// failure the output is incomplete and the writer refuses every further call.
#pragma once
#include <zstd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "entry_table_writer.h"

struct WriterSettings {
  int level = 19;
  int threads = 0;  // 0: compress on the calling thread
  // Decoded bytes after which the next entry starts a new zstd frame, and an
  // entry of at least this size gets a frame of its own; 0: one frame.
  uint64_t frameSize = 0;
};

class AttachedDataWriter {
 public:
  AttachedDataWriter() = default;
  ~AttachedDataWriter();
  AttachedDataWriter(const AttachedDataWriter&) = delete;
  AttachedDataWriter& operator=(const AttachedDataWriter&) = delete;

  // Starts the attached data in `out` (binary FILE*, owned by the caller):
  // writes "RUQ" and opens the frame. The window never exceeds 2^27 bytes,
  // whatever the level. The same entries at the same level and thread count
  // give the same bytes.
  bool open(std::FILE* out, const WriterSettings& settings, std::string& error);

  // One entry: name as UTF-16 code units (1..1023 units, none zero, a relative
  // path with backslashes, see entryNameFault), its size and checksum
  // (contentChecksum's rule).
  bool beginEntry(const std::u16string& name, uint64_t size, uint32_t checksum, std::string& error);
  // Fails as soon as the entry would get more bytes than its size.
  bool addContents(const void* data, size_t length, std::string& error);
  // Fails when the bytes added differ in count from `size` or their checksum
  // differs from `checksum` (a file that changed while it was packed).
  bool endEntry(std::string& error);

  // A file from disk in two streaming passes (checksum, then contents), never
  // held whole; `progress`, when given, gets the byte count of each piece of
  // the second pass. A file that changes between the passes is refused.
  bool addFile(const std::u16string& name, const std::string& path, std::string& error,
               const std::function<void(size_t)>& progress = {});
  // The same for a file the caller opened ("rb"); `error` does not name it.
  bool addFile(const std::u16string& name, std::FILE* file, std::string& error,
               const std::function<void(size_t)>& progress = {});
  // Whether the last failure was the file's own (it could not be opened or
  // read, or it changed), rather than compressing or writing.
  bool failedOnInput() const { return failedOnInput_; }

  // Hands every byte written to `observer` too, in order, right after it is
  // written. An exception it throws leaves the writer unusable.
  void observeOutput(std::function<void(const unsigned char*, size_t)> observer) {
    observer_ = std::move(observer);
  }

  // End-of-list entry, end of frame, trailer. After this, bytesWritten() is
  // the attached data's length.
  bool finish(std::string& error);

  uint64_t bytesWritten() const { return bytesWritten_; }
  // Decoded bytes so far: names, sizes, checksums, contents, end of list.
  uint64_t bytesIn() const { return bytesIn_; }
  // Length of the zstd frame; complete after finish().
  uint64_t frameLength() const { return frameLength_; }
  // The entry table of what was written (payload/entry_table.h), after
  // finish(); empty when there are more entries than a launcher checks by
  // its table.
  std::vector<unsigned char> entryTable() const;

 private:
  enum class State { closed, betweenEntries, inEntry, finished, failed };

  bool expect(State state, const char* operation, std::string& error);
  bool fail(std::string& error, std::string reason);
  // Feeds `length` bytes to the compressor and writes whatever it produces.
  bool compress(const void* data, size_t length, ZSTD_EndDirective directive, std::string& error);
  bool writeOut(const void* data, size_t length, std::string& error);

  // Ends the current frame; the next entry starts another.
  bool endFrame(std::string& error);

  State state_ = State::closed;
  uint64_t frameSize_ = 0;
  // Decoded bytes and entries in the current frame.
  uint64_t frameDecoded_ = 0;
  uint64_t frameEntries_ = 0;
  std::FILE* out_ = nullptr;
  std::function<void(const unsigned char*, size_t)> observer_;
  bool failedOnInput_ = false;
  ZSTD_CCtx* context_ = nullptr;
  std::vector<unsigned char> compressed_;
  std::vector<unsigned char> readBuffer_;
  uint64_t bytesWritten_ = 0;
  uint64_t bytesIn_ = 0;
  uint64_t frameLength_ = 0;
  // The entry being written: what it promised and what it got so far.
  uint64_t entrySize_ = 0;
  uint32_t entryChecksum_ = 0;
  uint64_t entryAdded_ = 0;
  uint32_t entryCrc_ = 0;
  EntryTableBuilder table_;
  // The first bytes after the header, and the last ones seen so far, which
  // bind the entry table to this attached data.
  std::vector<unsigned char> head_, tail_;
};

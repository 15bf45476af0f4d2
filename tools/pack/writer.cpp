// ZSTD_getCParams: the window a level chooses. Debian's libzstd exports it.
#define ZSTD_STATIC_LINKING_ONLY
#include "writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "payload/entry_table.h"
#include "payload/format.h"

namespace {

std::string zstdFailure(const char* what, size_t code) {
  return std::string(what) + ": " + ZSTD_getErrorName(code);
}

// The window the level would choose for a stream of unknown length, but never
// above what the launcher's decoder accepts.
int windowLogFor(int level) {
  const ZSTD_compressionParameters chosen = ZSTD_getCParams(level, ZSTD_CONTENTSIZE_UNKNOWN, 0);
  const int wanted = static_cast<int>(chosen.windowLog);
  return wanted < kMaxWindowLog ? wanted : kMaxWindowLog;
}

}  // namespace

AttachedDataWriter::~AttachedDataWriter() { ZSTD_freeCCtx(context_); }

bool AttachedDataWriter::expect(State state, const char* operation, std::string& error) {
  if (state_ == state) return true;
  if (state_ == State::failed) {
    error = std::string("cannot ") + operation + ": an earlier step failed";
  } else {
    error = std::string("cannot ") + operation + " at this point";
    state_ = State::failed;
  }
  return false;
}

bool AttachedDataWriter::fail(std::string& error, std::string reason) {
  error = std::move(reason);
  state_ = State::failed;
  return false;
}

bool AttachedDataWriter::open(std::FILE* out, const WriterSettings& settings, std::string& error) {
  if (!expect(State::closed, "open the attached data", error)) return false;
  if (settings.level < ZSTD_minCLevel() || settings.level > ZSTD_maxCLevel()) {
    return fail(error, "compression level " + std::to_string(settings.level) + " is outside " +
                           std::to_string(ZSTD_minCLevel()) + ".." +
                           std::to_string(ZSTD_maxCLevel()));
  }
  if (settings.threads < 0) return fail(error, "the thread count cannot be negative");
  context_ = ZSTD_createCCtx();
  if (context_ == nullptr) return fail(error, "cannot allocate the compression context");
  const struct {
    ZSTD_cParameter parameter;
    int value;
    const char* name;
  } parameters[] = {
      {ZSTD_c_compressionLevel, settings.level, "compression level"},
      {ZSTD_c_windowLog, windowLogFor(settings.level), "window size"},
      // Every entry carries its own checksum, which `verify` checks; the frame
      // checksum would only be examined past the end-of-list entry, where the
      // launcher never reads.
      {ZSTD_c_checksumFlag, 0, "checksum flag"},
      {ZSTD_c_nbWorkers, settings.threads, "thread count"},
  };
  for (const auto& p : parameters) {
    const size_t result = ZSTD_CCtx_setParameter(context_, p.parameter, p.value);
    if (ZSTD_isError(result)) return fail(error, zstdFailure(p.name, result));
  }
  out_ = out;
  frameSize_ = settings.frameSize;
  compressed_.resize(ZSTD_CStreamOutSize());
  state_ = State::betweenEntries;
  return writeOut(kAttachedDataHeader, kAttachedHeaderSize, error);
}

bool AttachedDataWriter::beginEntry(const std::u16string& name, uint64_t size, uint32_t checksum,
                                    std::string& error) {
  if (!expect(State::betweenEntries, "begin an entry", error)) return false;
  if (const char* fault = entryNameFault(name.data(), name.size())) return fail(error, fault);
  if (checksum == 0) return fail(error, "checksum 0 never describes contents");
  // Frames are cut between entries, so that each decodes on its own into
  // whole entries; a large entry sits alone in its frame.
  if (frameSize_ > 0 && frameEntries_ > 0 && (frameDecoded_ >= frameSize_ || size >= frameSize_)) {
    if (!endFrame(error)) return false;
  }
  // name units, terminator, size, checksum: at most 1023 * 2 + 2 + 8 + 4 bytes.
  unsigned char header[kEntryNameCapacity * 2 + 12];
  size_t length = 0;
  for (const char16_t unit : name) {
    header[length++] = static_cast<unsigned char>(unit);
    header[length++] = static_cast<unsigned char>(unit >> 8);
  }
  header[length++] = 0;
  header[length++] = 0;
  storeU64(header + length, size);
  storeU32(header + length + 8, checksum);
  length += 12;
  if (!compress(header, length, ZSTD_e_continue, error)) return false;
  table_.add(name, size, checksum);
  frameDecoded_ += length + size;
  ++frameEntries_;
  entrySize_ = size;
  entryChecksum_ = checksum;
  entryAdded_ = 0;
  entryCrc_ = 0;
  state_ = State::inEntry;
  return true;
}

bool AttachedDataWriter::addContents(const void* data, size_t length, std::string& error) {
  if (!expect(State::inEntry, "add contents", error)) return false;
  // More bytes than promised would shift every later entry: refuse them
  // before they reach the frame.
  if (length > entrySize_ - entryAdded_) {
    return fail(error, "the entry got more than its " + std::to_string(entrySize_) + " bytes");
  }
  entryCrc_ = extendCrc(entryCrc_, data, length);
  entryAdded_ += length;
  return compress(data, length, ZSTD_e_continue, error);
}

bool AttachedDataWriter::endEntry(std::string& error) {
  if (!expect(State::inEntry, "end an entry", error)) return false;
  if (entryAdded_ != entrySize_) {
    return fail(error, "the entry got " + std::to_string(entryAdded_) + " of its " +
                           std::to_string(entrySize_) + " bytes");
  }
  if (checksumFromCrc(entryCrc_) != entryChecksum_) {
    return fail(error, "the entry's contents do not match its checksum");
  }
  state_ = State::betweenEntries;
  return true;
}

bool AttachedDataWriter::addFile(const std::u16string& name, const std::string& path,
                                 std::string& error, const std::function<void(size_t)>& progress) {
  if (!expect(State::betweenEntries, "add a file", error)) return false;
  failedOnInput_ = true;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fail(error, path + ": cannot open: " + std::strerror(errno));
  const bool ok = addFile(name, file, error, progress);
  std::fclose(file);
  if (!ok) error = path + ": " + error;
  return ok;
}

bool AttachedDataWriter::addFile(const std::u16string& name, std::FILE* file, std::string& error,
                                 const std::function<void(size_t)>& progress) {
  if (!expect(State::betweenEntries, "add a file", error)) return false;
  failedOnInput_ = true;
  readBuffer_.resize(ZSTD_CStreamInSize());
  const auto readFailed = [&] {
    return fail(error, std::string("cannot read: ") + std::strerror(errno));
  };
  const auto changed = [&] { return fail(error, "changed while it was being packed"); };
  // First pass: size and checksum, which precede the contents in the stream.
  uint64_t size = 0;
  uint32_t crc = 0;
  size_t got;
  while ((got = std::fread(readBuffer_.data(), 1, readBuffer_.size(), file)) > 0) {
    crc = extendCrc(crc, readBuffer_.data(), got);
    size += got;
  }
  if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) return readFailed();
  failedOnInput_ = false;
  if (!beginEntry(name, size, checksumFromCrc(crc), error)) return false;
  // Second pass: the contents. A file that grew, shrank or changed in
  // between is refused rather than packed with a wrong checksum.
  uint64_t added = 0;
  while ((got = std::fread(readBuffer_.data(), 1, readBuffer_.size(), file)) > 0) {
    added += got;
    if (added > size) {
      failedOnInput_ = true;
      return changed();
    }
    if (!addContents(readBuffer_.data(), got, error)) return false;
    if (progress) progress(got);
  }
  failedOnInput_ = true;
  if (std::ferror(file)) return readFailed();
  if (added != size || checksumFromCrc(entryCrc_) != entryChecksum_) return changed();
  failedOnInput_ = false;
  return endEntry(error);
}

bool AttachedDataWriter::endFrame(std::string& error) {
  if (!compress(nullptr, 0, ZSTD_e_end, error)) return false;
  table_.beginFrame(frameLength_);
  frameDecoded_ = 0;
  frameEntries_ = 0;
  return true;
}

bool AttachedDataWriter::finish(std::string& error) {
  if (!expect(State::betweenEntries, "finish", error)) return false;
  const unsigned char endOfList[2] = {0, 0};
  if (!compress(endOfList, sizeof endOfList, ZSTD_e_end, error)) return false;
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frameLength_);
  if (!writeOut(trailer, sizeof trailer, error)) return false;
  if (std::fflush(out_) != 0)
    return fail(error, std::string("cannot write: ") + std::strerror(errno));
  state_ = State::finished;
  return true;
}

bool AttachedDataWriter::compress(const void* data, size_t length, ZSTD_EndDirective directive,
                                  std::string& error) {
  ZSTD_inBuffer input = {data, length, 0};
  bytesIn_ += length;
  for (;;) {
    ZSTD_outBuffer output = {compressed_.data(), compressed_.size(), 0};
    const size_t remaining = ZSTD_compressStream2(context_, &output, &input, directive);
    if (ZSTD_isError(remaining)) return fail(error, zstdFailure("compression failed", remaining));
    frameLength_ += output.pos;
    if (!writeOut(compressed_.data(), output.pos, error)) return false;
    // e_continue is done once the input is taken; e_end once nothing remains
    // to flush.
    const bool done = directive == ZSTD_e_end ? remaining == 0 : input.pos == input.size;
    if (done) return true;
  }
}

bool AttachedDataWriter::writeOut(const void* data, size_t length, std::string& error) {
  if (length > 0 && std::fwrite(data, 1, length, out_) != length) {
    return fail(error, std::string("cannot write: ") + std::strerror(errno));
  }
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  // Only the input after the header counts; the tail keeps at most twice the
  // edge, trimmed to one edge when it grows past that.
  const size_t skip =
      bytesWritten_ >= kAttachedHeaderSize
          ? 0
          : std::min<size_t>(length, kAttachedHeaderSize - static_cast<size_t>(bytesWritten_));
  const unsigned char* input = bytes + skip;
  size_t inputLength = length - skip;
  const size_t toHead = std::min(inputLength, kAttachedEdgeBytes - head_.size());
  head_.insert(head_.end(), input, input + toHead);
  if (inputLength > kAttachedEdgeBytes) {
    tail_.assign(input + inputLength - kAttachedEdgeBytes, input + inputLength);
  } else {
    tail_.insert(tail_.end(), input, input + inputLength);
    if (tail_.size() > 2 * kAttachedEdgeBytes) {
      tail_.erase(tail_.begin(), tail_.end() - kAttachedEdgeBytes);
    }
  }
  bytesWritten_ += length;
  if (observer_) observer_(bytes, length);
  return true;
}

std::vector<unsigned char> AttachedDataWriter::entryTable() const {
  if (state_ != State::finished || !table_.fits()) return {};
  const uint64_t inputLength = bytesWritten_ - kAttachedHeaderSize;
  const AttachedEdges edges = attachedEdges(inputLength);
  // The tail holds the input's last bytes: take those from the edges' tail
  // offset on.
  const size_t tailKept = static_cast<size_t>(edges.tailLength);
  uint32_t crc = extendCrc(0, head_.data(), edges.headLength);
  crc = extendCrc(crc, tail_.data() + tail_.size() - tailKept, tailKept);
  return table_.finish(inputLength, crc);
}

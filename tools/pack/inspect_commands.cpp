// tavmor-pack list, verify and extract: they read attached data through the
// launcher's own payload reader.
#include <zstd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "arguments.h"
#include "attached_data_file.h"
#include "commands.h"
#include "entry_names.h"
#include "entry_stream.h"
#include "errors.h"
#include "host_system.h"
#include "json.h"
#include "payload/entry_table.h"
#include "payload/format.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

const char kListUsage[] =
    "usage: tavmor-pack list FILE [--json]\n"
    "\n"
    "Shows the entries of a launcher or an attached-data file: size, checksum\n"
    "and name, one line each. With --json, a JSON array of objects with\n"
    "\"name\", \"size\" and \"checksum\".\n";

const char kVerifyUsage[] =
    "usage: tavmor-pack verify FILE\n"
    "\n"
    "Decodes all attached data of a launcher or an attached-data file and checks\n"
    "every entry's checksum against its contents and every name. Names the first\n"
    "bad entry and exits 1 when something is wrong.\n";

const char kExtractUsage[] =
    "usage: tavmor-pack extract FILE DIR\n"
    "\n"
    "Verifies FILE, then writes every entry as a file below DIR (created when\n"
    "missing), replacing files of the same name. Nothing is written outside DIR.\n";

// Parses the arguments of a command with `positionalCount` operands; prints
// the usage and returns false for --help.
bool parseCommand(const std::vector<std::string>& arguments, std::vector<OptionSpec> specs,
                  size_t positionalCount, const char* usage, ParsedArguments& parsed) {
  specs.push_back({"--help", "-h", false});
  parsed = parseArguments(arguments, specs);
  if (parsed.has("--help")) {
    std::cout << usage;
    return false;
  }
  if (parsed.positional.size() != positionalCount) {
    throw UserError(std::string(usage).substr(0, std::string(usage).find('\n')));
  }
  return true;
}

class ListHandler : public EntryHandler {
 public:
  explicit ListHandler(bool json) : json_(json) {}
  void begin(const EntryHeader& entry) override {
    if (json_) {
      std::printf("%s\n  {\"name\": %s, \"size\": %" PRIu64 ", \"checksum\": %" PRIu32 "}",
                  count_ == 0 ? "[" : ",", jsonString(entry.name).c_str(), entry.size,
                  entry.checksum);
    } else {
      std::printf("%12" PRIu64 "  %08" PRIx32 "  %s\n", entry.size, entry.checksum,
                  toUtf8(entry.name).c_str());
    }
    ++count_;
  }
  void finish() {
    if (json_) std::printf(count_ == 0 ? "[]\n" : "\n]\n");
  }

 private:
  bool json_;
  size_t count_ = 0;
};

// Checks what a launcher relies on: every checksum, names that Windows
// creates as they stand, each in a place of its own, and an entry table, when
// there is one, that agrees with the stream entry by entry.
class VerifyHandler : public EntryHandler {
 public:
  VerifyHandler(const std::string& shownName, const EntryTableView* table)
      : shownName_(shownName), table_(table) {}
  void begin(const EntryHeader& entry) override {
    entry_ = entry;
    crc_ = 0;
    decoded_ += entryHeaderBytes(entry.name.size());
    if (table_ != nullptr) {
      if (entries_ >= table_->entryCount) fail("not in the entry table");
      const TableEntry listed = tableEntry(*table_, static_cast<uint32_t>(entries_));
      if (std::u16string(listed.name, listed.nameLength) != entry.name ||
          listed.size != entry.size || listed.checksum != entry.checksum ||
          listed.contentOffset != decoded_) {
        fail("the entry table lists \"" + toUtf8(std::u16string(listed.name, listed.nameLength)) +
             "\" here, or other values for it");
      }
    }
    decoded_ += entry.size;
    std::string problem = entryNameProblem(entry.name);
    const std::u16string clash = problem.empty() ? names_.add(entry.name) : std::u16string();
    if (!clash.empty())
      problem = "Windows would put the name and \"" + toUtf8(clash) +
                "\" in one place (the same without regard to case, or an 8.3 short alias)";
    if (!problem.empty()) fail(problem);
  }
  void contents(const unsigned char* data, size_t length) override {
    crc_ = extendCrc(crc_, data, length);
  }
  void end() override {
    const uint32_t actual = checksumFromCrc(crc_);
    if (actual != entry_.checksum) {
      char text[96];
      std::snprintf(text, sizeof text,
                    "checksum mismatch: stored %08" PRIx32 ", contents %08" PRIx32, entry_.checksum,
                    actual);
      fail(text);
    }
    ++entries_;
    bytes_ += entry_.size;
  }
  size_t entries() const { return entries_; }
  uint64_t bytes() const { return bytes_; }
  // After the last entry: the table lists no more than the stream holds.
  void finish() const {
    if (table_ != nullptr && table_->entryCount != entries_) {
      throw UserError(shownName_ + ": the entry table lists " + std::to_string(table_->entryCount) +
                      " entries, the attached data " + std::to_string(entries_));
    }
  }

 private:
  [[noreturn]] void fail(const std::string& problem) {
    throw UserError(shownName_ + ": entry \"" + toUtf8(entry_.name) + "\": " + problem);
  }

  std::string shownName_;
  const EntryTableView* table_;
  uint64_t decoded_ = 0;
  EntryHeader entry_;
  uint32_t crc_ = 0;
  EntryNameSet names_;
  size_t entries_ = 0;
  uint64_t bytes_ = 0;
};

// Each frame the table lists is one whole zstd frame where it says, and
// decodes on its own to exactly the part of the stream it claims, as a
// worker of a first start decodes it.
std::string tableFramesProblem(const AttachedDataFile& file, const EntryTableView& table) {
  ZSTD_DCtx* const context = ZSTD_createDCtx();
  if (context == nullptr) throw std::bad_alloc();
  std::vector<unsigned char> block(ZSTD_DStreamOutSize());
  std::string problem;
  for (uint32_t f = 0; f < table.frameCount && problem.empty(); ++f) {
    const TableFrame frame = tableFrame(table, f);
    const uint64_t end =
        f + 1 < table.frameCount ? tableFrame(table, f + 1).decodedOffset : table.decodedLength;
    const unsigned char* const start = file.input() + frame.inputOffset;
    const size_t whole = ZSTD_findFrameCompressedSize(start, frame.compressedLength);
    if (ZSTD_isError(whole) || whole != frame.compressedLength) {
      problem = "frame " + std::to_string(f + 1) + " is not one whole zstd frame";
      break;
    }
    ZSTD_DCtx_reset(context, ZSTD_reset_session_only);
    ZSTD_inBuffer input{start, static_cast<size_t>(frame.compressedLength), 0};
    uint64_t decoded = 0;
    size_t result = 1;
    while (result != 0 && !ZSTD_isError(result)) {
      ZSTD_outBuffer output{block.data(), block.size(), 0};
      result = ZSTD_decompressStream(context, &output, &input);
      decoded += output.pos;
      if (output.pos == 0 && input.pos == input.size && result != 0) break;
    }
    if (result != 0 || decoded != end - frame.decodedOffset) {
      problem = "frame " + std::to_string(f + 1) + " does not decode to the entries it lists";
    }
  }
  ZSTD_freeDCtx(context);
  return problem;
}

// Decodes everything and checks it; throws a UserError at the first fault.
VerifyHandler verifyAll(const AttachedDataFile& file, const std::string& shownName) {
  EntryTableView table;
  const std::vector<unsigned char> plainTable =
      file.table.found
          ? unpackedEntryTable(file.bytes.data() + file.table.offset, file.table.length)
          : std::vector<unsigned char>();
  if (file.table.found) {
    const char* const problem =
        plainTable.empty()
            ? "its zstd frame does not decode"
            : entryTableProblem(plainTable.data(), plainTable.size(), file.location.inputLength,
                                attachedDataEdgeCrc(file.input(), file.location.inputLength),
                                table);
    if (problem != nullptr) {
      throw UserError(shownName + ": damaged entry table: " + problem +
                      " (the launcher ignores it and decodes everything at every start)");
    }
  }
  VerifyHandler verifier(shownName, file.table.found ? &table : nullptr);
  readEntries(file, shownName, verifier);
  verifier.finish();
  if (file.table.found) {
    const std::string problem = tableFramesProblem(file, table);
    if (!problem.empty()) throw UserError(shownName + ": damaged entry table: " + problem);
  }
  if (!file.location.trailerMatches) {
    throw UserError(shownName + ": damaged attached data: the trailer does not match the frame");
  }
  return verifier;
}

// Writes entries below a folder that was verified first, so every name is a
// plain relative path. Refuses to write through a symbolic link that is
// already there, which could lead outside the folder.
class ExtractHandler : public EntryHandler {
 public:
  explicit ExtractHandler(const fs::path& root) : root_(root) {}
  void begin(const EntryHeader& entry) override {
    fs::path path = root_;
    std::u16string name = entry.name;
    size_t start = 0;
    for (size_t cut; (cut = name.find(u'\\', start)) != std::u16string::npos; start = cut + 1) {
      path /= pathFromUtf16(name.substr(start, cut - start));
      const FileKind kind = fileKind(path);
      const bool link = isLink(path);
      if (kind == FileKind::missing && !link) {
        makeFolders(path);
      } else if (kind != FileKind::folder || link) {
        throw UserError(shownPath(path) + ": in the way of \"" + toUtf8(name) +
                        "\": not a folder (symbolic links are not followed)");
      }
    }
    path /= pathFromUtf16(name.substr(start));
    const FileKind kind = fileKind(path);
    if (isLink(path) || (kind != FileKind::missing && kind != FileKind::file)) {
      throw UserError(shownPath(path) + ": in the way: not a regular file");
    }
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_) throw UserError(shownPath(path) + ": cannot create");
    path_ = path;
  }
  void contents(const unsigned char* data, size_t length) override {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
  }
  void end() override {
    out_.close();
    if (!out_) throw UserError(shownPath(path_) + ": cannot write");
  }

 private:
  fs::path root_;
  fs::path path_;
  std::ofstream out_;
};

}  // namespace

int runList(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  if (!parseCommand(arguments, {{"--json", nullptr, false}}, 1, kListUsage, parsed)) return 0;
  const std::string shown = parsed.positional[0];
  const AttachedDataFile file = loadAttachedData(hostPath(shown));
  ListHandler lister(parsed.has("--json"));
  readEntries(file, shown, lister);
  lister.finish();
  return 0;
}

int runVerify(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  if (!parseCommand(arguments, {}, 1, kVerifyUsage, parsed)) return 0;
  const std::string shown = parsed.positional[0];
  const VerifyHandler verified = verifyAll(loadAttachedData(hostPath(shown)), shown);
  std::cout << shown << ": " << verified.entries() << " entries, " << verified.bytes()
            << " bytes, every checksum matches\n";
  return 0;
}

int runExtract(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  if (!parseCommand(arguments, {}, 2, kExtractUsage, parsed)) return 0;
  const std::string shown = parsed.positional[0];
  const AttachedDataFile file = loadAttachedData(hostPath(shown));
  const VerifyHandler verified = verifyAll(file, shown);
  const fs::path root = hostPath(parsed.positional[1]);
  makeFolders(root);
  ExtractHandler extractor(root);
  readEntries(file, shown, extractor);
  std::cout << shown << ": " << verified.entries() << " files written below "
            << parsed.positional[1] << "\n";
  return 0;
}

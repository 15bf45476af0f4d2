#include "launcher_output.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>

#include "errors.h"
#include "host_system.h"
#include "launcher_stub.h"
#include "payload/entry_table.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// Removes the partial file unless it was moved into place.
struct PartialFile {
  explicit PartialFile(fs::path path) : path(std::move(path)) {}
  ~PartialFile() {
    if (!kept) removeFile(path);
  }
  const fs::path path;
  bool kept = false;
};

std::string megabytes(uint64_t bytes) { return std::to_string(bytes / 1000000) + " MB"; }

}  // namespace

PackedSize writeLauncher(const AppFolder& folder, const LauncherSettings& settings,
                         const WriterSettings& compression, const fs::path& output) {
  const EmbeddedFile stub = launcherStub();
  LauncherImageWriter image(stub.data, stub.size, settings);
  const uint64_t limit = image.attachedDataLimit();

  fs::path partialPath = output;
  partialPath += ".partial";
  PartialFile partial(partialPath);
  OpenFile file(openFile(partial.path, "wb"));
  if (file == nullptr) {
    throw UserError(shownPath(output) + ": cannot write: " + std::strerror(errno));
  }
  if (!seekFile(file.get(), image.attachedDataOffset())) {
    throw std::runtime_error(shownPath(partial.path) + ": cannot seek: " + std::strerror(errno));
  }

  uint64_t total = 0;
  for (const AppFile& entry : folder.files) total += entry.size;
  Progress progress(total, standardErrorIsTerminal());
  AttachedDataWriter writer;
  PeChecksum sum;
  writer.observeOutput([&](const unsigned char* data, size_t length) {
    sum.add(data, length);
    if (writer.bytesWritten() > limit) {
      throw UserError("the application does not fit a launcher: its attached data passed " +
                      std::to_string(limit) + " bytes (" + megabytes(limit) +
                      "), and Windows loads no image of 2 GiB or more");
    }
  });
  std::string error;
  const auto check = [&](bool ok) {
    if (ok) return;
    if (writer.failedOnInput()) throw UserError(error);
    throw std::runtime_error("writing the attached data: " + error);
  };
  check(writer.open(file.get(), compression, error));
  PackedSize packed;
  for (const AppFile& entry : folder.files) {
    const std::string shown = shownPath(entry.path);
    const OpenFile input(openFile(entry.path, "rb"));
    if (input == nullptr) throw UserError(shown + ": cannot open: " + std::strerror(errno));
    if (!writer.addFile(entry.name, input.get(), error,
                        [&](size_t bytes) { progress.advance(bytes); })) {
      error = shown + ": " + error;
      check(false);
    }
    packed.contents += entry.size;
  }
  progress.finishing();
  check(writer.finish(error));
  packed.attachedData = writer.bytesWritten();
  const std::vector<unsigned char> plainTable =
      settings.entryTable ? writer.entryTable() : std::vector<unsigned char>();
  if (settings.entryTable && plainTable.empty()) {
    std::cerr << "tavmor-pack: notice: " << folder.files.size()
              << " files are more than a launcher checks by its entry table ("
              << kEntryTableCapacity << "): every start decodes the attached data\n";
  }
  const std::vector<unsigned char> table =
      plainTable.empty() ? plainTable : packEntryTable(plainTable, compression.level);
  if (!image.fits(packed.attachedData, table.size())) {
    throw UserError("the application does not fit a launcher: with its entry table it passes " +
                    megabytes(kImageSizeLimit) + ", and Windows loads no image of 2 GiB or more");
  }
  image.finish(file.get(), packed.attachedData, sum, table);
  if (std::fclose(file.release()) != 0) {
    throw std::runtime_error(shownPath(partial.path) + ": cannot write: " + std::strerror(errno));
  }

  const std::string problem = launcherImageProblem(partial.path);
  if (!problem.empty()) {
    throw std::runtime_error(shownPath(output) +
                             ": the launcher written does not read back: " + problem);
  }
  // Replace the output in one step, so it is never seen half written. The
  // reason is taken before the partial file's removal can replace it.
  std::error_code renameError;
  fs::rename(partial.path, output, renameError);
  if (renameError) {
    throw UserError(shownPath(output) + ": cannot write: " + renameError.message());
  }
  partial.kept = true;
  return packed;
}

#include "launcher_image.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "attached_data_file.h"
#include "payload/entry_table.h"
#include "payload/format.h"

namespace {

// The attached data starts on a page of the file: a loader maps such a
// section straight from the file, and Wine copies any other into private
// memory at every start.
constexpr uint32_t kPageSize = 4096;

size_t textUnits(const LauncherSettings& settings) {
  size_t units = 0;
  for (const std::u16string& text : settings.texts) units += text.size() + 1;
  return units;
}

void writeAt(std::FILE* out, uint64_t offset, const void* data, size_t length) {
  if (fseeko(out, static_cast<off_t>(offset), SEEK_SET) != 0 ||
      std::fwrite(data, 1, length, out) != length) {
    throw std::runtime_error(std::string("writing the launcher: ") + std::strerror(errno));
  }
}

void putSection(unsigned char* entry, const char* name, uint32_t virtualSize,
                uint32_t virtualAddress, uint32_t rawSize, uint32_t rawOffset) {
  std::memset(entry, 0, pe::kSectionEntrySize);
  std::memcpy(entry, name, std::strlen(name));
  storeU32(entry + 8, virtualSize);
  storeU32(entry + 12, virtualAddress);
  storeU32(entry + 16, rawSize);
  storeU32(entry + 20, rawOffset);
  storeU32(entry + 36, pe::kReadOnlyData);
}

}  // namespace

std::string configurationTextsProblem(const LauncherSettings& settings) {
  const size_t units = textUnits(settings);
  if (units <= kConfigurationTextCapacity) return {};
  return "the spec, names, versions and progress text take " + std::to_string(units) +
         " UTF-16 units with their terminators; a launcher holds at most " +
         std::to_string(kConfigurationTextCapacity);
}

LauncherImageWriter::LauncherImageWriter(const unsigned char* stub, size_t stubSize,
                                         const LauncherSettings& settings)
    : settings_(settings) {
  const auto unusable = [](const std::string& why) {
    return std::runtime_error("the launcher stub inside this tool is unusable: " + why);
  };
  const std::string problem = readPeHeaders(stub, stubSize, stub_);
  if (!problem.empty()) throw unusable(problem);
  const PeSection* const configuration = stub_.section(kConfigurationSection);
  if (configuration == nullptr || configuration->rawSize < sizeof(StampedConfiguration) ||
      configuration->virtualSize < sizeof(StampedConfiguration)) {
    throw unusable("no configuration section");
  }
  configurationOffset_ = configuration->rawOffset;
  if (stub_.rawEnd() != stubSize || stub_.symbolTable != 0) {
    throw unusable("data after its last section");
  }
  if (stub_.fileAlignment == 0 || kPageSize % stub_.fileAlignment != 0 ||
      stub_.sectionAlignment < kPageSize || stub_.sectionAlignment % kPageSize != 0) {
    throw unusable("unexpected alignments");
  }
  if (stub_.directoryCount <= pe::kCertificateDirectory) throw unusable("too few data directories");
  const uint64_t tableEnd =
      stub_.sectionTable + pe::kSectionEntrySize * (stub_.sections.size() + 2);
  if (tableEnd > stub_.sizeOfHeaders) throw unusable("no room for two more sections");
  for (uint64_t at = stub_.sectionTable + pe::kSectionEntrySize * stub_.sections.size();
       at < tableEnd; ++at) {
    if (stub[at] != 0) throw unusable("no room for two more sections");
  }
  uint64_t imageEnd = stub_.sizeOfHeaders;
  for (const PeSection& s : stub_.sections) {
    imageEnd = std::max(
        imageEnd, alignUp(uint64_t{s.virtualAddress} + s.virtualSize, stub_.sectionAlignment));
  }
  const std::string textProblem = configurationTextsProblem(settings);
  if (!textProblem.empty()) throw std::runtime_error(textProblem);

  resourceRva_ = static_cast<uint32_t>(imageEnd);
  resourceOffset_ = static_cast<uint32_t>(stubSize);
  resources_ = resourceSection(settings.resources, resourceRva_);
  payloadRva_ = static_cast<uint32_t>(
      alignUp(uint64_t{resourceRva_} + resources_.size(), stub_.sectionAlignment));
  payloadOffset_ = alignUp(uint64_t{resourceOffset_} + resources_.size(), kPageSize);
  front_.assign(stub, stub + stubSize);
  front_.resize(payloadOffset_, 0);
  std::memcpy(front_.data() + resourceOffset_, resources_.data(), resources_.size());
}

uint64_t LauncherImageWriter::attachedDataLimit() const {
  return kImageSizeLimit - stub_.sectionAlignment - payloadRva_;
}

bool LauncherImageWriter::fits(uint64_t length, uint64_t tableLength) const {
  if (length > attachedDataLimit()) return false;
  const uint64_t tableRva = alignUp(uint64_t{payloadRva_} + length, stub_.sectionAlignment);
  return alignUp(tableRva + tableLength, stub_.sectionAlignment) < kImageSizeLimit;
}

void LauncherImageWriter::finish(std::FILE* out, uint64_t length, const PeChecksum& attachedSum,
                                 const std::vector<unsigned char>& entryTable) {
  if (!fits(length, entryTable.size()) || length < kAttachedHeaderSize + kAttachedTrailerSize) {
    throw std::runtime_error("attached data of " + std::to_string(length) +
                             " bytes does not fit a launcher");
  }
  unsigned char* const image = front_.data();

  // The configuration block.
  unsigned char* const block = image + configurationOffset_;
  std::memset(block, 0, sizeof(StampedConfiguration));
  std::memcpy(block + offsetof(StampedConfiguration, signature), kConfigurationSignature,
              sizeof kConfigurationSignature);
  storeU32(block + offsetof(StampedConfiguration, attachedDataRva), payloadRva_);
  storeU64(block + offsetof(StampedConfiguration, inputLength), length - kAttachedHeaderSize);
  const uint32_t payloadRaw = static_cast<uint32_t>(alignUp(length, stub_.fileAlignment));
  const uint32_t tableRva =
      static_cast<uint32_t>(alignUp(uint64_t{payloadRva_} + length, stub_.sectionAlignment));
  const uint64_t tableOffset = payloadOffset_ + payloadRaw;
  const uint32_t tableRaw = static_cast<uint32_t>(alignUp(entryTable.size(), stub_.fileAlignment));
  if (!entryTable.empty()) {
    storeU32(block + offsetof(StampedConfiguration, entryTableRva), tableRva);
    storeU32(block + offsetof(StampedConfiguration, entryTableLength),
             static_cast<uint32_t>(entryTable.size()));
  }
  storeU32(block + offsetof(StampedConfiguration, cacheCheck), settings_.cacheCheck);
  storeU32(block + offsetof(StampedConfiguration, flags),
           settings_.progressDisplay ? 0 : kNoProgressDisplay);
  unsigned char* text = block + offsetof(StampedConfiguration, texts);
  for (const std::u16string& value : settings_.texts) {
    for (const char16_t unit : value) {
      storeU16(text, unit);
      text += 2;
    }
    text += 2;  // the terminator, already zero
  }

  // Two more sections: the resources, whose raw data runs up to the page
  // where the attached data starts (so every byte of the file belongs to a
  // section), and the attached data.
  const uint32_t resourceRaw = static_cast<uint32_t>(payloadOffset_ - resourceOffset_);
  const size_t count = stub_.sections.size();
  const size_t added = entryTable.empty() ? 2 : 3;
  unsigned char* const table = image + stub_.sectionTable;
  putSection(table + pe::kSectionEntrySize * count, ".rsrc",
             static_cast<uint32_t>(resources_.size()), resourceRva_, resourceRaw, resourceOffset_);
  putSection(table + pe::kSectionEntrySize * (count + 1), ".payload", static_cast<uint32_t>(length),
             payloadRva_, payloadRaw, static_cast<uint32_t>(payloadOffset_));
  if (!entryTable.empty()) {
    putSection(table + pe::kSectionEntrySize * (count + 2), kEntryTableSection,
               static_cast<uint32_t>(entryTable.size()), tableRva, tableRaw,
               static_cast<uint32_t>(tableOffset));
  }
  storeU16(image + stub_.peOffset + 6, static_cast<uint16_t>(count + added));

  unsigned char* const optional = image + stub_.optionalOffset;
  storeU32(optional + pe::kSizeOfInitializedData,
           loadU32(optional + pe::kSizeOfInitializedData) + resourceRaw + payloadRaw + tableRaw);
  const uint64_t imageEnd =
      entryTable.empty() ? uint64_t{payloadRva_} + length : uint64_t{tableRva} + entryTable.size();
  storeU32(optional + pe::kSizeOfImage,
           static_cast<uint32_t>(alignUp(imageEnd, stub_.sectionAlignment)));
  storeU16(optional + pe::kSubsystem, settings_.subsystem);
  unsigned char* const directories = optional + pe::kDirectories;
  storeU32(directories + 8 * pe::kResourceDirectory, resourceRva_);
  storeU32(directories + 8 * pe::kResourceDirectory + 4, static_cast<uint32_t>(resources_.size()));
  storeU32(directories + 8 * pe::kCertificateDirectory, 0);
  storeU32(directories + 8 * pe::kCertificateDirectory + 4, 0);

  // The checksum covers the whole file with its own field zero; the
  // attached data was summed as it was written, and the padding after it
  // adds nothing. The table starts on a multiple of 4 of the file, so its
  // 16-bit words fall where the sum expects them.
  std::vector<unsigned char> tableBytes = entryTable;
  tableBytes.resize(tableRaw, 0);
  storeU32(optional + pe::kCheckSum, 0);
  PeChecksum sum;
  sum.add(image, front_.size());
  sum.addRegion(attachedSum);
  if (!tableBytes.empty()) {
    PeChecksum tableSum;
    tableSum.add(tableBytes.data(), tableBytes.size());
    sum.addRegion(tableSum);
  }
  const uint64_t fileLength = tableOffset + tableRaw;
  storeU32(optional + pe::kCheckSum, sum.finish(fileLength));

  const std::vector<unsigned char> padding(payloadRaw - length, 0);
  writeAt(out, payloadOffset_ + length, padding.data(), padding.size());
  if (!tableBytes.empty()) writeAt(out, tableOffset, tableBytes.data(), tableBytes.size());
  writeAt(out, 0, image, front_.size());
  if (std::fflush(out) != 0) {
    throw std::runtime_error(std::string("writing the launcher: ") + std::strerror(errno));
  }
}

std::string launcherImageProblem(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "cannot open it again";
  in.seekg(0, std::ios::end);
  const uint64_t fileSize = static_cast<uint64_t>(in.tellg());
  const auto readAt = [&in](uint64_t offset, size_t length) {
    std::vector<unsigned char> bytes(length);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    if (static_cast<size_t>(in.gcount()) != length) bytes.clear();
    in.clear();
    return bytes;
  };
  const std::vector<unsigned char> headerPage = readAt(0, std::min<uint64_t>(fileSize, kPageSize));
  PeHeaders headers;
  std::string problem = readPeHeaders(headerPage.data(), headerPage.size(), headers);
  if (!problem.empty()) return problem;
  uint64_t imageEnd = headers.sizeOfHeaders;
  for (const PeSection& s : headers.sections) {
    if (uint64_t{s.rawOffset} + s.rawSize > fileSize)
      return "section " + s.name + " ends past the file";
    imageEnd = std::max(
        imageEnd, alignUp(uint64_t{s.virtualAddress} + s.virtualSize, headers.sectionAlignment));
  }
  if (headers.rawEnd() != fileSize) return "the file does not end where its last section ends";
  if (imageEnd != headers.sizeOfImage || imageEnd >= kImageSizeLimit) return "a wrong SizeOfImage";

  const PeSection* const configuration = headers.section(kConfigurationSection);
  if (configuration == nullptr) return "no configuration section";
  const std::vector<unsigned char> block =
      readAt(configuration->rawOffset, sizeof(StampedConfiguration));
  StampedConfiguration stamped;
  LauncherConfiguration read;
  if (block.empty()) return "a cut configuration section";
  std::memcpy(&stamped, block.data(), sizeof stamped);
  if (!readStampedConfiguration(stamped, read)) return "no stamped configuration";
  if (!sectionHoldsRange(headerPage.data(), headerPage.size(), read.attachedDataRva,
                         kAttachedHeaderSize + read.inputLength)) {
    return "the configuration places the attached data outside the image";
  }
  const PeSection* payload = nullptr;
  for (const PeSection& s : headers.sections) {
    if (read.attachedDataRva >= s.virtualAddress &&
        read.attachedDataRva - s.virtualAddress < s.rawSize) {
      payload = &s;
    }
  }
  if (payload == nullptr) return "the attached data is not in the file";
  const uint64_t start = payload->rawOffset + (read.attachedDataRva - payload->virtualAddress);
  const std::vector<unsigned char> header = readAt(start, kAttachedHeaderSize);
  if (header.empty() || !hasAttachedDataHeader(header.data())) return "no attached data header";
  const uint64_t frameLength = read.inputLength - kAttachedTrailerSize;
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frameLength);
  const std::vector<unsigned char> stored =
      readAt(start + kAttachedHeaderSize + frameLength, kAttachedTrailerSize);
  if (stored.empty() || std::memcmp(stored.data(), trailer, sizeof trailer) != 0) {
    return "the attached data's trailer does not match";
  }

  if (read.entryTableRva != 0) {
    const PeSection* const tableSection = headers.section(kEntryTableSection);
    if (tableSection == nullptr || tableSection->virtualAddress != read.entryTableRva ||
        tableSection->virtualSize != read.entryTableLength) {
      return "the configuration places the entry table outside its section";
    }
    const std::vector<unsigned char> stored =
        readAt(tableSection->rawOffset, read.entryTableLength);
    const std::vector<unsigned char> table = unpackedEntryTable(stored.data(), stored.size());
    const AttachedEdges edges = attachedEdges(read.inputLength);
    std::vector<unsigned char> ends = readAt(start + kAttachedHeaderSize, edges.headLength);
    const std::vector<unsigned char> tail =
        readAt(start + kAttachedHeaderSize + edges.tailOffset, edges.tailLength);
    ends.insert(ends.end(), tail.begin(), tail.end());
    EntryTableView view;
    const char* const tableProblem =
        stored.empty() || ends.size() != edges.headLength + edges.tailLength ? "cut"
        : table.empty() ? "a frame that does not decode"
                        : entryTableProblem(table.data(), table.size(), read.inputLength,
                                            extendCrc(0, ends.data(), ends.size()), view);
    if (tableProblem != nullptr) return std::string("an entry table with ") + tableProblem;
  }

  const PeSection* const resources = headers.section(".rsrc");
  if (resources == nullptr) return "no resource section";
  const unsigned char* const directory =
      headerPage.data() + headers.optionalOffset + pe::kDirectories + 8 * pe::kResourceDirectory;
  if (loadU32(directory) != resources->virtualAddress ||
      loadU32(directory + 4) != resources->virtualSize) {
    return "the resource directory entry does not name .rsrc";
  }
  const std::vector<unsigned char> resourceBytes =
      readAt(resources->rawOffset, resources->virtualSize);
  if (resourceBytes.empty()) return "a cut resource section";
  return resourceSectionProblem(resourceBytes.data(), resourceBytes.size(),
                                resources->virtualAddress);
}

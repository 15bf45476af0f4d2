// PE32+ images as tavmor-pack reads and writes them: the header fields it
// checks or fixes, by their offsets in the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Offsets from the optional header's start (PE32+).
namespace pe {
constexpr size_t kMagic = 0, kSizeOfInitializedData = 8, kSectionAlignment = 32,
                 kFileAlignment = 36, kSizeOfImage = 56, kSizeOfHeaders = 60, kCheckSum = 64,
                 kSubsystem = 68, kNumberOfDirectories = 108, kDirectories = 112;
constexpr uint16_t kMachineAmd64 = 0x8664, kMagicPe32Plus = 0x20B;
constexpr uint16_t kExecutableImage = 0x0002, kDll = 0x2000;
constexpr uint16_t kSubsystemGui = 2, kSubsystemConsole = 3;
constexpr size_t kResourceDirectory = 2, kCertificateDirectory = 4;
constexpr uint32_t kReadOnlyData = 0x40000040;  // initialized data, readable
constexpr size_t kSectionEntrySize = 40;
}  // namespace pe

struct PeSection {
  std::string name;
  uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
  uint32_t characteristics = 0;
};

struct PeHeaders {
  size_t peOffset = 0;        // of "PE\0\0"; the file header follows
  size_t optionalOffset = 0;  // of the optional header
  size_t sectionTable = 0;    // of the first section entry
  uint16_t machine = 0, characteristics = 0, magic = 0, subsystem = 0;
  uint32_t sectionAlignment = 0, fileAlignment = 0, sizeOfHeaders = 0, sizeOfImage = 0;
  uint32_t directoryCount = 0;
  uint32_t symbolTable = 0;
  std::vector<PeSection> sections;
  // The end of the last section's raw data in the file.
  uint64_t rawEnd() const;
  const PeSection* section(const char* name) const;
};

// Reads the headers from the first `size` bytes of an image. Returns an
// empty string, or why these bytes are no PE32+ image whose headers and
// section table lie within them.
std::string readPeHeaders(const unsigned char* bytes, size_t size, PeHeaders& out);

// Why an image with these headers cannot be the program a launcher starts (a
// 64-bit x86 Windows executable for the graphical or console subsystem), or
// an empty string.
std::string childProgramProblem(const PeHeaders& headers);

// The PE checksum: 16-bit words summed with their carries folded back, plus
// the file's length. Bytes are added in file order from an even offset; the
// checksum field itself must be zero when added.
class PeChecksum {
 public:
  void add(const unsigned char* data, size_t length);
  // Adds the sum of another region that also starts at an even offset and
  // is followed by zeros (an odd last byte is the low half of its word).
  void addRegion(const PeChecksum& region);
  uint32_t finish(uint64_t fileLength) const;

 private:
  uint64_t sum_ = 0;
  bool odd_ = false;  // a byte waits for its high half
  unsigned char pending_ = 0;
};

uint16_t loadU16(const unsigned char* in);
void storeU16(unsigned char* out, uint16_t value);
constexpr uint64_t alignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

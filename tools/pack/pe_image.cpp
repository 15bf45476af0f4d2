#include "pe_image.h"

#include <cstring>

#include "payload/format.h"

uint16_t loadU16(const unsigned char* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }

void storeU16(unsigned char* out, uint16_t value) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
}

uint64_t PeHeaders::rawEnd() const {
  uint64_t end = sizeOfHeaders;
  for (const PeSection& s : sections) {
    if (s.rawSize > 0 && uint64_t{s.rawOffset} + s.rawSize > end)
      end = uint64_t{s.rawOffset} + s.rawSize;
  }
  return end;
}

const PeSection* PeHeaders::section(const char* name) const {
  for (const PeSection& s : sections) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::string readPeHeaders(const unsigned char* bytes, size_t size, PeHeaders& out) {
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return "no MZ header";
  out.peOffset = loadU32(bytes + 0x3C);
  if (out.peOffset > size || size - out.peOffset < 24 ||
      std::memcmp(bytes + out.peOffset, "PE\0\0", 4) != 0) {
    return "no PE header";
  }
  const unsigned char* const file = bytes + out.peOffset + 4;
  out.machine = loadU16(file);
  const uint16_t sectionCount = loadU16(file + 2);
  out.symbolTable = loadU32(file + 8);
  const uint16_t optionalSize = loadU16(file + 16);
  out.characteristics = loadU16(file + 18);
  out.optionalOffset = out.peOffset + 24;
  if (optionalSize < pe::kDirectories || size - out.optionalOffset < optionalSize) {
    return "a cut optional header";
  }
  const unsigned char* const optional = bytes + out.optionalOffset;
  out.magic = loadU16(optional + pe::kMagic);
  if (out.magic != pe::kMagicPe32Plus) return "not PE32+ (64-bit)";
  out.sectionAlignment = loadU32(optional + pe::kSectionAlignment);
  out.fileAlignment = loadU32(optional + pe::kFileAlignment);
  out.sizeOfImage = loadU32(optional + pe::kSizeOfImage);
  out.sizeOfHeaders = loadU32(optional + pe::kSizeOfHeaders);
  out.subsystem = loadU16(optional + pe::kSubsystem);
  out.directoryCount = loadU32(optional + pe::kNumberOfDirectories);
  if (out.directoryCount > (optionalSize - pe::kDirectories) / 8)
    return "too many data directories";
  out.sectionTable = out.optionalOffset + optionalSize;
  if ((size - out.sectionTable) / pe::kSectionEntrySize < sectionCount)
    return "a cut section table";
  out.sections.clear();
  for (size_t i = 0; i < sectionCount; ++i) {
    const unsigned char* const entry = bytes + out.sectionTable + pe::kSectionEntrySize * i;
    PeSection s;
    s.name.assign(reinterpret_cast<const char*>(entry),
                  strnlen(reinterpret_cast<const char*>(entry), 8));
    s.virtualSize = loadU32(entry + 8);
    s.virtualAddress = loadU32(entry + 12);
    s.rawSize = loadU32(entry + 16);
    s.rawOffset = loadU32(entry + 20);
    s.characteristics = loadU32(entry + 36);
    out.sections.push_back(s);
  }
  return {};
}

std::string childProgramProblem(const PeHeaders& headers) {
  if (headers.machine != pe::kMachineAmd64) return "it is not for 64-bit x86 (x86-64)";
  if ((headers.characteristics & pe::kDll) != 0) return "it is a DLL, not a program";
  if ((headers.characteristics & pe::kExecutableImage) == 0) return "it is not an executable image";
  if (headers.subsystem != pe::kSubsystemGui && headers.subsystem != pe::kSubsystemConsole) {
    return "its subsystem " + std::to_string(headers.subsystem) +
           " is neither the graphical (2) nor the console (3) one";
  }
  return {};
}

void PeChecksum::add(const unsigned char* data, size_t length) {
  size_t i = 0;
  if (odd_ && length > 0) {
    sum_ += pending_ | data[0] << 8;
    odd_ = false;
    i = 1;
  }
  for (; i + 1 < length; i += 2) sum_ += data[i] | data[i + 1] << 8;
  if (i < length) {
    pending_ = data[i];
    odd_ = true;
  }
}

void PeChecksum::addRegion(const PeChecksum& region) {
  sum_ += region.sum_ + (region.odd_ ? region.pending_ : 0);
}

uint32_t PeChecksum::finish(uint64_t fileLength) const {
  uint64_t sum = sum_ + (odd_ ? pending_ : 0);
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + fileLength);
}

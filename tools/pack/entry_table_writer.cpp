#include "entry_table_writer.h"

#include <zstd.h>

#include <cstring>
#include <stdexcept>

#include "payload/entry_table.h"
#include "payload/format.h"

void EntryTableBuilder::add(const std::u16string& name, uint64_t size, uint32_t checksum) {
  decoded_ += entryHeaderBytes(name.size());
  records_.push_back({decoded_, size, checksum, static_cast<uint32_t>(pool_.size()),
                      static_cast<uint16_t>(name.size())});
  pool_ += name;
  pool_ += u'\0';
  decoded_ += size;
  contents_ += size;
}

void EntryTableBuilder::beginFrame(uint64_t inputOffset) {
  frames_.push_back({inputOffset, decoded_, static_cast<uint32_t>(records_.size())});
}

bool EntryTableBuilder::fits() const { return records_.size() <= kEntryTableCapacity; }

std::vector<unsigned char> EntryTableBuilder::finish(uint64_t inputLength, uint32_t edgeCrc) const {
  const size_t framesStart = kEntryTableHeaderSize + records_.size() * kEntryRecordSize;
  const size_t poolStart = framesStart + frames_.size() * kFrameRecordSize;
  const size_t poolEnd = poolStart + 2 * pool_.size();
  const size_t length = (poolEnd + 3) / 4 * 4 + 4;
  std::vector<unsigned char> table(length, 0);
  unsigned char* const out = table.data();
  std::memcpy(out, kEntryTableSignature, sizeof kEntryTableSignature);
  storeU32(out + 8, static_cast<uint32_t>(length));
  storeU32(out + 12, static_cast<uint32_t>(records_.size()));
  storeU64(out + 16, decoded_ + 2);  // the end-of-list entry
  storeU64(out + 24, inputLength);
  storeU32(out + 32, edgeCrc);
  storeU32(out + 36, static_cast<uint32_t>(pool_.size()));
  storeU64(out + 40, contents_);
  storeU32(out + 48, static_cast<uint32_t>(frames_.size()));
  for (size_t i = 0; i < records_.size(); ++i) {
    unsigned char* const record = out + kEntryTableHeaderSize + i * kEntryRecordSize;
    storeU64(record, records_[i].contentOffset);
    storeU64(record + 8, records_[i].size);
    storeU32(record + 16, records_[i].checksum);
    storeU32(record + 20, records_[i].nameStart);
    record[24] = static_cast<unsigned char>(records_[i].nameLength);
    record[25] = static_cast<unsigned char>(records_[i].nameLength >> 8);
  }
  const uint64_t framesEnd = inputLength - kAttachedTrailerSize;
  for (size_t i = 0; i < frames_.size(); ++i) {
    const bool last = i + 1 == frames_.size();
    unsigned char* const record = out + framesStart + i * kFrameRecordSize;
    storeU64(record, frames_[i].inputOffset);
    storeU64(record + 8, (last ? framesEnd : frames_[i + 1].inputOffset) - frames_[i].inputOffset);
    storeU64(record + 16, frames_[i].decodedOffset);
    storeU32(record + 24, frames_[i].firstEntry);
    storeU32(record + 28,
             (last ? static_cast<uint32_t>(records_.size()) : frames_[i + 1].firstEntry) -
                 frames_[i].firstEntry);
  }
  for (size_t i = 0; i < pool_.size(); ++i) {
    out[poolStart + 2 * i] = static_cast<unsigned char>(pool_[i]);
    out[poolStart + 2 * i + 1] = static_cast<unsigned char>(pool_[i] >> 8);
  }
  storeU32(out + length - 4, extendCrc(0, out, length - 4));
  return table;
}

std::vector<unsigned char> packEntryTable(const std::vector<unsigned char>& table, int level) {
  ZSTD_CCtx* const context = ZSTD_createCCtx();
  if (context == nullptr) throw std::runtime_error("packing the entry table: out of memory");
  std::vector<unsigned char> packed(ZSTD_compressBound(table.size()));
  // One thread, so the bytes never depend on the machine.
  size_t result = ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  if (!ZSTD_isError(result)) result = ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  if (!ZSTD_isError(result)) result = ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, 1);
  if (!ZSTD_isError(result)) {
    result = ZSTD_compress2(context, packed.data(), packed.size(), table.data(), table.size());
  }
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(result)) {
    throw std::runtime_error(std::string("packing the entry table: ") + ZSTD_getErrorName(result));
  }
  packed.resize(result);
  return packed;
}

#include "fake_platform.h"

#include <cstdlib>
#include <cstring>

#include "target/environment.h"
#include "target/placeholders.h"

FakePlatform fakePlatform;

namespace {

// Writes `value` whole or not at all, as the platform's path calls do.
bool writeWhole(const std::u16string& value, bool fails, Utf16Unit* output, uint64_t capacity) {
  if (fails || value.size() + 1 > capacity) {
    output[0] = 0;
    return false;
  }
  std::memcpy(output, value.c_str(), (value.size() + 1) * sizeof(Utf16Unit));
  return true;
}

}  // namespace

bool writeTemporaryDirectory(Utf16Unit* output, uint64_t capacity) {
  return writeWhole(fakePlatform.temporaryDirectory, fakePlatform.temporaryDirectoryFails, output,
                    capacity);
}

bool writeProgramPath(Utf16Unit* output, uint64_t capacity) {
  return writeWhole(fakePlatform.programPath, fakePlatform.programPathFails, output, capacity);
}

bool readUserFolder(UserFolder folder, Utf16Unit (&path)[kUserFolderCapacity]) {
  const std::u16string& value =
      folder == UserFolder::kProfile ? fakePlatform.profile : fakePlatform.localApplicationData;
  return writeWhole(value, fakePlatform.userFoldersFail, path, kUserFolderCapacity);
}

int64_t readSystemTime() {
  ++fakePlatform.systemTimeReads;
  return fakePlatform.systemTime;
}

uint32_t currentProcessId() { return fakePlatform.processId; }

uint32_t readRandomSeed() { return fakePlatform.randomSeed; }

bool setEnvironmentValue(const char* name, const Utf16Unit* value) {
  if (value == nullptr) {
    fakePlatform.environment.erase(name);
  } else {
    fakePlatform.environment[name] = value;
  }
  return true;
}

Utf16Unit* copyEnvironmentValue(const char* name) {
  const auto found = fakePlatform.environment.find(name);
  if (found == fakePlatform.environment.end() || found->second.empty()) return nullptr;
  const size_t bytes = (found->second.size() + 1) * sizeof(Utf16Unit);
  Utf16Unit* const copy = static_cast<Utf16Unit*>(std::malloc(bytes));
  std::memcpy(copy, found->second.c_str(), bytes);
  return copy;
}

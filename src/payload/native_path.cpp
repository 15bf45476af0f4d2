#include "payload/native_path.h"

namespace {

bool isDriveLetter(Utf16Unit unit) {
  return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

bool joinInto(Utf16Unit* native, size_t capacity, const Utf16Unit* prefix, const Utf16Unit* rest) {
  const size_t prefixLength = unitLength(prefix);
  const size_t restLength = unitLength(rest);
  if (prefixLength + restLength + 1 > capacity) return false;
  for (size_t i = 0; i < prefixLength; ++i) native[i] = prefix[i];
  for (size_t i = 0; i <= restLength; ++i) native[prefixLength + i] = rest[i];
  return true;
}

}  // namespace

bool isVerbatimPath(const Utf16Unit* path) {
  return path[0] == u'\\' && path[1] == u'\\' && path[2] == u'?' && path[3] == u'\\';
}

bool nativePathFromWin32(const Utf16Unit* path, Utf16Unit* native, size_t capacity) {
  if (isVerbatimPath(path)) return joinInto(native, capacity, u"\\??\\", path + 4);
  if (path[0] == u'\\' && path[1] == u'\\') {
    // \\server\share: a server name cannot be empty or start a device path.
    if (path[2] == 0 || path[2] == u'\\' || path[2] == u'.' || path[2] == u'?') return false;
    return joinInto(native, capacity, u"\\??\\UNC\\", path + 2);
  }
  if (isDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\') {
    return joinInto(native, capacity, u"\\??\\", path);
  }
  return false;
}

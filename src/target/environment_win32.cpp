#include <windows.h>

#include <cwchar>

#include "target/environment.h"

namespace {
constexpr size_t kNameCapacity = 40;
constexpr DWORD kValueCapacity = 32768;
Utf16Unit valueBuffer[kValueCapacity];

void widenName(Utf16Unit (&wide)[kNameCapacity], const char* name) {
  wide[0] = 0;
  widenByteText(wide, kNameCapacity, name);
}
}  // namespace

bool setEnvironmentValue(const char* name, const Utf16Unit* value) {
  Utf16Unit wideName[kNameCapacity];
  widenName(wideName, name);
  return SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wideName),
                                 reinterpret_cast<const wchar_t*>(value)) != 0;
}

Utf16Unit* copyEnvironmentValue(const char* name) {
  Utf16Unit wideName[kNameCapacity];
  widenName(wideName, name);
  const DWORD length =
      GetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wideName),
                              reinterpret_cast<wchar_t*>(valueBuffer), kValueCapacity);
  if (length == 0 || length > kValueCapacity) return nullptr;
  return reinterpret_cast<Utf16Unit*>(_wcsdup(reinterpret_cast<const wchar_t*>(valueBuffer)));
}

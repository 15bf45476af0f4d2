#include <windows.h>

#include <cwchar>

#include "target/environment.h"

namespace {
constexpr size_t kNameCapacity = 40;
constexpr DWORD kValueCapacity = 32768;
Unit valueBuffer[kValueCapacity];

void widenName(Unit (&wide)[kNameCapacity], const char* name) {
  wide[0] = 0;
  widenByteText(wide, kNameCapacity, name);
}
}  // namespace

bool setEnvironmentValue(const char* name, const Unit* value) {
  Unit wideName[kNameCapacity];
  widenName(wideName, name);
  return SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wideName),
                                 reinterpret_cast<const wchar_t*>(value)) != 0;
}

Unit* copyEnvironmentValue(const char* name) {
  Unit wideName[kNameCapacity];
  widenName(wideName, name);
  const DWORD length =
      GetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wideName),
                              reinterpret_cast<wchar_t*>(valueBuffer), kValueCapacity);
  if (length == 0 || length > kValueCapacity) return nullptr;
  return reinterpret_cast<Unit*>(_wcsdup(reinterpret_cast<const wchar_t*>(valueBuffer)));
}

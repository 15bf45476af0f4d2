#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/silent_abort.h"
#include "diag/report.h"

void printOsError(const char* message, uint32_t code) {
  runBeforeFatalMessage();
  char* systemText = nullptr;
  const DWORD length = FormatMessageA(
      /*dwFlags=*/FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
          FORMAT_MESSAGE_ALLOCATE_BUFFER,
      /*lpSource=*/nullptr, /*dwMessageId=*/code,
      /*dwLanguageId=*/MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
      /*lpBuffer=*/reinterpret_cast<char*>(&systemText), /*nSize=*/0,
      /*Arguments=*/nullptr);
  // A code the system has no text for prints an empty text, never an unset
  // pointer. The buffer is not released: every caller exits right after.
  const char* shown = "";
  if (length > 0 && systemText != nullptr) {
    stripTrailingLineEnds(systemText, length);
    shown = systemText;
  }
  std::fprintf(stderr, "%s ([Error %ld] %s)\n", message,
               static_cast<long>(static_cast<int32_t>(code)), shown);
}

void fatalSpecError(const Utf16Unit* spec) {
  runBeforeFatalMessage();
  std::fprintf(stderr, "Error, couldn't runtime expand spec '%ls'.\n",
               reinterpret_cast<const wchar_t*>(spec));
  abortSilently();
}

void keepRuntimeAbortsOffScreen() { _set_error_mode(_OUT_TO_STDERR); }

void fatalOpenForWritingError(const Utf16Unit* path) {
  runBeforeFatalMessage();
  std::fprintf(stderr, "Error, failed to open '%ls' for writing.\n",
               reinterpret_cast<const wchar_t*>(path));
  std::exit(2);
}

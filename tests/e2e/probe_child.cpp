// A stand-in for the packed application: reports on standard output what it
// received from the launcher, one "name: value" line each, then ends with the
// code it is told to.
//
// Told through its environment (inherited through the launcher):
//   TAVMOR_PROBE_EXIT_CODE  exit code, decimal or 0x-hex (default 0)
//   TAVMOR_PROBE_SLEEP_MS   milliseconds to sleep before exiting
//   TAVMOR_PROBE_QUIET      report nothing
//   TAVMOR_PROBE_RUN        a command line to start and wait for after the
//                           report, with the time and random variables set as
//                           an outer launcher run would leave them
//   TAVMOR_PROBE_VERIFY     a manifest in the probe's own folder, lines of
//                           "<crc32 hex> <size> <name>": every file named
//                           there is checked first, and the probe ends with
//                           kVerifyFailed when one differs
//
// The report's format is in probe_report.h.
#include <libdeflate.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "probe_report.h"

namespace {

const char* const kReportedVariables[] = {"TAVMOR_ONEFILE_PARENT",    "TAVMOR_ONEFILE_START",
                                          "TAVMOR_ONEFILE_TIME_US",   "TAVMOR_ONEFILE_RANDOM",
                                          "TAVMOR_ONEFILE_DIRECTORY", "TAVMOR_ORIGINAL_ARGV0"};

void write(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

void report(const std::string& name, const std::string& value) {
  write(name + ": " + value + "\n");
}

bool variable(const wchar_t* name, std::wstring* value) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return false;
  value->assign(buffer, length);
  return true;
}

std::wstring widened(const char* name) { return std::wstring(name, name + std::strlen(name)); }

std::string handleKind(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return "invalid";
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return "disk";
    case FILE_TYPE_PIPE:
      return "pipe";
    case FILE_TYPE_CHAR:
      return "char";
    default:
      return "unknown";
  }
}

void reportWhatWasReceived(int argc, wchar_t** argv) {
  report("command-line", escapedForReport(GetCommandLineW()));
  wchar_t module[32768];
  report("module",
         escapedForReport(std::wstring(module, GetModuleFileNameW(nullptr, module, 32768))));
  report("argc", std::to_string(argc));
  for (int i = 0; i < argc; ++i)
    report("argv[" + std::to_string(i) + "]", escapedForReport(argv[i]));
  wchar_t directory[32768];
  const DWORD length = GetCurrentDirectoryW(32768, directory);
  report("current-directory", escapedForReport(std::wstring(directory, length)));
  for (const char* name : kReportedVariables) {
    std::wstring value;
    report(name, variable(widened(name).c_str(), &value) ? escapedForReport(value) : "(absent)");
  }
  report("stdin", handleKind(STD_INPUT_HANDLE));
  report("stdout", handleKind(STD_OUTPUT_HANDLE));
  report("stderr", handleKind(STD_ERROR_HANDLE));
  // Proves the error handle is the one the caller gave, not just valid.
  const char marker[] = "probe-stderr\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), marker, sizeof marker - 1, &written, nullptr);
}

constexpr UINT kVerifyFailed = 97;

bool fileMatches(const std::wstring& path, unsigned long crc, unsigned long long size) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  static unsigned char buffer[1 << 16];
  uint32_t actual = 0;
  unsigned long long total = 0;
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    actual = libdeflate_crc32(actual, buffer, got);
    total += got;
  }
  CloseHandle(file);
  return actual == crc && total == size;
}

void verifyFiles(const std::wstring& manifestName) {
  wchar_t module[32768];
  std::wstring folder(module, GetModuleFileNameW(nullptr, module, 32768));
  folder.resize(folder.rfind(L'\\') + 1);
  FILE* manifest = _wfopen((folder + manifestName).c_str(), L"r");
  bool intact = manifest != nullptr;
  unsigned long crc = 0;
  unsigned long long size = 0;
  char name[1024];
  while (intact && std::fscanf(manifest, "%lx %llu %1023s", &crc, &size, name) == 3) {
    if (!fileMatches(folder + std::wstring(name, name + std::strlen(name)), crc, size)) {
      report("verify-failed", name);
      intact = false;
    }
  }
  if (manifest != nullptr) std::fclose(manifest);
  if (!intact) ExitProcess(kVerifyFailed);
}

void runNested(std::wstring commandLine) {
  SetEnvironmentVariableW(L"TAVMOR_PROBE_RUN", nullptr);
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_START", L"133000000000000000");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_TIME_US", L"000042");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_RANDOM", L"IQHFT9HQGrI");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    report("nested-error", std::to_string(GetLastError()));
    return;
  }
  report("nested-process-id", std::to_string(process.dwProcessId));
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  report("nested-exit-code", std::to_string(code));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring value;
  if (variable(L"TAVMOR_PROBE_VERIFY", &value)) verifyFiles(value);
  if (!variable(L"TAVMOR_PROBE_QUIET", &value)) reportWhatWasReceived(argc, argv);
  if (variable(L"TAVMOR_PROBE_RUN", &value)) runNested(value);
  if (variable(L"TAVMOR_PROBE_SLEEP_MS", &value)) Sleep(std::wcstoul(value.c_str(), nullptr, 0));
  UINT exitCode = 0;
  if (variable(L"TAVMOR_PROBE_EXIT_CODE", &value)) {
    exitCode = static_cast<UINT>(std::wcstoul(value.c_str(), nullptr, 0));
  }
  ExitProcess(exitCode);
}

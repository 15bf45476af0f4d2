#include "process_win32.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {

std::string drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towupper(c));
  return text;
}

// This process's environment with the options applied, as a CreateProcessW
// block.
std::wstring environmentBlock(const ProcessOptions& options) {
  std::vector<std::wstring> entries;
  wchar_t* const current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; *p != 0; p += wcslen(p) + 1) entries.emplace_back(p);
  FreeEnvironmentStringsW(current);
  auto drop = [&](const std::wstring& name) {
    const std::wstring key = upper(name) + L"=";
    std::vector<std::wstring> kept;
    for (const std::wstring& entry : entries) {
      if (upper(entry.substr(0, key.size())) != key) kept.push_back(entry);
    }
    entries.swap(kept);
  };
  for (const std::wstring& name : options.removedVariables) drop(name);
  for (const auto& [name, value] : options.environment) {
    drop(name);
    entries.push_back(name + L"=" + value);
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  block += L'\0';
  return block;
}

}  // namespace

ProcessResult runProgram(const std::wstring& program, const ProcessOptions& options) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  CreatePipe(&outRead, &outWrite, &inherit, 0);
  CreatePipe(&errRead, &errWrite, &inherit, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE input = nullptr;
  if (options.inputFromPipe) {
    HANDLE inWrite;
    CreatePipe(&input, &inWrite, &inherit, 0);
    CloseHandle(inWrite);
  } else {
    input =
        CreateFileW(options.inputFile.empty() ? L"NUL" : options.inputFile.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  }
  HANDLE outputFile = nullptr;
  if (!options.outputFile.empty()) {
    outputFile = CreateFileW(options.outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    CloseHandle(outWrite);
    outWrite = nullptr;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outputFile != nullptr ? outputFile : outWrite;
  startup.hStdError = errWrite;

  std::wstring commandLine = options.commandLine;
  if (commandLine.empty()) {
    commandLine = L"\"" + program + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
  }
  std::wstring block = environmentBlock(options);
  PROCESS_INFORMATION info{};
  const BOOL started =
      CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                     /*bInheritHandles=*/TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                     options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
                     &startup, &info);
  if (outWrite != nullptr) CloseHandle(outWrite);
  if (outputFile != nullptr) CloseHandle(outputFile);
  CloseHandle(errWrite);
  CloseHandle(input);
  ProcessResult result;
  result.processId = info.dwProcessId;
  if (!started) {
    result.exitCode = 0xFFFFFFFF;
    result.standardError = "runProgram: CreateProcessW failed";
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
  }
  std::string errText;
  std::thread errReader([&] { errText = drain(errRead); });
  result.standardOutput = drain(outRead);
  errReader.join();
  result.standardError = errText;
  WaitForSingleObject(info.hProcess, INFINITE);
  GetExitCodeProcess(info.hProcess, &result.exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  CloseHandle(outRead);
  CloseHandle(errRead);
  return result;
}

PROCESS_INFORMATION startProgram(const std::wstring& program, const ProcessOptions& options) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const auto open = [&](const std::wstring& path, DWORD access, DWORD disposition) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, 0, nullptr);
  };
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = options.outputFile.empty()
                           ? open(L"NUL", GENERIC_WRITE, OPEN_EXISTING)
                           : open(options.outputFile, GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = open(L"NUL", GENERIC_WRITE, OPEN_EXISTING);
  if (options.consoleStreams) {
    for (HANDLE* stream : {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError}) {
      CloseHandle(*stream);
    }
    startup.hStdInput = open(L"CONIN$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    startup.hStdOutput = open(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    startup.hStdError = open(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  }
  std::wstring commandLine = L"\"" + program + L"\" " + options.arguments;
  std::wstring block = environmentBlock(options);
  PROCESS_INFORMATION info{};
  CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE,
                 CREATE_UNICODE_ENVIRONMENT, block.data(),
                 options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
                 &startup, &info);
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  return info;
}

DWORD finishProgram(const PROCESS_INFORMATION& started) {
  if (started.hProcess == nullptr) return 0xFFFFFFFF;
  WaitForSingleObject(started.hProcess, INFINITE);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(started.hProcess, &code);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return code;
}

std::vector<std::wstring> filesBelow(const std::wstring& directory) {
  std::vector<std::wstring> files;
  std::vector<std::wstring> pending = {L""};
  while (!pending.empty()) {
    const std::wstring relative = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"\\" + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    bool empty = true;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      empty = false;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        pending.push_back(relative + name + L"\\");
      } else {
        files.push_back(relative + name);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (empty && !relative.empty()) files.push_back(relative);  // a folder left behind
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::wstring windowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

std::wstring buildDirectory() {
  const char* dir = std::getenv("TAVMOR_BUILD_DIR");
  return windowsPathOf(dir != nullptr ? dir : ".");
}

std::wstring makeScratchDirectory(const wchar_t* label) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static unsigned counter = 0;
  for (;;) {
    std::wstring path = std::wstring(temp) + L"tavmor-" + label + L"-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(path.c_str(), nullptr)) return path;
  }
}

bool pathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readWholeFile(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  text = drain(file);
  CloseHandle(file);
  return text;
}

void writeWholeFile(const std::wstring& path, const std::string& contents) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  CloseHandle(file);
}

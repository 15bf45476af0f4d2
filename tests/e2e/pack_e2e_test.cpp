// Launchers made by tavmor-pack build, started as a user starts them: the
// packed program runs with the caller's arguments and finds the files packed
// beside it, the reference build's constants put the cache below the local
// application-data folder, and a signature appended afterwards changes
// nothing.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "process_win32.h"

namespace {

std::wstring launcher(const char* name) {
  return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/" + name + ".exe");
}

std::string narrow(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length,
                      nullptr, nullptr);
  return out;
}

// What hello prints when it runs unpacked in `folder` with these arguments.
void expectHelloOutput(const ProcessResult& result, const std::wstring& folder) {
  EXPECT_EQ(result.exitCode, 0u) << result.standardOutput << result.standardError;
  EXPECT_EQ(result.standardError, "");
  const std::string& out = result.standardOutput;
  EXPECT_NE(out.find("Hello from a packed application!"), std::string::npos) << out;
  EXPECT_NE(out.find("My folder: " + narrow(folder) + "\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Data file " + narrow(folder) +
                     "\\data\\greeting.txt:\r\n  This line comes "
                     "from data/greeting.txt"),
            std::string::npos)
      << out;
}

TEST(PackedLauncher, RunsTheProgramWithItsArgumentsBesideItsFiles) {
  const std::wstring workDir = makeScratchDirectory(L"pack");
  ProcessOptions options;
  options.workingDirectory = workDir;
  options.arguments = L"one \"two words\"";
  const ProcessResult result = runProgram(launcher("pack_hello_launcher"), options);

  const std::wstring target = workDir + L"\\cache\\hello";
  expectHelloOutput(result, target);
  const std::string& out = result.standardOutput;
  EXPECT_NE(out.find("Working directory: " + narrow(workDir) + "\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Arguments (2):\r\n  [1] one\r\n  [2] two words\r\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("TAVMOR_ONEFILE_DIRECTORY=" + narrow(windowsPathOf(TAVMOR_E2E_DIR)) + "\r\n"),
            std::string::npos)
      << out;
  // Every packed file is in place, byte for byte.
  const std::wstring source = windowsPathOf(TAVMOR_HELLO_APP);
  for (const wchar_t* name : {L"\\hello.exe", L"\\data\\greeting.txt"}) {
    EXPECT_EQ(readWholeFile(target + name), readWholeFile(source + name));
  }
}

TEST(PackedLauncher, ReferenceBuildUnpacksBelowLocalApplicationData) {
  wchar_t localAppData[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(/*hwnd=*/nullptr, CSIDL_LOCAL_APPDATA, /*hToken=*/nullptr,
                             SHGFP_TYPE_CURRENT, localAppData),
            S_OK);
  const std::wstring target = std::wstring(localAppData) + L"\\Quolvenarix\\1.70.0";
  ProcessOptions options;
  options.workingDirectory = makeScratchDirectory(L"pack");
  expectHelloOutput(runProgram(launcher("Quolvenarix"), options), target);
  EXPECT_TRUE(pathExists(target + L"\\Quolvenarix.exe"));
}

TEST(PackedLauncher, StillRunsAfterAuthenticodeSigning) {
  const std::wstring workDir = makeScratchDirectory(L"pack");
  ProcessOptions options;
  options.workingDirectory = workDir;
  expectHelloOutput(runProgram(launcher("pack_signed_launcher"), options),
                    workDir + L"\\cache\\hello");
}

}  // namespace

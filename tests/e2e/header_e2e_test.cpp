#include <gtest/gtest.h>

#include "process_win32.h"

namespace {

TEST(AttachedDataHeader, EachWrongByteIsRejectedBeforeAnythingIsWritten) {
  for (const char* variant : {"XUQ", "RXQ", "RUX"}) {
    SCOPED_TRACE(variant);
    const std::wstring launcher =
        windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/header_" + variant + "_launcher.exe");
    const std::wstring workDir = makeScratchDirectory(L"header");
    ProcessOptions options;
    options.workingDirectory = workDir;
    const ProcessResult result = runProgram(launcher, options);

    EXPECT_EQ(result.standardOutput, "Error, couldn't find attached data header.\r\n");
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.exitCode, 2u);
    // The launcher's spec is relative, so its target lies in the working
    // directory; it must not have been created.
    EXPECT_FALSE(pathExists(workDir + L"\\tavmor-header-" + std::wstring(variant, variant + 3)));
  }
}

// A stub that was never stamped, or a configuration that places the attached
// data outside the image's own sections, is refused with the header's message
// before anything is written; a length that stops short fails in decoding.
TEST(StampedConfiguration, DamagedLaunchersEndWithAFixedMessage) {
  const struct {
    const char* damage;
    const char* message;
  } cases[] = {
      {"unstamped", "Error, couldn't find attached data header.\r\n"},
      {"beyond", "Error, couldn't find attached data header.\r\n"},
      {"section", "Error, couldn't find attached data header.\r\n"},
      {"short", "Error, couldn't decode attached data.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    const std::wstring workDir = makeScratchDirectory(L"damaged");
    ProcessOptions options;
    options.workingDirectory = workDir;
    const ProcessResult result = runProgram(
        windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/damaged_" + c.damage + "_launcher.exe"),
        options);
    EXPECT_EQ(result.standardOutput + result.standardError, c.message);
    EXPECT_EQ(result.exitCode, 2u);
  }
}

}  // namespace

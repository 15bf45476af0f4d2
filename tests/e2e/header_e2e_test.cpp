#include <gtest/gtest.h>

#include "process_win32.h"

namespace {

TEST(AttachedDataHeader, EachWrongByteIsRejectedBeforeAnythingIsWritten) {
  for (const char* variant : {"XUQ", "RXQ", "RUX"}) {
    SCOPED_TRACE(variant);
    const std::wstring launcher = windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/header_" +
                                                variant + "_launcher.exe");
    const std::wstring workDir = makeScratchDirectory(L"header");
    ProcessOptions options;
    options.workingDirectory = workDir;
    const ProcessResult result = runProgram(launcher, options);

    EXPECT_EQ(result.standardOutput, "Error, couldn't find attached data header.\r\n");
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.exitCode, 2u);
    // The launcher's spec is relative, so its target lies in the working
    // directory; it must not have been created.
    EXPECT_FALSE(pathExists(workDir + L"\\tavmor-header-" +
                            std::wstring(variant, variant + 3)));
  }
}

}  // namespace

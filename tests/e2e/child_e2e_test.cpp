// A packed launcher around the probe child, seen from outside as a user's
// shell sees it: what the child receives, and what comes back.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "probe_report.h"
#include "process_win32.h"

namespace {

std::wstring launcherPath() {
  return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/child_probe_launcher.exe");
}
std::wstring launcherFolder() { return windowsPathOf(TAVMOR_E2E_DIR); }

// The launcher's path as the first token of the child's command line.
std::string launcherToken() {
  const std::wstring path = launcherPath();
  return escapedForReport(path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"");
}

// One probe report: its "name: value" lines, in order and by name.
struct ProbeReport {
  std::vector<std::string> lines;
  std::map<std::string, std::string> values;

  std::string operator[](const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? "(no line)" : found->second;
  }
  std::vector<std::string> arguments() const {
    std::vector<std::string> list;
    for (int i = 0; values.count("argv[" + std::to_string(i) + "]") > 0; ++i) {
      list.push_back(values.at("argv[" + std::to_string(i) + "]"));
    }
    return list;
  }
};

// The reports in `output`, one per probe that ran, each starting at its
// "command-line" line.
std::vector<ProbeReport> probeReports(const std::string& output) {
  std::vector<ProbeReport> reports;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string name = line.substr(0, colon);
    if (name == "command-line" || reports.empty()) reports.emplace_back();
    reports.back().lines.push_back(line);
    reports.back().values[name] = line.substr(colon + 2);
  }
  return reports;
}

ProbeReport onlyReport(const ProcessResult& result) {
  const std::vector<ProbeReport> reports = probeReports(result.standardOutput);
  EXPECT_EQ(reports.size(), 1u) << result.standardOutput;
  return reports.empty() ? ProbeReport{} : reports[0];
}

TEST(ChildLaunch, ExitCodesComeBackWithAll32Bits) {
  for (const wchar_t* code : {L"0", L"3", L"259", L"0xC0000005", L"0xFFFFFFFF"}) {
    ProcessOptions options;
    options.environment = {{L"TAVMOR_PROBE_QUIET", L"1"}, {L"TAVMOR_PROBE_EXIT_CODE", code}};
    const ProcessResult result = runProgram(launcherPath(), options);
    EXPECT_EQ(result.exitCode, std::wcstoul(code, nullptr, 0)) << code;
    // A successful run prints nothing of its own.
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "");
  }
}

TEST(ChildLaunch, ChildGetsArgumentsDirectoryHandlesAndEnvironment) {
  const std::wstring workDir = makeScratchDirectory(L"child-args");
  ProcessOptions options;
  options.workingDirectory = workDir;
  // Inherited time and random values must not reach the child.
  options.environment = {{L"TAVMOR_ONEFILE_START", L"1"},
                         {L"TAVMOR_ONEFILE_TIME_US", L"000001"},
                         {L"TAVMOR_ONEFILE_RANDOM", L"AAAAAAAAAAA"},
                         {L"TAVMOR_ONEFILE_PARENT", L"4242"}};
  // Each argument as a shell would type it, with what the launcher splits
  // from it: empty ones, quotes and backslash runs, and text beyond ASCII.
  options.arguments =
      L"plain \"\" \"two words\" \"say \\\"hi\\\"\" C:\\path\\ \"C:\\dir with space\\\\\" "
      L"a\\\\\\\"b \"tab\there\" Gr\u00FC\u00DFe \u65E5\u672C \"\"";
  const std::vector<std::wstring> given = {L"plain",
                                           L"",
                                           L"two words",
                                           L"say \"hi\"",
                                           L"C:\\path\\",
                                           L"C:\\dir with space\\",
                                           L"a\\\"b",
                                           L"tab\there",
                                           L"Gr\u00FC\u00DFe",
                                           L"\u65E5\u672C",
                                           L""};
  const ProcessResult result = runProgram(launcherPath(), options);
  ASSERT_EQ(result.exitCode, 0u) << result.standardError;
  const ProbeReport report = onlyReport(result);

  std::vector<std::string> expected = {escapedForReport(launcherPath())};
  for (const std::wstring& argument : given) expected.push_back(escapedForReport(argument));
  EXPECT_EQ(report.arguments(), expected);
  EXPECT_EQ(report["current-directory"], escapedForReport(workDir));

  EXPECT_EQ(report["TAVMOR_ONEFILE_PARENT"], std::to_string(result.processId));
  EXPECT_EQ(report["TAVMOR_ONEFILE_DIRECTORY"], escapedForReport(launcherFolder()));
  EXPECT_EQ(report["TAVMOR_ORIGINAL_ARGV0"], escapedForReport(launcherPath()));
  EXPECT_EQ(report["TAVMOR_ONEFILE_START"], "(absent)");
  EXPECT_EQ(report["TAVMOR_ONEFILE_TIME_US"], "(absent)");
  EXPECT_EQ(report["TAVMOR_ONEFILE_RANDOM"], "(absent)");

  // The harness gives the NUL device and two pipes; the child gets the same.
  EXPECT_EQ(report["stdin"], "char");
  EXPECT_EQ(report["stdout"], "pipe");
  EXPECT_EQ(report["stderr"], "pipe");
  EXPECT_EQ(result.standardError, "probe-stderr\n");
}

TEST(ChildLaunch, FirstArgumentAsTypedGoesToTheEnvironmentAndTheFullPathToTheChild) {
  ProcessOptions options;
  options.commandLine = L"setup \"\" last";
  const ProcessResult result = runProgram(launcherPath(), options);
  const ProbeReport report = onlyReport(result);
  EXPECT_EQ(report["TAVMOR_ORIGINAL_ARGV0"], "setup");
  EXPECT_EQ(report["TAVMOR_ONEFILE_DIRECTORY"], escapedForReport(launcherFolder()));
  EXPECT_EQ(report.arguments(),
            (std::vector<std::string>{escapedForReport(launcherPath()), "", "last"}));
  EXPECT_EQ(report["command-line"], launcherToken() + " \"\" last");
}

TEST(ChildLaunch, StandardHandlesRedirectedToFilesAndPipesReachTheChild) {
  const std::wstring folder = makeScratchDirectory(L"child-handles");
  writeWholeFile(folder + L"\\input.txt", "some input\n");
  ProcessOptions toFiles;
  toFiles.inputFile = folder + L"\\input.txt";
  toFiles.outputFile = folder + L"\\output.txt";
  const ProcessResult filed = runProgram(launcherPath(), toFiles);
  ASSERT_EQ(filed.exitCode, 0u) << filed.standardError;
  EXPECT_EQ(filed.standardOutput, "");
  const std::vector<ProbeReport> fromFile = probeReports(readWholeFile(toFiles.outputFile));
  ASSERT_EQ(fromFile.size(), 1u);
  EXPECT_EQ(fromFile[0]["stdin"], "disk");
  EXPECT_EQ(fromFile[0]["stdout"], "disk");
  EXPECT_EQ(fromFile[0]["stderr"], "pipe");

  ProcessOptions toPipes;
  toPipes.inputFromPipe = true;
  const ProbeReport piped = onlyReport(runProgram(launcherPath(), toPipes));
  EXPECT_EQ(piped["stdin"], "pipe");
  EXPECT_EQ(piped["stdout"], "pipe");
}

TEST(ChildLaunch, ALauncherStartedFromItsChildBehavesLikeAFreshOne) {
  ProcessOptions options;
  options.environment = {{L"TAVMOR_PROBE_RUN", L"\"" + launcherPath() + L"\" inner"},
                         {L"TAVMOR_PROBE_EXIT_CODE", L"5"}};
  const ProcessResult result = runProgram(launcherPath(), options);
  EXPECT_EQ(result.exitCode, 5u);
  const std::vector<ProbeReport> reports = probeReports(result.standardOutput);
  ASSERT_EQ(reports.size(), 2u) << result.standardOutput;
  const ProbeReport& outer = reports[0];
  const ProbeReport& inner = reports[1];

  // The inner launcher started with all six variables set by the outer run
  // and the outer child; it replaced three and removed three.
  EXPECT_EQ(outer["TAVMOR_ONEFILE_PARENT"], std::to_string(result.processId));
  EXPECT_EQ(inner["TAVMOR_ONEFILE_PARENT"], outer["nested-process-id"]);
  EXPECT_NE(inner["TAVMOR_ONEFILE_PARENT"], outer["TAVMOR_ONEFILE_PARENT"]);
  EXPECT_EQ(inner["TAVMOR_ORIGINAL_ARGV0"], escapedForReport(launcherPath()));
  EXPECT_EQ(inner["TAVMOR_ONEFILE_DIRECTORY"], escapedForReport(launcherFolder()));
  EXPECT_EQ(inner["TAVMOR_ONEFILE_START"], "(absent)");
  EXPECT_EQ(inner["TAVMOR_ONEFILE_TIME_US"], "(absent)");
  EXPECT_EQ(inner["TAVMOR_ONEFILE_RANDOM"], "(absent)");
  EXPECT_EQ(inner.arguments(),
            (std::vector<std::string>{escapedForReport(launcherPath()), "inner"}));
  // The inner probe started nothing; the outer one, once the inner run had
  // ended, got that run's exit code as its last line.
  EXPECT_EQ(inner["nested-process-id"], "(no line)");
  const std::string last = "\nnested-exit-code: 5\n";
  EXPECT_EQ(result.standardOutput.substr(result.standardOutput.size() - last.size()), last);
}

TEST(ChildLaunch, ASecondRunStartsTheSameChildWithTheSameCommandLine) {
  ProcessOptions options;
  options.arguments = L"again \"and again\"";
  const ProbeReport first = onlyReport(runProgram(launcherPath(), options));
  const ProbeReport second = onlyReport(runProgram(launcherPath(), options));
  EXPECT_EQ(second["module"], first["module"]);
  EXPECT_EQ(second["command-line"], first["command-line"]);
  EXPECT_EQ(second["command-line"], launcherToken() + " again \"and again\"");
}

TEST(ChildLaunch, AFirstEntryThatCannotBeStartedIsReportedWithStatusTwo) {
  const ProcessResult result =
      runProgram(windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/child_text_launcher.exe"));
  EXPECT_EQ(result.exitCode, 2u);
  EXPECT_EQ(result.standardOutput, "");
  // The message, the code in brackets and the system's text, one line.
  const std::string prefix = "Error, couldn't launch child ([Error ";
  EXPECT_EQ(result.standardError.rfind(prefix, 0), 0u) << result.standardError;
  const size_t closing = result.standardError.find("] ");
  ASSERT_NE(closing, std::string::npos) << result.standardError;
  EXPECT_GT(result.standardError.size(), closing + 2 + 3) << "no system text";
  EXPECT_EQ(result.standardError.substr(result.standardError.size() - 3), ")\r\n");
  EXPECT_EQ(result.standardError.find('\n'), result.standardError.size() - 1);
}

}  // namespace

// Launchers of one application sharing one target directory: started
// together, started while another is in the middle of a large file, killed
// halfway, and started while another's child runs. Every child checks every
// file against the checksums its application carries and ends with 97 when
// one differs, so a launcher's exit code 0 means its child found all whole.
// Each test runs with either check of the files a start finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "process_win32.h"
#include "target/directory_lock.h"

namespace {

constexpr uint64_t kBigFileSize = 24 << 20;

// The launcher checking by contents, or by size and time.
class BothChecks : public testing::TestWithParam<const char*> {
 protected:
  bool byMetadata() const { return std::string(GetParam()) == "shared_cache_metadata_launcher"; }
  std::wstring launcherPath() const {
    return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/" + GetParam() + ".exe");
  }
  // What a target directory holds once unpacked: the application's files
  // and, checking by size and time, the record.
  std::vector<std::wstring> applicationFiles() const {
    std::vector<std::wstring> files =
        filesBelow(windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/shared_cache_app"));
    if (byMetadata()) files.insert(files.begin(), L".tavmor-record");
    return files;
  }
};
INSTANTIATE_TEST_SUITE_P(SharedCache, BothChecks,
                         testing::Values("shared_cache_launcher", "shared_cache_metadata_launcher"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return info.index == 0 ? "Content" : "Metadata";
                         });

uint64_t sizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The launchers use the relative spec "cache\shared", or "{TEMP}\cache\shared"
// checking by size and time: each test gets its own target directory below a
// fresh working directory, which is also the launchers' TEMP.
struct SharedDirectory {
  std::wstring launcherPath;
  std::wstring workDir = makeScratchDirectory(L"shared");
  std::wstring target() const { return workDir + L"\\cache\\shared"; }
  ProcessOptions options() const {
    ProcessOptions options;
    options.workingDirectory = workDir;
    options.environment = {{L"TAVMOR_PROBE_QUIET", L"1"},
                           {L"TAVMOR_PROBE_VERIFY", L"manifest.txt"},
                           {L"TMP", workDir},
                           {L"TEMP", workDir}};
    return options;
  }
  // Where a first start unpacks before the tree takes the target's name.
  std::wstring stagedTree() const { return target() + L".tavmor-partial"; }
  PROCESS_INFORMATION start() const { return startProgram(launcherPath, options()); }
  // How much of big.bin is written: in place, in the staging folder of a
  // found target, or in the staged tree of a first start.
  uint64_t bigFileWritten() const {
    return std::max({sizeOf(target() + L"\\big.bin"), sizeOf(target() + L"\\.tavmor-partial\\file"),
                     sizeOf(stagedTree() + L"\\big.bin")});
  }
  // Polls until at least `bytes` of big.bin are written; false if `launcher`
  // ended first.
  bool awaitBigFile(const PROCESS_INFORMATION& launcher, uint64_t bytes) const {
    while (bigFileWritten() < bytes) {
      if (WaitForSingleObject(launcher.hProcess, 0) == WAIT_OBJECT_0) return false;
    }
    return true;
  }
};

TEST_P(BothChecks, EightSimultaneousStartsAllFindEveryFileWhole) {
  for (int round = 0; round < 2; ++round) {
    SharedDirectory directory{launcherPath()};
    std::vector<PROCESS_INFORMATION> launchers;
    for (int i = 0; i < 8; ++i) launchers.push_back(directory.start());
    for (const PROCESS_INFORMATION& launcher : launchers) {
      EXPECT_EQ(finishProgram(launcher), 0u) << "round " << round;
    }
    EXPECT_EQ(filesBelow(directory.target()), applicationFiles());
  }
}

TEST_P(BothChecks, FirstStartsWithoutTheLockTakeTurnsAtTheStagedTree) {
  // An event squats the lock's name, so every launcher runs without the
  // lock, as launchers of different sessions do: only the hold on the staged
  // tree keeps their first starts apart.
  SharedDirectory directory{launcherPath()};
  const std::wstring target = directory.target();
  Utf16Unit name[kDirectoryLockNameCapacity];
  lockNameForDirectory(reinterpret_cast<const Utf16Unit*>(target.c_str()), name);
  const HANDLE squatter =
      CreateEventW(nullptr, TRUE, FALSE, reinterpret_cast<const wchar_t*>(name));
  ASSERT_NE(squatter, nullptr);
  std::vector<PROCESS_INFORMATION> launchers;
  for (int i = 0; i < 4; ++i) launchers.push_back(directory.start());
  for (const PROCESS_INFORMATION& launcher : launchers) EXPECT_EQ(finishProgram(launcher), 0u);
  CloseHandle(squatter);
  EXPECT_EQ(filesBelow(target), applicationFiles());
  EXPECT_FALSE(pathExists(directory.stagedTree()));
}

TEST_P(BothChecks, SecondStartWhileTheFirstWritesALargeFile) {
  // The first launcher is held (suspended) with big.bin written up to each
  // fraction; the second then gets up to three seconds to reach it. One that
  // does not wait for the first truncates big.bin under it: it is held there
  // in turn, and the first, resumed, starts its child on a file with a hole.
  // No ASSERT between a suspension and its resumption: a launcher left
  // suspended would hold the test's output open.
  // On a busy machine the first may finish big.bin between the poll and its
  // suspension; such a round proves nothing and is run again.
  for (const double fraction : {0.05, 0.4, 0.75}) {
    bool caughtInTheMiddle = false;
    for (int attempt = 0; attempt < 5 && !caughtInTheMiddle; ++attempt) {
      SharedDirectory directory{launcherPath()};
      const PROCESS_INFORMATION first = directory.start();
      if (!directory.awaitBigFile(first, static_cast<uint64_t>(fraction * kBigFileSize))) {
        finishProgram(first);
        continue;
      }
      SuspendThread(first.hThread);
      const uint64_t caught = directory.bigFileWritten();
      caughtInTheMiddle = caught < kBigFileSize;

      const PROCESS_INFORMATION second = directory.start();
      bool secondHeld = false;
      for (int waited = 0; waited < 300 && !secondHeld; ++waited) {
        if (WaitForSingleObject(second.hProcess, 10) == WAIT_OBJECT_0) break;
        if (directory.bigFileWritten() < caught) secondHeld = SuspendThread(second.hThread) == 0;
      }
      ResumeThread(first.hThread);
      EXPECT_EQ(finishProgram(first), 0u) << fraction;
      if (secondHeld) ResumeThread(second.hThread);
      EXPECT_EQ(finishProgram(second), 0u) << fraction;
      EXPECT_EQ(filesBelow(directory.target()), applicationFiles()) << fraction;
    }
    EXPECT_TRUE(caughtInTheMiddle) << "never caught in the middle of big.bin at " << fraction;
  }
}

TEST_P(BothChecks, KilledLaunchersLeaveNothingTheNextStartCannotRepair) {
  // Each round deletes big.bin so there is always a large file to cut short,
  // then kills a launcher after a delay (while it starts, checks or writes
  // the data files) or at a point of big.bin: four rounds in the staged tree
  // of a first start, then four repairing a target directory in place.
  SharedDirectory directory{launcherPath()};
  bool leftTemporaryFile = false;
  const int killAfterMilliseconds[] = {0, 150, -1, -1, 400, -1, -1, -1};
  const double killAtFraction[] = {0, 0, 0.3, 0.9, 0, 0.0, 0.6, 0.9};
  for (int round = 0; round < 8; ++round) {
    if (round == 4) {
      ASSERT_EQ(finishProgram(directory.start()), 0u);
    }
    DeleteFileW((directory.target() + L"\\big.bin").c_str());
    DeleteFileW((directory.stagedTree() + L"\\big.bin").c_str());
    const PROCESS_INFORMATION launcher = directory.start();
    if (killAfterMilliseconds[round] >= 0) {
      Sleep(killAfterMilliseconds[round]);
    } else {
      directory.awaitBigFile(launcher,
                             1 + static_cast<uint64_t>(killAtFraction[round] * kBigFileSize));
    }
    TerminateProcess(launcher.hProcess, 1);
    finishProgram(launcher);
    leftTemporaryFile |= round < 4 ? pathExists(directory.stagedTree())
                                   : pathExists(directory.target() + L"\\.tavmor-partial");
  }
  EXPECT_TRUE(leftTemporaryFile);  // some kill did cut a file short

  EXPECT_EQ(finishProgram(directory.start()), 0u);
  EXPECT_EQ(filesBelow(directory.target()), applicationFiles());
  EXPECT_FALSE(pathExists(directory.stagedTree()));
}

TEST_P(BothChecks, ATargetThatAppearsDuringAFirstStartIsFilledFileByFile) {
  // Made by hand, or by a launcher that reached it under another spelling
  // and so under another lock: the staged tree cannot take its name, and its
  // files are moved in one by one, over what is there.
  SharedDirectory directory{launcherPath()};
  const PROCESS_INFORMATION launcher = directory.start();
  const bool caught = directory.awaitBigFile(launcher, 1);
  CreateDirectoryW(directory.target().c_str(), nullptr);
  writeWholeFile(directory.target() + L"\\big.bin", "stale");
  writeWholeFile(directory.target() + L"\\extra.txt", "kept");
  EXPECT_EQ(finishProgram(launcher), 0u);
  EXPECT_TRUE(caught);
  std::vector<std::wstring> expected = applicationFiles();
  expected.push_back(L"extra.txt");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(filesBelow(directory.target()), expected);
  EXPECT_FALSE(pathExists(directory.stagedTree()));
}

TEST_P(BothChecks, RepairWhileAnotherInstanceRuns) {
  SharedDirectory directory{launcherPath()};
  ProcessOptions holding = directory.options();
  holding.environment = {{L"TAVMOR_PROBE_SLEEP_MS", L"4000"},
                         {L"TMP", directory.workDir},
                         {L"TEMP", directory.workDir}};
  holding.outputFile = directory.workDir + L"\\first.txt";
  const PROCESS_INFORMATION first = startProgram(directory.launcherPath, holding);
  // The child reports as soon as it runs, and then holds app.exe open.
  while (readWholeFile(holding.outputFile).empty()) {
    ASSERT_EQ(WaitForSingleObject(first.hProcess, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  }

  writeWholeFile(directory.target() + L"\\data\\05.bin", "damaged");
  const ProcessResult second = runProgram(directory.launcherPath, directory.options());
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(second.standardOutput + second.standardError, "");
  EXPECT_EQ(finishProgram(first), 0u);
  EXPECT_EQ(filesBelow(directory.target()), applicationFiles());
}

}  // namespace

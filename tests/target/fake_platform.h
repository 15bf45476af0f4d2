// A stand-in for the platform's side of spec expansion on the host: values
// and failures the tests choose, and an environment of their own.
#pragma once
#include <cstdint>
#include <map>
#include <string>

struct FakePlatform {
  std::u16string temporaryDirectory = u"C:\\Temp\\";
  bool temporaryDirectoryFails = false;
  std::u16string programPath = u"C:\\x\\App.EXE";
  bool programPathFails = false;
  std::u16string profile = u"C:\\Users\\u";
  std::u16string localApplicationData = u"C:\\Users\\u\\AppData\\Local";
  bool userFoldersFail = false;
  int64_t systemTime = 133000000000000000;
  int systemTimeReads = 0;
  uint32_t processId = 4242;
  uint32_t randomSeed = 1;
  std::map<std::string, std::u16string> environment;
};

// Reset by each test.
extern FakePlatform fakePlatform;

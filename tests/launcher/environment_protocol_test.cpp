#include "launcher/environment_protocol.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "target/environment.h"

namespace {

std::wstring variable(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length == 0 ? L"<absent>" : std::wstring(value, length);
}

std::u16string cut(const char16_t* path) {
  std::u16string text(path);
  cutAtLastBackslash(text.data());
  return std::u16string(text.c_str());
}

TEST(EnvironmentProtocol, PreparingRemovesTimeAndRandomAndReplacesParent) {
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_START", L"133000000000000000");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_TIME_US", L"000042");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_RANDOM", L"IQHFT9HQGrI");
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_PARENT", L"4242");

  prepareLauncherEnvironment();

  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_START"), L"<absent>");
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_TIME_US"), L"<absent>");
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_RANDOM"), L"<absent>");
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_PARENT"), std::to_wstring(GetCurrentProcessId()));
}

TEST(EnvironmentProtocol, LauncherDirectoryDropsTheLastComponent) {
  EXPECT_EQ(cut(u"C:\\Apps\\Tool\\setup.exe"), u"C:\\Apps\\Tool");
  EXPECT_EQ(cut(u"C:\\setup.exe"), u"C:");
  EXPECT_EQ(cut(u"setup.exe"), u"setup.exe");
  EXPECT_EQ(cut(u""), u"");
}

TEST(EnvironmentProtocol, PublishingSetsOwnDirectoryAndFirstArgument) {
  SetEnvironmentVariableW(L"TAVMOR_ONEFILE_DIRECTORY", L"C:\\outer");
  SetEnvironmentVariableW(L"TAVMOR_ORIGINAL_ARGV0", L"outer");
  publishChildEnvironment(u"setup");

  wchar_t module[4097];
  GetModuleFileNameW(nullptr, module, 4097);
  std::wstring directory(module);
  directory.resize(directory.rfind(L'\\'));
  EXPECT_EQ(variable(L"TAVMOR_ONEFILE_DIRECTORY"), directory);
  EXPECT_EQ(variable(L"TAVMOR_ORIGINAL_ARGV0"), L"setup");
}

TEST(EnvironmentAccess, CopiesValuesAndTreatsEmptyAsAbsent) {
  setEnvironmentValue("TAVMOR_TEST_VALUE", u"x y");
  Utf16Unit* copy = copyEnvironmentValue("TAVMOR_TEST_VALUE");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::u16string(copy), u"x y");
  free(copy);
  setEnvironmentValue("TAVMOR_TEST_VALUE", u"");
  EXPECT_EQ(copyEnvironmentValue("TAVMOR_TEST_VALUE"), nullptr);
  setEnvironmentValue("TAVMOR_TEST_VALUE", nullptr);
  EXPECT_EQ(copyEnvironmentValue("TAVMOR_TEST_VALUE"), nullptr);
}

TEST(EnvironmentAccessDeathTest, NamesOfFortyOrMoreCharactersAbort) {
  // 39 characters fit the 40-unit name buffer with its terminator.
  setEnvironmentValue("A23456789012345678901234567890123456789", u"ok");
  EXPECT_DEATH(setEnvironmentValue("A234567890123456789012345678901234567890", u"x"), "");
}

}  // namespace

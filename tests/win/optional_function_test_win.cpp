// Run-time look-ups of system functions: the DLLs that are not known DLLs come from the system
// folder's files, and a DLL found only beside the program or in the current folder is never
// taken.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/optional_function_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {
namespace {

// The folder of the module that holds `address`, without its trailing backslash.
std::string ModuleFolder(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module)) {
    return std::string();
  }
  const std::string path = Narrow(
      GrowWideBuffer([module](wchar_t* b, DWORD n) { return ::GetModuleFileNameW(module, b, n); }));
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Whether `folder` is the system folder, or under WOW64 the folder of the 32-bit system DLLs.
bool IsSystemFolder(const std::string& folder) {
  const std::string system =
      Narrow(GrowWideBuffer([](wchar_t* b, DWORD n) { return ::GetSystemDirectoryW(b, n); }));
  const std::string wow64 =
      Narrow(GrowWideBuffer([](wchar_t* b, DWORD n) { return ::GetSystemWow64DirectoryW(b, n); }));
  return !folder.empty() && (SameTextAscii(folder, system) || SameTextAscii(folder, wow64));
}

TEST(SystemFunction, FunctionsOfRunTimeDllsComeFromTheSystemFolder) {
  struct Case {
    const wchar_t* module;
    const char* name;
  };
  const Case cases[] = {
      {L"version.dll", "GetFileVersionInfoSizeW"}, {L"version.dll", "GetFileVersionInfoW"},
      {L"version.dll", "VerQueryValueW"},          {L"wtsapi32.dll", "WTSQuerySessionInformationW"},
      {L"wtsapi32.dll", "WTSFreeMemory"},          {L"msimg32.dll", "AlphaBlend"},
      {L"psapi.dll", "GetModuleFileNameExW"},      {L"psapi.dll", "GetProcessMemoryInfo"},
      {L"kernel32.dll", "GetNativeSystemInfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.module) + " " + c.name);
    void* address = LookupSystemFunction(c.module, c.name);
    ASSERT_NE(address, nullptr);
    EXPECT_TRUE(IsSystemFolder(ModuleFolder(address))) << ModuleFolder(address);
    EXPECT_EQ(LookupSystemFunction(c.module, c.name), address);  // the cached answer
  }
}

TEST(SystemFunction, FoundOnAThreadWithRedirectionOff) {
  // The first look-up into DLLs this process has not loaded yet, made where file-system
  // redirection is off (as the native-file readers have it): still the 32-bit DLLs.
  ScopedWow64RedirectionOff native;
  const struct {
    const wchar_t* module;
    const char* name;
  } cases[] = {
      {L"dbghelp.dll", "MiniDumpWriteDump"},
      {L"mapi32.dll", "MAPISendMail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.module) + " " + c.name);
    ASSERT_EQ(::GetModuleHandleW(c.module), nullptr) << "already loaded";
    void* address = LookupSystemFunction(c.module, c.name);
    ASSERT_NE(address, nullptr);
    EXPECT_TRUE(IsSystemFolder(ModuleFolder(address))) << ModuleFolder(address);
  }
}

TEST(SystemFunction, ADllOutsideTheSystemFolderIsNeverTaken) {
  // tests/planted.dll lies beside this program and, for the case, in the current folder too;
  // the usual search order would find it by its name.
  const std::wstring beside = Widen(ExeFolder()) + L"planted.dll";
  ASSERT_NE(::GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(::SetCurrentDirectoryW(Widen(ExeFolder()).c_str()));
  {
    // Mapped without running it: the usual search finds it, with the function looked up below.
    UniqueModule found(::LoadLibraryExW(L"planted.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(found.valid()) << "the usual search does not find the DLL beside the program";
    EXPECT_NE(::GetProcAddress(found.get(), "KovraPlantedMark"), nullptr);
  }
  struct Case {
    const wchar_t* module;
    const char* name;
  };
  const Case cases[] = {
      {L"planted.dll", "KovraPlantedMark"},
      {L"planted.dll", "DllMain"},
      {L"no-such-kovra-module.dll", "Anything"},
      {L"version.dll", "NoSuchKovraFunction"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.module) + " " + c.name);
    EXPECT_EQ(LookupSystemFunction(c.module, c.name), nullptr);
  }
  EXPECT_EQ(::GetModuleHandleW(L"planted.dll"), nullptr) << "the planted DLL was loaded";
}

}  // namespace
}  // namespace kovra::win

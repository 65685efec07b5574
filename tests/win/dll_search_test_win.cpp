// The DLL search narrowed at start-up: a DLL beside the program, in the current folder, is no
// longer found by its name, while the system's DLLs still are.
#include <gtest/gtest.h>

#include <initializer_list>
#include <iostream>

#include "platform/dll_search_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {
namespace {

TEST(DllSearch, OnlyTheSystemFolderIsSearchedByName) {
  // tests/planted.dll lies beside this program; the case makes that the current folder too.
  ASSERT_TRUE(::SetCurrentDirectoryW(Widen(ExeFolder()).c_str()));
  const DllSearchLimit limit = LimitDllSearchToSystemFolder();
  std::cout << "limit " << static_cast<int>(limit) << "\n";
  ASSERT_NE(limit, DllSearchLimit::kUnchanged);
  const struct {
    const wchar_t* name;
    bool found;
  } cases[] = {
      // Where only SetDllDirectoryW is there, the program's folder is still searched.
      {L"planted.dll", limit != DllSearchLimit::kSystemFolderOnly},
      {L"version.dll", true},
      {L"msimg32.dll", true},
      {L"wtsapi32.dll", true},
  };
  for (const auto& c : cases) {
    UniqueModule module(::LoadLibraryW(c.name));
    EXPECT_EQ(module.valid(), c.found) << Narrow(c.name);
  }
}

TEST(DllSearch, PreloadedDllsAreFoundByNameAsTheSystemFoldersCopies) {
  PreloadSystemDlls();
  for (const wchar_t* name : {L"version.dll", L"msimg32.dll", L"wtsapi32.dll", L"psapi.dll"}) {
    const HMODULE loaded = ::GetModuleHandleW(name);
    ASSERT_NE(loaded, nullptr) << Narrow(name);
    // A load by the name alone takes the module already there.
    UniqueModule by_name(::LoadLibraryW(name));
    EXPECT_EQ(by_name.get(), loaded) << Narrow(name);
  }
}

}  // namespace
}  // namespace kovra::win

// Helpers the Windows tests share: test keys and their text values, scratch folders.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

// Creates (or opens) the key with full access in the given view; a failure fails the test.
inline UniqueHkey CreateTestKey(HKEY root, const std::wstring& path, REGSAM view) {
  UniqueHkey key;
  EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.receive(), nullptr),
            ERROR_SUCCESS);
  return key;
}

// Sets a REG_SZ value, its terminator included.
inline void SetTextValue(HKEY key, const wchar_t* name, const std::wstring& text) {
  ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
inline void SetTextValue(HKEY key, const wchar_t* name, const std::string& text) {
  SetTextValue(key, name, Widen(text));
}

// Creates the key in the view, then sets the value in it.
inline void SetTextValue(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name,
                         const std::wstring& text) {
  SetTextValue(CreateTestKey(root, path, view).get(), name, text);
}

// What a scratch folder holds when the test gets it.
enum class ScratchState {
  kKept,   // created when missing; what an earlier case left stays
  kEmpty,  // emptied and created
  kGone,   // removed and not created, for a test of the creation itself
};

// A folder of this test process under the temporary folder: "kovra-<kind>-<pid>\", and when a
// name is given "<name>\" below it; with its trailing backslash.
inline std::string ScratchFolder(ScratchState state, const std::string& kind,
                                 const std::string& name = {}) {
  std::string dir = TempFolder() + "kovra-" + kind + "-" + std::to_string(::GetCurrentProcessId()) +
                    "\\" + (name.empty() ? std::string() : name + "\\");
  if (state != ScratchState::kKept)
    ShellRemoveFolder(dir);
  if (state != ScratchState::kGone) {
    EXPECT_TRUE(ForceDirectories(dir)) << dir;
  }
  return dir;
}

}  // namespace kovra::win

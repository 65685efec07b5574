// Autostart places and browser helpers on Wine's real registry and shell links (a 64-bit prefix:
// the tests run under WOW64).
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "base/text.h"
#include "collectors/system/autoruns_win.h"
#include "platform/path_frame_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"
#include "read_only_keys_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr wchar_t kBhos[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr wchar_t kBhoId[] = L"{0B1A2C3D-0000-4000-8000-00000000C0DE}";

void SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text,
             REGSAM view) {
  SetTextValue(root, path, view, name, text);
}

void DeleteValue(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) {
  UniqueHkey key;
  if (::RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS | view, key.receive()) == ERROR_SUCCESS)
    ::RegDeleteValueW(key.get(), name);
}

class AutorunsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix());
    startup_ = IncludeTrailingBackslash(frame_.GetSystemPath(SystemFolder::kStartup));
    ASSERT_TRUE(ForceDirectories(startup_));
    SetText(HKEY_CURRENT_USER, kRun, L"KovraNative", L"C:\\n.exe", KEY_WOW64_64KEY);
    SetText(HKEY_LOCAL_MACHINE, kRun, L"KovraWow", L"C:\\w.exe", KEY_WOW64_32KEY);
    UniqueHkey run;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              run.receive()),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ::RegSetValueExW(run.get(), L"KovraOdd", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    SetText(HKEY_CURRENT_USER, std::wstring(kRunOnceEx) + L"\\0001", L"1", L"kovra.dll|Install|/q",
            KEY_WOW64_64KEY);
    SetText(HKEY_LOCAL_MACHINE, std::wstring(kBhos) + L"\\" + kBhoId, L"", L"", KEY_WOW64_64KEY);
  }
  void TearDown() override {
    DeleteValue(HKEY_CURRENT_USER, kRun, L"KovraNative", KEY_WOW64_64KEY);
    DeleteValue(HKEY_CURRENT_USER, kRun, L"KovraOdd", KEY_WOW64_64KEY);
    DeleteValue(HKEY_LOCAL_MACHINE, kRun, L"KovraWow", KEY_WOW64_32KEY);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kRunOnceEx);
    UniqueHkey bhos;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBhos, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        bhos.receive()) == ERROR_SUCCESS)
      ::RegDeleteTreeW(bhos.get(), kBhoId);
    for (const char* name : {"desktop.ini", "a.lnk", "b.bat"})
      DeleteFilePath(startup_ + name);
  }
  const TAppFrame frame_;
  std::string startup_;
};

TEST_F(AutorunsTest, StartupFolderRunKeysAndRunOnceEx) {
  {
    ScopedComInit com;
    WriteFileBytes(startup_ + "desktop.ini", "[.ShellClassInfo]\r\n");
    WriteFileBytes(startup_ + "b.bat", "@echo off\r\n");
    ComPtr<IShellLinkW> link;
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IShellLinkW, link.receive_void()));
    link->SetPath(L"C:\\Tools\\a.exe");
    link->SetArguments(L"/min");
    ComPtr<IPersistFile> file;
    ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.receive_void()));
    ASSERT_HRESULT_SUCCEEDED(file->Save(Widen(startup_ + "a.lnk").c_str(), TRUE));
  }
  const StringList block = ListAutoruns(frame_);
  for (const std::string& l : block)
    std::cout << l << "\n";
  ASSERT_GE(block.size(), 3u);
  EXPECT_EQ(StringList(block.begin(), block.begin() + 3),
            (StringList{"", "===== Autoruns =====", ""}));
  // Startup: the shortcut resolved and the batch file, in the folder's order; no desktop.ini.
  const size_t startup = IndexOf(block, "---------- Startup ----------");
  const size_t link = IndexOf(block, "\"C:\\Tools\\a.exe\" /min");
  const size_t bat = IndexOf(block, ExcludeTrailingBackslash(startup_) + "\\b.bat");
  EXPECT_LT(startup, link);
  EXPECT_LT(link, block.size());
  EXPECT_LT(bat, block.size());
  for (const std::string& l : block)
    EXPECT_EQ(l.find("desktop.ini"), std::string::npos) << l;
  // Run: the native entries, the one of another kind by its value text, then the 32-bit one.
  const size_t run = IndexOf(block, "---------- Run ----------");
  const size_t native = IndexOf(block, "KovraNative=C:\\n.exe");
  const size_t odd = IndexOf(block, "KovraOdd=dword:00000001");
  const size_t wow = IndexOf(block, "KovraWow=C:\\w.exe");
  EXPECT_LT(run, native);
  EXPECT_LT(native, wow);
  EXPECT_LT(odd, wow);
  EXPECT_LT(wow, block.size());
  // RunOnceEx: one entry of its numbered sub-key, three lines.
  const size_t once = IndexOf(block, "---------- RunOnceEx ----------");
  ASSERT_LT(once + 3, block.size());
  EXPECT_EQ(StringList(block.begin() + once + 1, block.begin() + once + 4),
            (StringList{"rundll32.exe kovra.dll", "rundll32.exe kovra.dll,Install",
                        "rundll32.exe kovra.dll,Install /q"}));
}

// Values of other kinds in the steps that split their values: each is one line, its value
// text, whatever bytes it holds; text values still split. Every step opens for reading only,
// whatever the instance was made with.
TEST(AutorunSteps, OtherKindsAreOneUnsplitLineAndKeysAreOnlyRead) {
  constexpr wchar_t kKey[] = L"Software\\KovraAutorunSteps";
  const std::string key = "Software\\KovraAutorunSteps";
  const TAppFrame frame;
  UniqueHkey values, entry;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, values.receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegCreateKeyExW(values.get(), L"0001", 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, entry.receive(), nullptr),
            ERROR_SUCCESS);
  const BYTE bytes[] = {0x65, 0x00, 0x78, 0x2C, 0x20, 0x7C};  // "e", NUL, "x, |"
  const DWORD one = 1;
  const std::wstring text = L"explorer.exe, a.exe b.exe";
  for (HKEY k : {values.get(), entry.get()}) {
    ::RegSetValueExW(k, L"Binary", 0, REG_BINARY, bytes, sizeof bytes);
    ::RegSetValueExW(k, L"Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    ::RegSetValueExW(k, L"Empty", 0, REG_BINARY, nullptr, 0);
  }
  ::RegSetValueExW(values.get(), L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));

  const std::string hex = "hex:65,00,78,2C,20,7C";
  const struct {
    const char* step;
    std::function<void(TRegistry&, StringList&)> run;
    StringList lines;
  } cases[] = {
      {"Shell binary",
       [&](TRegistry& r, StringList& l) {
         ListShellValue(frame, r, HKEY_CURRENT_USER, key, "Binary", "explorer.exe", l);
       },
       {hex}},
      {"Userinit dword",
       [&](TRegistry& r, StringList& l) {
         ListShellValue(frame, r, HKEY_CURRENT_USER, key, "Dword", "userinit.exe", l);
       },
       {"dword:00000001"}},
      {"Shell text",
       [&](TRegistry& r, StringList& l) {
         ListShellValue(frame, r, HKEY_CURRENT_USER, key, "Text", "explorer.exe", l);
       },
       {"a.exe", "b.exe"}},
      {"Shell empty binary",
       [&](TRegistry& r, StringList& l) {
         ListShellValue(frame, r, HKEY_CURRENT_USER, key, "Empty", "explorer.exe", l);
       },
       {}},
      {"Run binary",
       [&](TRegistry& r, StringList& l) {
         ListDelimitedValue(r, HKEY_CURRENT_USER, key, "Binary", l);
       },
       {hex}},
      {"Load dword",
       [&](TRegistry& r, StringList& l) {
         ListDelimitedValue(r, HKEY_CURRENT_USER, key, "Dword", l);
       },
       {"dword:00000001"}},
      {"RunOnceEx entry",  // the values of its sub-key 0001; Wine lists them by name
       [&](TRegistry& r, StringList& l) { ListRunOnceEx(r, HKEY_CURRENT_USER, key, l); },
       {hex, "dword:00000001"}},
  };
  for (const auto& c : cases) {
    TRegistry registry;  // KEY_ALL_ACCESS, as the class starts
    StringList lines;
    c.run(registry, lines);
    EXPECT_EQ(lines, c.lines) << c.step;
    EXPECT_EQ(registry.Access(), static_cast<DWORD>(KEY_READ | (IsWow64() ? KEY_WOW64_64KEY : 0)))
        << c.step;
  }
  values.reset();
  entry.reset();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

TEST_F(AutorunsTest, HelperWithoutAClassKey) {
  const StringList bhos = ListBrowserHelperObjects();
  ASSERT_GE(bhos.size(), 4u);
  EXPECT_EQ(StringList(bhos.begin(), bhos.begin() + 3), (StringList{"", "===== BHOs =====", ""}));
  EXPECT_NE(IndexOf(bhos, ", "), bhos.size());
}

class ReadOnlyHelperKeysTest : public ReadOnlyKeysTest {};

TEST_F(ReadOnlyHelperKeysTest, HelperObjectsAreReadFromKeysThatDenyWriting) {
  const StringList helpers = ListBrowserHelperObjects();
  EXPECT_LT(IndexOf(helpers, "Kovra Locked Helper, C:\\Kovra\\helper.dll"), helpers.size());
}

}  // namespace
}  // namespace kovra::win

// Helpers the Windows tests share: test keys and their text values, scratch folders, line
// searches, file times, archives read back, memory bitmaps, the console-program stand-in's
// folder and process counts.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "archive/archive_names.h"
#include "archive/zip_reader.h"
#include "base/string_list.h"
#include "base/text.h"
#include "platform/cancellation.h"
#include "platform/child_process_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/session_user_win.h"
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
    (void)RemoveTreeNoFollow(dir);
  if (state != ScratchState::kGone) {
    EXPECT_TRUE(ForceDirectories(dir)) << dir;
  }
  return dir;
}

// Deletes the key `name` under `parent` with its subtree, in the given view; absent is fine.
inline void DeleteTestTree(HKEY root, const wchar_t* parent, const wchar_t* name, REGSAM view) {
  UniqueHkey key;
  if (::RegOpenKeyExW(root, parent, 0, KEY_ALL_ACCESS | view, key.receive()) == ERROR_SUCCESS)
    ::RegDeleteTreeW(key.get(), name);
}

// The index of the first line equal to `line`; lines.size() when there is none.
inline size_t IndexOf(const StringList& lines, const std::string& line) {
  return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// Whether any line holds `text`.
inline bool Contains(const StringList& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// Whether the whole text matches the regular expression.
inline bool Matches(const std::string& text, const char* pattern) {
  return std::regex_match(text, std::regex(pattern));
}

// Writes the file, then sets its attributes when any are given.
inline void Put(const std::string& path, const std::string& bytes, DWORD attributes = 0) {
  WriteFileBytes(path, bytes);
  if (attributes)
    ::SetFileAttributesW(Widen(path).c_str(), attributes);
}

// Moves the file's last write by `seconds` (negative: into the past).
inline void ShiftWriteTime(const std::string& path, int seconds) {
  UniqueHandle f(::CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(f.valid());
  FILETIME t;
  ASSERT_TRUE(::GetFileTime(f.get(), nullptr, nullptr, &t));
  ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
  v.QuadPart += static_cast<LONGLONG>(seconds) * 10000000;
  t.dwLowDateTime = v.LowPart;
  t.dwHighDateTime = v.HighPart;
  ASSERT_TRUE(::SetFileTime(f.get(), nullptr, nullptr, &t));
}

struct Archive {
  std::string bytes;
  ZipReader reader;
  std::vector<std::string> names;
  std::string Data(const std::string& name) const {
    for (const ZipEntry& e : reader.entries()) {
      if (e.name == name) {
        std::string data, error;
        EXPECT_TRUE(reader.Read(e, data, error)) << error;
        return data;
      }
    }
    ADD_FAILURE() << "no entry " << name;
    return {};
  }
};

// Keeps a copy for the independent readers that run after this program (see CMakeLists).
inline void KeepForReaders(const std::string& bytes, const std::string& leaf) {
  char out[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("KOVRA_ARCHIVE_OUT", out, MAX_PATH) > 0) {
    EXPECT_TRUE(ForceDirectories(out));
    WriteFileBytes(std::string(out) + "\\" + leaf + ".zip", bytes);
  }
}

inline void Load(const std::string& bytes, Archive& a, const std::string& leaf = "") {
  a.bytes = bytes;
  std::string error;
  ASSERT_TRUE(a.reader.Open(a.bytes, error)) << error;
  for (const ZipEntry& e : a.reader.entries())
    a.names.push_back(e.name);
  if (!leaf.empty())
    KeepForReaders(bytes, leaf);
}

inline std::string Stored(const std::string& path) {
  return ZipStoredName(FullPathName(path));
}

// A 24-bit bitmap selected into a memory device context.
struct Surface {
  UniqueMemoryDC dc{::CreateCompatibleDC(nullptr)};
  UniqueGdiObject bitmap;
  std::unique_ptr<ScopedSelectObject> select;
  Surface(int width, int height) {
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap.reset(::CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    select = std::make_unique<ScopedSelectObject>(dc.get(), bitmap.get());
  }
  void Fill(const RECT& r, COLORREF c) {
    UniqueGdiObject brush(::CreateSolidBrush(c));
    ::FillRect(dc.get(), &r, static_cast<HBRUSH>(brush.get()));
  }
};

// The number of running processes with this image name.
inline size_t CountProcesses(const std::string& image) {
  size_t n = 0;
  ForEachProcess([&](const PROCESSENTRY32W& e) {
    n += SameTextAscii(ProcessImageName(e), image);
    return true;
  });
  return n;
}

// The cancellation of the tests that are not cancelled.
inline const RunCancellation never;

// The scriptable console-program stand-in beside the test program.
inline std::string FakeProgram() {
  return ExeFolder() + "fake_console.exe";
}

// The stand-in with arguments, as the capture starts it.
inline ConsoleCommand FakeCommand(StringList arguments) {
  return ConsoleCommand{FakeProgram(), std::move(arguments)};
}

// The stand-in's command line as a direct CreateProcess takes it.
inline std::string Fake() {
  return "\"" + FakeProgram() + "\"";
}

// A fresh folder for the stand-ins' scripts and log. Programs the tool starts get a minimal
// environment whose TEMP is the folder the caller names, so the stand-ins over schtasks.exe
// and systeminfo.exe find this folder as their TEMP (the marker file says it is one); tests
// pass Folder() where the tool passes its staging folder.
class FakeDir {
 public:
  explicit FakeDir(const std::string& name)
      : dir_(TempFolder() + "kovra-fake-" + std::to_string(::GetCurrentProcessId()) + "-" + name) {
    (void)RemoveTreeNoFollow(dir_);
    EXPECT_TRUE(ForceDirectories(dir_));
    Put("kovra-fake-dir", "");
  }
  ~FakeDir() { (void)RemoveTreeNoFollow(dir_); }
  // The folder, ending in a backslash as a staging folder does.
  std::string Folder() const { return dir_ + "\\"; }
  ChildSetting Setting() const { return ChildSettingFor(Folder()); }
  std::string Path(const std::string& leaf) const { return dir_ + "\\" + leaf; }
  void Put(const std::string& leaf, const std::string& bytes) const {
    WriteFileBytes(Path(leaf), bytes);
  }
  StringList Log() const {
    StringList lines;
    std::ifstream in(Path("log.txt"));
    std::string line;
    while (std::getline(in, line))
      lines.push_back(line);
    return lines;
  }

 private:
  std::string dir_;
};

}  // namespace kovra::win

#include "collectors/system/autoruns_win.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>

#include "base/text.h"
#include "collectors/system/autoruns.h"
#include "platform/path_frame_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_info_win.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/structured_fault_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

// A value as text: the string for the text kinds, the value text (dword:, hex:) for any other,
// so that a value of an odd kind is listed instead of hiding the whole block.
std::string ValueAsText(const TRegistry& registry, const std::string& name) {
  std::string text;
  return registry.ReadTextValue(name, text) ? text : registry.ReadValueText(name);
}

// The lines of a value that the splitting rules take apart: the rules' lines for a text value;
// a value of any other kind is one line, its value text, unsplit (the rules are for text: a
// binary Shell value would become one line per byte). Nothing for a missing or empty value.
template <typename Split>
void AppendValueLines(const TRegistry& registry, const std::string& name, Split split,
                      StringList& lines) {
  std::string text;
  if (registry.ReadTextValue(name, text)) {
    AppendList(lines, split(text));
    return;
  }
  text = registry.ReadValueText(name);
  if (!text.empty())
    lines.push_back(std::move(text));
}

// The default value of a key in the native view; empty when the key does not open.
std::string DefaultValueOf(TRegistry& registry, const std::string& path) {
  registry.CloseKey();
  if (!registry.OpenKeyReadOnly(path))
    return std::string();
  return ValueAsText(registry, "");
}

bool OpenForReading(TRegistry& registry, HKEY root, const std::string& path) {
  registry.SetRootKey(root);
  registry.CloseKey();
  return registry.OpenKeyReadOnly(path);
}

const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

}  // namespace

StringList ListBrowserHelperObjects() {
  StringList lines{"", "===== BHOs =====", ""};
  TRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!registry.OpenKeyReadOnly(
          "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\") ||
      !registry.HasSubKeys())
    return lines;
  StringList ids;
  registry.GetKeyNames(ids);
  registry.CloseKey();
  for (const std::string& id : ids) {
    const std::string key = "\\SOFTWARE\\Classes\\CLSID\\" + id;
    const std::string name = DefaultValueOf(registry, key);
    const std::string server = DefaultValueOf(registry, key + "\\InprocServer32");
    lines.push_back(BrowserHelperLine(name, server));
  }
  return lines;
}

std::string ResolveShortcut(const std::string& link) {
  // The shell's link object runs handlers of other programs: a fault inside it fails the
  // shortcut as a failed creation does, and nothing of the object is called again.
  ComPtr<IShellLinkW> shell_link;
  ComPtr<IPersistFile> file;
  wchar_t target[MAX_PATH + 1] = {}, arguments[MAX_PATH + 1] = {};
  void** created = shell_link.receive_void();
  void** persist = file.receive_void();
  const std::wstring wide_link = Widen(link);
  try {
    const HRESULT hr = CallForeign("creating the shell link object", [&] {
      return ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                created);
    });
    if (FAILED(hr))
      throw std::runtime_error("the shell link object cannot be created");
    IShellLinkW* shell = shell_link.get();
    if (SUCCEEDED(CallForeign("opening a shortcut", [&] {
          HRESULT opened = shell->QueryInterface(IID_IPersistFile, persist);
          return SUCCEEDED(opened) ? (*reinterpret_cast<IPersistFile**>(persist))
                                         ->Load(wide_link.c_str(), STGM_READ)
                                   : opened;
        }))) {
      CallForeign("reading a shortcut", [&] {
        shell->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY);
        shell->GetArguments(arguments, MAX_PATH);
      });
    }
  } catch (const StructuredFault&) {
    shell_link.abandon();
    file.abandon();
    throw;
  }
  std::string text(1, '"');
  text.append(Narrow(std::wstring_view(target, wcsnlen(target, MAX_PATH))));
  text.append("\" ");
  text.append(Narrow(std::wstring_view(arguments, wcsnlen(arguments, MAX_PATH))));
  return text;
}

void ListStartupFolder(const std::string& folder, StringList& lines) {
  WalkOptions options;
  options.skip_hidden_system = false;
  options.enter = [](const WIN32_FIND_DATAW& d) {
    return std::wstring_view(d.cFileName) != L".svn";
  };
  WalkFolder(Widen(ExcludeTrailingBackslash(folder)), options,
             [&lines](const std::wstring& path, const WIN32_FIND_DATAW& d) {
               const std::string name = Narrow(d.cFileName);
               if (SameTextAscii(name, "desktop.ini") || SameTextAscii(name, "Thumbs.db"))
                 return true;
               const std::string full = Narrow(path);
               lines.push_back(EndsWithTextAscii(name, ".lnk") ? ResolveShortcut(full) : full);
               return true;
             });
}

void ListRunValues(TRegistry& registry, HKEY root, const std::string& path, StringList& lines) {
  if (!OpenForReading(registry, root, path))
    return;
  StringList names;
  registry.GetValueNames(names);
  for (const std::string& name : names)
    lines.push_back(RunValueLine(name, ValueAsText(registry, name)));
  registry.CloseKey();
}

void ListRunOnceEx(TRegistry& registry, HKEY root, const std::string& path, StringList& lines) {
  if (!OpenForReading(registry, root, path))
    return;
  // The entries are the values of the numbered sub-keys (0001, 0002, ...); a sub-key's default
  // value is its title, not an entry.
  StringList entry_keys;
  registry.GetKeyNames(entry_keys);
  for (const std::string& entry_key : entry_keys) {
    if (!OpenForReading(registry, root, path + "\\" + entry_key))
      continue;
    StringList names;
    registry.GetValueNames(names);
    for (const std::string& name : names) {
      if (!name.empty())
        AppendValueLines(registry, name, RunOnceExLines, lines);
    }
  }
  registry.CloseKey();
}

void ListDelimitedValue(TRegistry& registry, HKEY root, const std::string& path,
                        const std::string& value, StringList& lines) {
  if (!OpenForReading(registry, root, path))
    return;
  AppendValueLines(registry, value, DelimitedValueLines, lines);
  registry.CloseKey();
}

void ListShellValue(const TAppFrame& frame, TRegistry& registry, HKEY root, const std::string& path,
                    const std::string& value, const std::string& program, StringList& lines) {
  if (!OpenForReading(registry, root, path))
    return;
  AppendValueLines(
      registry, value,
      [&](std::string_view text) {
        return ShellValueLines(text, program, frame.GetSystemPath(SystemFolder::kSystem),
                               frame.GetSystemPath(SystemFolder::kWindows));
      },
      lines);
  registry.CloseKey();
}

namespace {

// One step of the autoruns block: what it reads and how, in the order of the block.
struct AutorunStep {
  enum Kind { kRunValues, kRunOnceEx, kDelimited, kShell } kind;
  const char* section;
  HKEY root;
  const char* path;
  const char* value = nullptr;    // kDelimited, kShell
  const char* program = nullptr;  // kShell
  bool wow64_only = false;
};

const std::vector<AutorunStep>& AutorunSteps() {
  using S = AutorunStep;
  static const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
  static const char* const kRun = "---------- Run ----------";
  static const char* const kOnce = "---------- RunOnce ----------";
  static const char* const kOnceEx = "---------- RunOnceEx ----------";
  static const char* const kPolicies = "---------- policies Run ----------";
  static const char* const kNt = "---------- NT Run ----------";
  static const char* const kShell = "---------- Windows Shell ----------";
  static const char* const kNtWindows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  static const char* const kNtWindows32 =
      "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  static const char* const kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  static const char* const kWinlogon32 =
      "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  static const std::vector<AutorunStep> steps = {
      {S::kRunValues, kRun, cu, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {S::kRunValues, kRun, lm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {S::kRunValues, kRun, cu, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
       nullptr, nullptr, true},
      {S::kRunValues, kRun, lm, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
       nullptr, nullptr, true},
      {S::kRunValues, kOnce, cu, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {S::kRunValues, kOnce, lm, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {S::kRunValues, kOnce, cu,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, nullptr,
       true},
      {S::kRunValues, kOnce, lm,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, nullptr,
       true},
      {S::kRunOnceEx, kOnceEx, cu, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
      {S::kRunOnceEx, kOnceEx, lm, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
      {S::kRunOnceEx, kOnceEx, cu,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, nullptr,
       true},
      {S::kRunOnceEx, kOnceEx, lm,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, nullptr,
       true},
      {S::kRunValues, kPolicies, cu,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
      {S::kRunValues, kPolicies, lm,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run"},
      {S::kRunValues, kPolicies, cu,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
       nullptr, nullptr, true},
      {S::kRunValues, kPolicies, lm,
       "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
       nullptr, nullptr, true},
      {S::kDelimited, kNt, cu, kNtWindows, "Run"},
      {S::kDelimited, kNt, cu, kNtWindows, "Load"},
      {S::kDelimited, kNt, lm, kNtWindows, "Run"},
      {S::kDelimited, kNt, lm, kNtWindows, "Load"},
      {S::kDelimited, kNt, cu, kNtWindows32, "Run", nullptr, true},
      {S::kDelimited, kNt, cu, kNtWindows32, "Load", nullptr, true},
      {S::kDelimited, kNt, lm, kNtWindows32, "Run", nullptr, true},
      {S::kDelimited, kNt, lm, kNtWindows32, "Load", nullptr, true},
      {S::kShell, kShell, cu, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
       "Shell", "explorer.exe"},
      {S::kShell, kShell, lm, kWinlogon, "Shell", "explorer.exe"},
      {S::kShell, kShell, lm, kWinlogon, "Userinit", "userinit.exe"},
      {S::kShell, kShell, cu,
       "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "Shell",
       "explorer.exe", true},
      {S::kShell, kShell, lm, kWinlogon32, "Shell", "explorer.exe", true},
      {S::kShell, kShell, lm, kWinlogon32, "Userinit", "userinit.exe", true},
  };
  return steps;
}

}  // namespace

StringList ListAutoruns(const TAppFrame& frame) {
  ScopedComInit com;  // for the shell links
  AutorunsBlock block;
  TRegistry registry(KEY_READ);
  const bool wow64 = IsWow64();

  block.Section("---------- Startup ----------");
  StringList lines;
  const std::string user = frame.GetSystemPath(SystemFolder::kStartup);
  if (!user.empty())
    ListStartupFolder(user, lines);
  const std::string common = GetSpecialFolder(nullptr, CSIDL_COMMON_STARTUP);
  if (!common.empty())
    ListStartupFolder(common, lines);
  block.Add(lines);

  const char* section = nullptr;
  for (const AutorunStep& step : AutorunSteps()) {
    if (step.section != section) {
      section = step.section;
      block.Section(section);
    }
    if (step.wow64_only && !wow64)
      continue;
    lines.clear();
    switch (step.kind) {
      case AutorunStep::kRunValues:
        ListRunValues(registry, step.root, step.path, lines);
        break;
      case AutorunStep::kRunOnceEx:
        ListRunOnceEx(registry, step.root, step.path, lines);
        break;
      case AutorunStep::kDelimited:
        ListDelimitedValue(registry, step.root, step.path, step.value, lines);
        break;
      case AutorunStep::kShell:
        ListShellValue(frame, registry, step.root, step.path, step.value, step.program, lines);
        break;
    }
    block.Add(lines);
  }
  return block.Take();
}

}  // namespace kovra::win

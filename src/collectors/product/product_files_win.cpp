#include "collectors/product/product_files_win.h"

#include "base/parallel_for.h"
#include "base/text.h"
#include "collectors/product/product_files.h"
#include "collectors/product/product_names.h"
#include "collectors/common/file_facts_win.h"
#include "crypto/crypto_files_win.h"
#include "platform/path_frame_win.h"
#include "platform/buffer_win.h"
#include "platform/errors_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/planted_names_win.h"
#include "platform/handles_win.h"
#include "platform/local_time_win.h"
#include "platform/registry_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

// Files of the inventory read at once.
constexpr unsigned kInventoryReaders = 4;

bool UsableFolder(const std::string& folder) {
  return !folder.empty() && DirectoryExists(folder);
}

std::string IniText(const std::string& file, const wchar_t* section, const wchar_t* key) {
  const std::wstring path = Widen(file);
  // The call fills the buffer up to its size less one when the text does not fit.
  return Narrow(GrowWideBuffer([&](wchar_t* b, DWORD n) -> DWORD {
    const DWORD r = ::GetPrivateProfileStringW(section, key, L"", b, n, path.c_str());
    return r + 1 >= n ? n : r;
  }));
}

// The clues after the top edition's path values, in order; the first that names an existing
// folder wins. Empty when none does.
std::string LaterClues(const TAppFrame& frame, const GenerationDigits& digits) {
  const std::string service = FolderPart(QueryServiceBinaryPath(ProductServiceName(digits)));
  if (UsableFolder(service) && DirectoryExists(service + "Antivirus"))
    return service;
  try {
    const std::string settings =
        frame.CommonAppDataPath + "\\Kovra\\" + ProductNameV(digits) + "\\AntivirusConfig.ini";
    if (FileExists(settings)) {
      const std::string quarantine = IniText(settings, L"Antivirus", L"QuarantinePath");
      if (!quarantine.empty() && (DirectoryExists(quarantine) || FileExists(quarantine))) {
        const std::string before = FolderBeforeQuarantine(quarantine);
        if (!before.empty() && DirectoryExists(before + "Antivirus"))
          return before;
      }
    }
    const std::string by_name = JoinPath(frame.GetSystemPath(SystemFolder::kProgramFiles),
                                         "Kovra\\" + TopEditionFolderName(digits));
    if (DirectoryExists(by_name))
      return by_name;
  } catch (...) {
  }
  return std::string();
}

// Copies by reading: the source opened with every sharing allowed, so that a log its program
// holds open for writing is still copied, and never through a link (PlantedNameError): a link
// or a second name in a folder that other programs can write could lead to a file the report's
// readers may not read. The copy is made new and keeps the source's times. The system's error
// code, or ERROR_SUCCESS.
DWORD CopyShared(const std::string& source, const std::string& target) {
  UniqueHandle in =
      OpenPlainFileForReading(Widen(source), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              FILE_FLAG_SEQUENTIAL_SCAN);
  if (!in)
    return ::GetLastError();
  ::DeleteFileW(Widen(target).c_str());
  UniqueHandle out(::CreateFileW(Widen(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out)
    return ::GetLastError();
  std::vector<char> buffer(1 << 16);
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    DWORD got = 0, put = 0;
    if (!::ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      error = ::GetLastError();
      break;
    }
    if (got == 0)
      break;
    if (!::WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got) {
      error = ::GetLastError();
      if (error == ERROR_SUCCESS)
        error = ERROR_WRITE_FAULT;  // fewer bytes written without a reason
      break;
    }
  }
  FILETIME created{}, accessed{}, written{};
  if (error == ERROR_SUCCESS && ::GetFileTime(in.get(), &created, &accessed, &written))
    ::SetFileTime(out.get(), &created, &accessed, &written);
  out.reset();
  if (error != ERROR_SUCCESS) {
    ::DeleteFileW(Widen(target).c_str());
    return error;
  }
  // The attributes as a copy keeps them (a hidden log stays hidden, and so out of the archive).
  BY_HANDLE_FILE_INFORMATION info;
  constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_ARCHIVE;
  if (::GetFileInformationByHandle(in.get(), &info) && (info.dwFileAttributes & kKept) != 0)
    ::SetFileAttributesW(Widen(target).c_str(), info.dwFileAttributes & kKept);
  return error;
}

}  // namespace

std::string QueryServiceBinaryPath(const std::string& service_name) {
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager)
    return std::string();
  int32_t start = 0;
  std::string path;
  if (!QueryServiceStartAndPath(manager.get(), Widen(service_name), start, path))
    return std::string();
  return path;
}

DiscoveredProduct DiscoverProductFolder(const TAppFrame& frame) {
  DiscoveredProduct found;
  TRegistry key(KEY_READ);
  key.SetRootKey(HKEY_LOCAL_MACHINE);
  key.SetAutoView(false);  // the process's own view: the 32-bit keys on 64-bit Windows
  // A path value of another kind than text counts as absent, so one odd value never ends the
  // discovery.
  std::string text;
  if (key.OpenKeyReadOnly("SOFTWARE\\Kovra\\" + TopEditionName())) {
    if (key.ReadTextValue(TopEditionPathValue(found.digits), text)) {
      found.folder = FolderPart(text);
    } else if (key.ReadTextValue(PrevTopEditionPathValue(found.digits), text)) {
      found.folder = FolderPart(text);
      found.digits = GenerationDigits{"7", "6"};
    }
    key.CloseKey();
    if (!UsableFolder(found.folder))
      found.folder = LaterClues(frame, found.digits);
    return found;
  }
  if (key.OpenKeyReadOnly("SOFTWARE\\Kovra\\" + ProductRegKeyName(found.digits))) {
    if (key.ReadTextValue("apppath", text))
      found.folder = FolderPart(text);
    key.CloseKey();
  }
  if (!UsableFolder(found.folder) &&
      key.OpenKeyReadOnly("SOFTWARE\\Kovra\\" + PrevProductRegKeyName(found.digits))) {
    if (key.ReadTextValue("apppath", text)) {
      found.folder = FolderPart(text);
      found.digits = GenerationDigits{"7", "6"};
    }
    key.CloseKey();
  }
  // Without the top edition there is no folder to list, whatever the other editions name.
  found.folder.clear();
  return found;
}

bool GetFileDateTime(const std::string& path, FileTime which, SYSTEMTIME& local) {
  local = SYSTEMTIME{1899, 12, 6, 30, 0, 0, 0, 0};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
    return false;
  const FILETIME& chosen = which == FileTime::kCreated      ? data.ftCreationTime
                           : which == FileTime::kLastAccess ? data.ftLastAccessTime
                                                            : data.ftLastWriteTime;
  FILETIME local_time;
  SYSTEMTIME fields;
  if (!::FileTimeToLocalFileTime(&chosen, &local_time) ||
      !::FileTimeToSystemTime(&local_time, &fields))
    return false;
  local = fields;
  return true;
}

void CollectFiles(const std::string& folder, StringList& result, bool recurse,
                  const std::string& filter) {
  if (folder.empty())
    return;
  const std::vector<std::string> extensions = ExtensionFilter(filter);
  WalkOptions options;
  options.skip_hidden_system = false;
  options.max_depth = recurse ? 64 : 0;
  options.enter = [](const WIN32_FIND_DATAW& d) {
    return std::wstring_view(d.cFileName) != L".svn";
  };
  WalkFolder(Widen(ExcludeTrailingBackslash(folder)), options,
             [&](const std::wstring& path, const WIN32_FIND_DATAW& d) {
               if (PassesExtensionFilter(Narrow(d.cFileName), extensions))
                 result.push_back(Narrow(path));
               return true;
             });
}

void CollectProductFiles(const DiscoveredProduct& product, StringList& lines, RunLog& log) {
  try {
    if (!UsableFolder(product.folder))
      return;
    StringList files;
    CollectFiles(product.folder, files, true, "*.exe|*.dll|*.sys");
    if (files.empty())
      return;
    lines.push_back(StarRule());
    const std::string folder = IncludeTrailingBackslash(product.folder);
    // Reading a file costs more waiting than computing (each open and close is a request to
    // the file system), so several files are read at once; the lines keep the walk's order, and
    // a failure on one file ends the section there, as a failure in sequence would.
    struct Facts {
      const std::string& file;
      SYSTEMTIME changed;
      FileVersionAndDigest read;
    };
    MapInOrder<Facts>(
        files.size(), kInventoryReaders,
        [&files](size_t i) {
          Facts facts{files[i], {}, {}};
          // A time that cannot be read is the zero date, which the line prints.
          (void)GetFileDateTime(facts.file, FileTime::kLastWrite, facts.changed);
          facts.read = GetFileVersionAndDigest(facts.file);
          return facts;
        },
        [&](Facts&& facts) {
          lines.push_back(InventoryLine(RelativeTo(facts.file, folder), facts.read.version,
                                        facts.read.md5, DateTimeText(facts.changed)));
        });
  } catch (...) {
    // The lines so far stay.
    RecordCaught(log, "product folder inventory");
  }
}

void ListMatchingFiles(const std::string& mask, StringList& list) {
  WIN32_FIND_DATAW d;
  UniqueFindHandle find(::FindFirstFileW(Widen(mask).c_str(), &d));
  if (!find)
    return;
  const std::string folder = FolderPart(mask);
  do {
    if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      list.push_back(folder + Narrow(d.cFileName));
  } while (::FindNextFileW(find.get(), &d));
}

void CopyLiveFile(const std::string& source, const std::string& target) {
  const DWORD error = CopyShared(source, target);
  if (error != ERROR_SUCCESS)
    ThrowSystemError(error, "Cannot copy", source);
}

void CopyMacroFiles(const std::string& pattern, const TAppFrame& frame,
                    const DiscoveredProduct& product, const std::string& staging_folder,
                    RunLog& log) {
  // Relative names below the product folder are taken after its backslash.
  const MacroFolders folders{
      product.folder.empty() ? std::string() : IncludeTrailingBackslash(product.folder),
      frame.AppDataPath,
      frame.CommonAppDataPath,
      frame.GetSystemPath(SystemFolder::kProgramFiles),
      frame.GetSystemPath(SystemFolder::kWindows),
      ProductNameV(product.digits)};
  MacroExpansion e;
  if (!ExpandMacroPattern(pattern, folders, staging_folder, e))
    return;
  const std::string expanded = FullPathName(e.pattern);
  StringList files;
  if (expanded.find('*') != std::string::npos)
    ListMatchingFiles(expanded, files);
  else if (FileExists(expanded))
    files.push_back(expanded);
  for (const std::string& file : files) {
    try {
      const std::string target = FullPathName(e.target_prefix + RelativeTo(file, e.base));
      const std::string target_folder = FolderPart(target);
      if (!DirectoryExists(target_folder) && !ForceDirectories(target_folder))
        ThrowLastError("Cannot create the folder", target_folder);
      CopyLiveFile(file, target);
    } catch (...) {
      // This file is skipped; the others are still copied.
      RecordCaught(log, file);
    }
  }
}

void CollectProductLogs(const TAppFrame& frame, const DiscoveredProduct& product,
                        const std::string& staging_folder, RunLog& log) {
  try {
    ScopedWow64RedirectionOff native;
    CopyMacroFiles("%PulseSync%\\*.log", frame, product, staging_folder, log);
  } catch (...) {
    RecordCaught(log, "%PulseSync%\\*.log");
  }
}

}  // namespace kovra::win

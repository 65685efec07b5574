#include "collectors/product/updater_win.h"

#include "base/report_file_names.h"
#include "base/text.h"
#include "collectors/common/shell_exports_win.h"
#include "crypto/crypto_files_win.h"
#include "platform/errors_win.h"
#include "platform/files_win.h"
#include "platform/planted_names_win.h"
#include "platform/handles_win.h"
#include "platform/local_time_win.h"
#include "platform/registry_win.h"
#include "platform/session_user_win.h"

namespace kovra::win {

namespace {

// The files the collector writes into the temporary folder besides the registry exports.
constexpr const char* kDigestListFile = report_files::kDigests;
constexpr const char* kDisplayFactsFile = report_files::kInfoVersion;

// A text value read in the process's own view (the 32-bit one on 64-bit Windows); a value of
// another kind counts as absent.
std::string TextValue(HKEY root, const std::string& path, const std::string& name) {
  TRegistry key(KEY_READ);
  key.SetAutoView(false);
  key.SetRootKey(root);
  std::string text;
  return key.OpenKeyReadOnly(path) && key.ReadTextValue(name, text) ? text : std::string();
}

// A DWORD value of HKEY_USERS\<SID>\<path>: whether the key opened, and the value if any.
bool UserDword(const std::string& sid, const std::string& path, const std::string& name,
               std::optional<uint32_t>& value) {
  TRegistry key(KEY_READ);
  key.SetAutoView(false);
  key.SetRootKey(HKEY_USERS);
  if (sid.empty() || !key.OpenKeyReadOnly(sid + "\\" + path))
    return false;
  if (key.GetDataType(name) == RegDataKind::Integer)
    value = key.ReadDword(name);
  return true;
}

}  // namespace

TLPSWGetInfo::TLPSWGetInfo(const TAppFrame& frame, RunLog& log, std::string staging_folder)
    : frame_(frame), log_(log), staging_folder_(std::move(staging_folder)) {
  AddUserDataFiles();
  AddInstallFolder();
  ExportKeys(ProductExportJobs(), true);
  SaveDisplayFacts();
  AddShortcutPatterns();
  ExportKeys(SystemExportJobs(), false);
  // The nine exports ran side by side; one wait for all of them.
  WaitForRegExports(exports_running_, log_);
  archive_list_.push_back(JoinPath(frame_.GetSystemPath(SystemFolder::kProgramFilesCommon),
                                   "Kovra\\Nimbrel Fetch\\*.*"));
}

TLPSWGetInfo::~TLPSWGetInfo() {
  for (const std::string& file : product_exports_)
    DeleteFilePath(file);
}

void TLPSWGetInfo::AddUserDataFiles() {
  try {
    const std::string folder =
        JoinPath(frame_.GetSystemPath(SystemFolder::kAppData), "Kovra\\Nimbrel Fetch\\");
    if (DirectoryExists(folder))
      ListFilesRecursive(folder, archive_list_);
  } catch (...) {
    RecordCaught(log_, "updater's user data folder");
  }
}

void TLPSWGetInfo::AddInstallFolder() {
  std::string location;
  try {
    location = TextValue(
        HKEY_LOCAL_MACHINE,
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kovra Nimbrel Fetch_is1",
        "InstallLocation");
  } catch (...) {
    RecordCaught(log_, "updater's InstallLocation");
  }
  if (!location.empty()) {
    const std::string folder = InstallFolderFromLocation(location);
    if (DirectoryExists(folder)) {
      const std::string with_slash = IncludeTrailingBackslash(folder);
      AppendList(archive_list_, InstallFolderEntries(with_slash));
      archive_list_.push_back(SaveDigestList(with_slash));
    }
  }
  archive_list_.push_back(JoinPath(frame_.GetSystemPath(SystemFolder::kProgramFilesCommon),
                                   "Kovra\\Nimbrel Fetch\\*.*"));
  archive_list_.push_back(
      JoinPath(frame_.GetSystemPath(SystemFolder::kSystem), "drivers\\etc\\hosts"));
}

std::string TLPSWGetInfo::SaveDigestList(const std::string& folder) {
  try {
    StringList files;
    SearchFiles(folder, files);
    StringList lines;
    for (const std::string& file : files) {
      if (FileExists(file))
        lines.push_back(DigestLine(file, GetFileMD5(file)));
    }
    const std::string path = JoinPath(frame_.GetSystemPath(SystemFolder::kTemp), kDigestListFile);
    ClearNameForWriting(path, log_);
    SaveListAnsi(lines, path);
    return path;
  } catch (...) {
    RecordCaught(log_, kDigestListFile);
    return std::string();
  }
}

void TLPSWGetInfo::ExportKeys(std::span<const RegistryExportJob> jobs, bool product) {
  try {
    for (const RegistryExportJob& job : jobs) {
      const std::string path = JoinPath(frame_.GetSystemPath(SystemFolder::kTemp), job.file);
      ClearNameForWriting(path, log_);
      // A key in neither view gives no file: neither an export (three programs) nor an entry.
      if (!RegExportKeyMayExist(job.key))
        continue;
      if (StartRegExport(job.key, path, staging_folder_, exports_running_, log_)) {
        archive_list_.push_back(path);
        if (product)
          product_exports_.push_back(path);
      }
    }
  } catch (...) {
    RecordCaught(log_, "registry exports");
  }
}

void TLPSWGetInfo::SaveDisplayFacts() {
  std::string entry;
  try {
    const std::string path = JoinPath(frame_.GetSystemPath(SystemFolder::kTemp), kDisplayFactsFile);
    ClearNameForWriting(path, log_);
    DisplayFacts facts;
    facts.date = TodayShortDateText();
    facts.screen_width = ::GetSystemMetrics(SM_CXSCREEN);
    facts.screen_height = ::GetSystemMetrics(SM_CYSCREEN);
    {
      ScopedGetDC screen(nullptr);
      if (screen.get() != nullptr)
        facts.dpi_api = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    }
    try {
      const std::string sid = GetSessionUserSid();
      facts.desktop_key = UserDword(sid, "Control Panel\\Desktop", "LogPixels", facts.log_pixels);
      if (facts.desktop_key)
        facts.metrics_key = UserDword(sid, "Control Panel\\Desktop\\WindowMetrics", "AppliedDPI",
                                      facts.applied_dpi);
    } catch (...) {
      // The lines so far are saved.
      RecordCaught(log_, "display settings of the session user");
    }
    SaveListAnsi(InfoVersionLines(facts), path);
    entry = path;
  } catch (...) {
    RecordCaught(log_, kDisplayFactsFile);
  }
  archive_list_.push_back(entry);
}

void TLPSWGetInfo::AddShortcutPatterns() {
  try {
    const std::pair<std::string, const char*> patterns[] = {
        {frame_.GetSystemPath(SystemFolder::kStartMenu), "*.*"},
        {frame_.GetSystemPath(SystemFolder::kCommonAppData), "Microsoft\\Windows\\Start Menu\\*.*"},
        {frame_.GetSystemPath(SystemFolder::kDesktopDirectory), "*.lnk"},
        {frame_.GetCommonPath(1), "*.lnk"},
    };
    for (const auto& [folder, pattern] : patterns) {
      if (!folder.empty() && DirectoryExists(folder))
        archive_list_.push_back(IncludeTrailingBackslash(folder) + pattern);
    }
  } catch (...) {
    RecordCaught(log_, "shortcut folders");
  }
}

std::unique_ptr<TLPSWGetInfo> CreateUpdaterCollector(const TAppFrame& frame, RunLog& log,
                                                     const std::string& staging_folder) {
  return std::make_unique<TLPSWGetInfo>(frame, log, staging_folder);
}

void DiscardUpdaterFiles(const std::string& temp_folder) {
  StringList names{kDigestListFile, kDisplayFactsFile};
  for (const std::span<const RegistryExportJob> jobs : {ProductExportJobs(), SystemExportJobs()}) {
    for (const RegistryExportJob& job : jobs)
      names.emplace_back(job.file);
  }
  for (const std::string& name : names)
    DeleteFilePath(JoinPath(temp_folder, name));
}

}  // namespace kovra::win

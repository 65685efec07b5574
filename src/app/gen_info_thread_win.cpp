#include "app/gen_info_thread_win.h"

#include <stdexcept>

#include "app/pack_report_win.h"
#include "app/report_path.h"
#include "collectors/product/product_files_win.h"
#include "collectors/product/product_summary_win.h"
#include "collectors/product/uninstall_export_win.h"
#include "collectors/product/updater_win.h"
#include "collectors/system/autoruns_win.h"
#include "collectors/system/os_summary_win.h"
#include "collectors/system/process_table_win.h"
#include "collectors/system/security_state_win.h"
#include "collectors/system/services_win.h"
#include "collectors/system/store_apps_win.h"
#include "platform/console_capture_win.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

std::wstring FormatLocal(const SYSTEMTIME& st, bool date) {
  wchar_t buffer[256] = {};
  const int n =
      date ? ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 256)
           : ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 256);
  if (n <= 0)
    throw std::runtime_error("The date cannot be formatted");
  return buffer;
}

}  // namespace

std::string LocalDateTimeText() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  const bool midnight =
      st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && st.wMilliseconds == 0;
  return JoinDateAndTime(Narrow(FormatLocal(st, true)),
                         midnight ? std::string() : Narrow(FormatLocal(st, false)), midnight);
}

std::string TodayYmd() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FormatDateYmd(st.wYear, st.wMonth, st.wDay);
}

TGenInfoThread::TGenInfoThread(HWND window, std::string report_path)
    : window_(window), report_path_(std::move(report_path)) {}

TGenInfoThread::~TGenInfoThread() = default;

bool TGenInfoThread::Start(HWND window, const std::string& report_path) {
  auto* self = new TGenInfoThread(window, report_path);
  UniqueHandle thread(::CreateThread(nullptr, 0, &ThreadMain, self, 0, nullptr));
  if (!thread) {
    delete self;
    return false;
  }
  return true;  // the thread runs on its own; its handle is not needed
}

DWORD WINAPI TGenInfoThread::ThreadMain(void* param) {
  auto* self = static_cast<TGenInfoThread*>(param);
  ExecuteCollection(*self, self->report_path_);
  // Not reached in a normal run: the window ends the process while handling the done message.
  delete self;
  return 0;
}

void TGenInfoThread::SendStart(int steps) {
  ::SendMessageW(window_, kProgressMessage, kProgressStart, steps);
}
void TGenInfoThread::PostStep(int step) {
  ::PostMessageW(window_, kProgressMessage, kProgressStep, step);
}
void TGenInfoThread::SendDone() {
  ::SendMessageW(window_, kProgressMessage, kProgressDone, 0);
}
void TGenInfoThread::InitWow64Redirection() {
  win::InitWow64Redirection();
}
std::string TGenInfoThread::TempFolder() {
  return win::TempFolder();
}
std::string TGenInfoThread::ExeFolder() {
  return win::ExeFolder();
}
bool TGenInfoThread::DirectoryExists(const std::string& p) {
  return win::DirectoryExists(p);
}
bool TGenInfoThread::FileExists(const std::string& p) {
  return win::FileExists(p);
}
void TGenInfoThread::ForceDirectories(const std::string& p) {
  win::ForceDirectories(p);
}
bool TGenInfoThread::RemoveFolder(const std::string& p) {
  return ShellRemoveFolder(p);
}
void TGenInfoThread::DeleteFile(const std::string& p) {
  DeleteFilePath(p);
}
void TGenInfoThread::SaveList(const StringList& list, const std::string& path) {
  WriteFileBytes(path, EncodeListUtf16Le(list));
}
std::string TGenInfoThread::FileVersionText() {
  return GetFileVersionText(ExePath(), 3, "Unknown");
}
std::string TGenInfoThread::DateTimeText() {
  return LocalDateTimeText();
}
StringList TGenInfoThread::CollectOSSummary() {
  return win::CollectOSSummary();
}
StringList TGenInfoThread::CollectProductSummary() {
  return win::CollectProductSummary();
}
std::string TGenInfoThread::CollectProcessTable() {
  return win::CollectProcessTable();
}
void TGenInfoThread::ListServicesAndDrivers(StringList& out) {
  win::ListServicesAndDrivers(out);
}
StringList TGenInfoThread::ListBrowserHelperObjects() {
  return win::ListBrowserHelperObjects();
}
StringList TGenInfoThread::ListAutoruns() {
  return win::ListAutoruns();
}
void TGenInfoThread::ListSecurityState(StringList& out) {
  win::ListSecurityState(out);
}
void TGenInfoThread::DiscoverProductFolder() {
  win::DiscoverProductFolder();
}
void TGenInfoThread::ListProductFiles(StringList& out) {
  win::ListProductFiles(out);
}
void TGenInfoThread::ExportUninstallKeys(StringList& out) {
  win::ExportUninstallKeys(out);
}
void TGenInfoThread::ExportServicesTree(StringList& out) {
  win::ExportServicesTree(out);
}
void TGenInfoThread::CollectProductLogs(const std::string& s) {
  win::CollectProductLogs(s);
}
StringList TGenInfoThread::CaptureSystemInfo() {
  return win::CaptureSystemInfo();
}
void TGenInfoThread::SaveScheduledTasks(const std::string& p) {
  win::SaveScheduledTasks(p);
}

ArchiveListOwner* TGenInfoThread::CreateUpdaterCollector() {
  updater_ = win::CreateUpdaterCollector();
  return updater_.get();
}

void TGenInfoThread::ReleaseUpdaterCollector() {
  updater_.reset();
}

StoreAppLog* TGenInfoThread::CreateStoreAppCollector() {
  metro_ = std::make_unique<TGetMetroInfo>();
  return metro_.get();
}

void TGenInfoThread::PackReport(const StringList* archive_list, const std::string& staging,
                                const std::string& report_path) {
  win::PackReport(archive_list, staging, report_path);
}

}  // namespace kovra::win

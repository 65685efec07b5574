// The names of the text files a report holds, as the collection writes them and as every
// command of the report reader looks for them: one list for both sides.
#pragma once

namespace kovra::report_files {

inline constexpr char kMainInfo[] = "Kovra_Debug_Info.txt";  // the main info file
inline constexpr char kErrorLog[] = "GetInfoLog.txt";        // the error log
inline constexpr char kRunLog[] = "GetInfoRun.txt";          // the run log
inline constexpr char kUninstall[] = "uninstall.txt";        // uninstall entries, product keys
inline constexpr char kServices[] = "services.txt";          // the services key
inline constexpr char kTasks[] = "task.txt";                 // the scheduled tasks
inline constexpr char kDigests[] = "NFMD5.txt";              // the updater's file digests
inline constexpr char kInfoVersion[] = "InfoVersion.txt";    // the updater's version, display
inline constexpr char kStoreAppLog[] = "metrologinfo.txt";   // the store-app step log
inline constexpr char kSystemInfo[] = "SystemInfo.txt";      // the systeminfo output

}  // namespace kovra::report_files

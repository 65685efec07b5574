#include "collectors/system/os_summary.h"

#include <iterator>

#include "base/text.h"

namespace kovra {

std::string MegabytesText(uint64_t bytes) {
  return StrPrintf("%lld", static_cast<long long>(bytes / 1024 / 1024));
}

std::string GigabytesText(int64_t bytes) {
  const int64_t megabytes = bytes / 1024 / 1024;
  return StrPrintf("%.2f", static_cast<double>(megabytes) / 1024.0);
}

StringList RenderOsSummary(const OsSummaryFacts& f) {
  StringList lines;
  lines.push_back(StarRule());
  lines.push_back("OS Name:\t" + f.display_name);
  lines.push_back(StrPrintf("OS Version:\t%u.%u.%u", f.major, f.minor, f.build));
  lines.push_back("SP Version:\t" + f.service_pack);
  lines.push_back("system lan:\t" + f.system_language);
  if (f.has_computer_name)
    lines.push_back("ComputerName:\t" + f.computer_name);
  lines.push_back(std::string("OS Type:\t") + (f.wow64 ? "64bit" : "32bit"));
  static const char* const kMemoryLabels[7] = {
      "Memory Size:",   "Free Size:", "VMemory Size:", "VFree Size:",
      "VFreeExt Size:", "PF Size:",   "PF Free:"};
  for (int i = 0; i < 7; ++i)
    lines.push_back(std::string(kMemoryLabels[i]) + "\t" + MegabytesText(f.memory[i]) + " MB");
  if (!f.system_drive.empty()) {
    lines.push_back("System Drive:\t" + f.system_drive);
    if (f.has_disk) {
      lines.push_back("Total Space:\t" + GigabytesText(f.disk_total) + " GB");
      lines.push_back("Free Space:\t" + GigabytesText(f.disk_free_to_caller) + " GB");
    }
  }
  lines.push_back("Cur Users:\t" + f.session_user + "[" + f.process_user + "]");
  lines.push_back(StrPrintf("User Level:\t%04X", f.integrity_rid));
  lines.push_back("");
  return lines;
}

const char* OsNameOfRow(int row) {
  static const char* const kNames[22] = {
      "None",          "Windows 95",    "Windows 95 OSR-2", "Windows 98",
      "Windows 98 SE", "Windows ME",    "Windows 9x New",   "Windows NT 3",
      "Windows NT 4",  "Windows 2000",  "Windows XP",       "Windows 2003",
      "Windows Vista", "Windows 2008",  "Windows 7",        "Windows 2008 R2",
      "Windows 8",     "Windows 2012",  "Windows 8.1",      "Windows 2012 R2",
      "Windows 10",    "Windows NT New"};
  return row >= 0 && row < static_cast<int>(std::size(kNames)) ? kNames[row] : kNames[0];
}

int OsNameRow(const OsNameFacts& f) {
  if (f.platform == 1) {
    const unsigned build = f.build & 0xFFFF;
    if (f.major < 4)
      return 0;
    if (f.major > 4 || f.minor > 90)
      return 6;
    if (f.minor < 10)
      return build <= 1000 ? 1 : 2;
    if (f.minor == 10)
      return build <= 2000 ? 3 : build <= 2700 ? 4 : 5;
    return 5;
  }
  if (f.platform != 2)
    return 0;
  const bool workstation = f.product_type == 1;
  switch (f.major) {
    case 0:
    case 1:
    case 2:
    case 3:
      return 7;
    case 4:
      return 8;
    case 5:
      if (f.minor == 0)
        return 9;
      if (f.minor == 1)
        return 10;
      return workstation ? 10 : 11;
    case 6: {
      // Minor versions 0 to 3: the workstation row, then the server row.
      static constexpr int kRows[4][2] = {{12, 13}, {14, 15}, {16, 17}, {18, 19}};
      if (f.minor > 3)
        return 21;
      return kRows[f.minor][workstation ? 0 : 1];
    }
    case 10:
      return 20;
    default:
      return 21;
  }
}

std::string OsDisplayName(const OsNameFacts& f) {
  const int row = OsNameRow(f);
  std::string name = OsNameOfRow(row);
  if (f.platform == 2) {
    if (f.server_r2)
      name += " R2";
    if (f.tablet_pc)
      name += " Tablet PC";
    if (f.starter)
      name += " Starter";
    if (row < 12 && f.media_center)
      name += " Media Center";
    if (f.x64)
      name += " x64";
    if (!f.service_pack.empty())
      name += " " + f.service_pack;
  }
  return name;
}

}  // namespace kovra

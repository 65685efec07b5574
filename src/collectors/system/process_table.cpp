#include "collectors/system/process_table.h"

#include <algorithm>

#include "base/text.h"

namespace kovra {

std::string PriorityName(int32_t priority_class) {
  struct Row {
    int32_t value;
    const char* name;
  };
  static constexpr Row kNames[] = {
      {0, ""},       {-1, ""},          {32, "normal"},          {64, "idle"},
      {128, "high"}, {256, "realtime"}, {16384, "below normal"}, {32768, "above normal"},
  };
  for (const Row& r : kNames) {
    if (r.value == priority_class)
      return r.name;
  }
  return StrPrintf("$%x", static_cast<uint32_t>(priority_class));
}

std::string FormatDuration(uint32_t ms, std::string_view separator) {
  if (ms < 1000)
    return StrPrintf("%u ms", ms);
  if (ms < 60000)
    return StrPrintf("%u", ms / 1000) + std::string(separator) +
           StrPrintf("%02u s", (ms % 1000) / 10);
  if (ms < 3600000)
    return StrPrintf("%u:%02u min", ms / 60000, (ms / 1000) % 60);
  return StrPrintf("%u:%02u h", ms / 3600000, (ms / 60000) % 60);
}

std::string FormatByteSize(uint64_t n, std::string_view separator) {
  if (n < 1024)
    return StrPrintf("%llu Bytes", static_cast<unsigned long long>(n));
  uint64_t hundredths;
  const char* unit;
  if (n < 1048576) {
    hundredths = n * 100 / 1024;
    unit = " KB";
  } else if (n < 1073741824) {
    hundredths = (n / 1024) * 100 / 1024;
    unit = " MB";
  } else {
    hundredths = ((n / 1024) / 1024) * 100 / 1024;
    unit = " GB";
  }
  std::string digits = StrPrintf("%llu", static_cast<unsigned long long>(hundredths));
  digits.insert(digits.size() - 2, separator);
  return digits + unit;
}

namespace {

std::string MiddleText(const ProcessRow& r, std::string_view separator) {
  return PadRightText(std::to_string(r.handles), 3) + "," +
         PadLeftText(std::to_string(r.threads), 2) + "| " +
         PadLeftText(std::to_string(r.working_set_mb), 2) + "M," +
         PadLeftText(std::to_string(r.private_mb), 2) + "M| " + PriorityName(r.priority_class) +
         "," + FormatDuration(r.age_ms, separator);
}

}  // namespace

std::string LayoutProcessRows(const std::vector<ProcessRow>& rows, std::string_view separator) {
  size_t pid_width = 0, name_width = 0, session_width = 0, gdi_width = 0, user_width = 0,
         middle_width = 0;
  std::vector<std::string> middles;
  for (const ProcessRow& r : rows) {
    pid_width = std::max(pid_width, StrPrintf("%x", r.process_id).size());
    name_width = std::max(name_width, TextLength(r.name));
    if (r.session_id != 0)
      session_width = std::max(session_width, std::to_string(r.session_id).size());
    gdi_width = std::max(gdi_width, std::to_string(r.gdi_objects).size());
    user_width = std::max(user_width, std::to_string(r.user_objects).size());
    middles.push_back(MiddleText(r, separator));
    middle_width = std::max(middle_width, TextLength(middles.back()));
  }
  std::string text;
  for (size_t i = 0; i < rows.size(); ++i) {
    const ProcessRow& r = rows[i];
    if (i)
      text += "\r\n";
    text += StrPrintf("%0*x", static_cast<int>(pid_width), r.process_id) + " ";
    text += PadRightText(r.name, name_width + 1);
    if (session_width > 0)
      text += PadRightText(std::to_string(r.session_id), session_width + 1);
    if (gdi_width > 0 || user_width > 0) {
      text += PadRightText(std::to_string(r.gdi_objects), gdi_width + 1);
      text += PadRightText(std::to_string(r.user_objects), user_width + 1);
    }
    text += PadRightText(middles[i], middle_width + 1);
    text += r.folder;
  }
  return text;
}

std::string ProcessTableText(const std::vector<ProcessRow>& rows, std::string_view separator,
                             const std::string& virtual_memory, const std::string& atoms,
                             const std::string& desktop_heap) {
  return LayoutProcessRows(rows, separator) + "\r\n\r\nVirtual memory:" + virtual_memory +
         "\r\nGlobalAtomInfo:" + atoms + "\r\nDesktopHeap:" + desktop_heap + "\r\n";
}

std::string RewriteImagePath(const std::string& path, const std::string& system_directory) {
  if (StartsWithTextAscii(path, "\\SystemRoot\\System32\\"))
    return system_directory + path.substr(20);
  if (path.compare(0, 4, "\\??\\") == 0)
    return path.substr(4);
  return path;
}

void SplitImagePath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos) {
    folder.clear();
    name = path;
    return;
  }
  folder = path.substr(0, slash);
  name = path.substr(slash + 1);
}

std::string DevicePathToDrivePath(const std::string& path,
                                  const std::vector<std::pair<std::string, std::string>>& drives) {
  for (const auto& [drive, device] : drives) {
    if (!device.empty() && path.find(device) != std::string::npos)
      return drive + path.substr(std::min(device.size(), path.size()));
  }
  return std::string();
}

uint32_t AgeFromFileTimeDifference(uint64_t ticks) {
  // The difference read as a date and time from 1601-01-01, as FileTimeToSystemTime would.
  const uint64_t total_ms = ticks / 10000;
  const uint64_t days = total_ms / 86400000;
  const uint32_t ms_of_day = static_cast<uint32_t>(total_ms % 86400000);
  // Civil date of day `days` after 1601-01-01 (proleptic Gregorian): only the day of the month
  // is needed.
  const int64_t z = static_cast<int64_t>(days) + 584694;  // days since 0000-03-01
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const uint32_t day = static_cast<uint32_t>(doy - (153 * mp + 2) / 5 + 1);
  return (day - 1) * 86400000u + ms_of_day;
}

void AtomGroups::Add(const std::string& name) {
  const std::string key = FirstChars(name, 6);
  for (Group& g : groups_) {
    if (g.key == key) {
      ++g.count;
      return;
    }
  }
  groups_.push_back({name, key, 1});
}

std::string AtomGroups::LargestText() const {
  std::string text;
  size_t first = groups_.size();
  for (size_t i = 0; i < groups_.size(); ++i) {
    if (first == groups_.size() || groups_[i].count > groups_[first].count)
      first = i;
  }
  if (first == groups_.size())
    return text;
  text += StrPrintf(", Max(%u):%s", groups_[first].count, groups_[first].name.c_str());
  size_t second = groups_.size();
  for (size_t i = 0; i < groups_.size(); ++i) {
    if (i != first && (second == groups_.size() || groups_[i].count > groups_[second].count))
      second = i;
  }
  if (second != groups_.size())
    text += StrPrintf(", Max(%u):%s", groups_[second].count, groups_[second].name.c_str());
  return text;
}

std::string VirtualMemoryText(uint64_t avail_virtual, uint64_t total_virtual, uint64_t avail_page,
                              uint64_t total_page, uint64_t drive_free, uint64_t drive_total,
                              std::string_view separator) {
  auto mb = [](uint64_t b) { return static_cast<unsigned long long>((b + 524288) / 1048576); };
  return StrPrintf("%llu/%llu MB(free/total), PageSize:%llu/%llu MB(free/total), SysDrv:",
                   mb(avail_virtual), mb(total_virtual), mb(avail_page), mb(total_page)) +
         FormatByteSize(drive_free, separator) + "/" + FormatByteSize(drive_total, separator);
}

}  // namespace kovra

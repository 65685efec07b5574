// The process table section: its rows as gathered, the two-pass column layout, and the number,
// path and atom rules of its summary lines. Portable; the gathering is in process_table_win.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovra {

struct ProcessRow {
  std::string name, folder;
  uint32_t process_id = 0, session_id = 0;
  int32_t priority_class = -1;
  int32_t gdi_objects = 0, user_objects = 0;
  uint32_t handles = 0, threads = 0;
  uint32_t working_set_mb = 0, private_mb = 0;
  uint32_t age_ms = 0;
};

// "normal", "idle", ... through a table; 0 and -1 give empty text, unknown values "$" + hex.
std::string PriorityName(int32_t priority_class);
// 999 ms, 1.50 s, 2:05 min, 2:05 h; `separator` is the locale's decimal separator.
std::string FormatDuration(uint32_t ms, std::string_view separator);
// 512 Bytes, 1.50 KB, 465.76 GB.
std::string FormatByteSize(uint64_t bytes, std::string_view separator);

// The rows in the column layout, joined with CR LF (no final CR LF).
std::string LayoutProcessRows(const std::vector<ProcessRow>& rows, std::string_view separator);

// The whole section text: rows, an empty line and the three summary lines.
std::string ProcessTableText(const std::vector<ProcessRow>& rows, std::string_view separator,
                             const std::string& virtual_memory, const std::string& atoms,
                             const std::string& desktop_heap);

// An image path as shown: "\SystemRoot\System32\" (any case) becomes the system directory,
// a leading "\??\" goes.
std::string RewriteImagePath(const std::string& path, const std::string& system_directory);
// Splits at the last backslash into folder (no trailing backslash) and name.
void SplitImagePath(const std::string& path, std::string& folder, std::string& name);
// A device path as a drive path, from (drive "C:", device "\Device\HarddiskVolume1") pairs in
// listed order; empty when no device name occurs in the path.
std::string DevicePathToDrivePath(const std::string& path,
                                  const std::vector<std::pair<std::string, std::string>>& drives);
// The age of a process from the difference of two file times (100 ns ticks), as the day, hour,
// minute, second and millisecond fields of that difference read as a date from 1601 give it.
uint32_t AgeFromFileTimeDifference(uint64_t ticks);

// Atom names filed into groups by their first six characters (case kept).
class AtomGroups {
 public:
  void Add(const std::string& name);
  // ", Max(n):name" for the largest group and then the next largest (first seen wins ties).
  std::string LargestText() const;

 private:
  struct Group {
    std::string name, key;
    uint32_t count;
  };
  std::vector<Group> groups_;
};

// The virtual-memory line: figures in MiB rounded to the nearest, the drive sizes as byte sizes.
std::string VirtualMemoryText(uint64_t avail_virtual, uint64_t total_virtual, uint64_t avail_page,
                              uint64_t total_page, uint64_t drive_free, uint64_t drive_total,
                              std::string_view separator);

}  // namespace kovra

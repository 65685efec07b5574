// The operating-system block of the main info file: its facts as gathered, its lines, and the
// display-name table. Portable; the gathering is in os_summary_win.
#pragma once

#include <cstdint>
#include <string>

#include "base/string_list.h"

namespace kovra {

struct OsSummaryFacts {
  std::string display_name;
  unsigned major = 0, minor = 0, build = 0;
  std::string service_pack;
  std::string system_language;
  bool has_computer_name = false;
  std::string computer_name;
  bool wow64 = false;
  // GlobalMemoryStatusEx in its order: physical total and available, virtual total and
  // available, extended virtual available, page file total and available.
  uint64_t memory[7] = {};
  std::string system_drive;  // "C:"; empty when the system directory is unknown
  bool has_disk = false;
  int64_t disk_total = 0, disk_free_to_caller = 0;
  std::string session_user, process_user;
  uint32_t integrity_rid = 0;
};

// Bytes as whole megabytes (two unsigned divisions by 1024).
std::string MegabytesText(uint64_t bytes);
// Bytes reduced to whole megabytes (signed divisions), then gigabytes with two decimals.
std::string GigabytesText(int64_t bytes);

// The block: the star rule, up to 18 fact lines, an empty line.
StringList RenderOsSummary(const OsSummaryFacts& facts);

// What the display name is built from.
struct OsNameFacts {
  unsigned platform = 2;  // 1 the 9x family, 2 NT
  unsigned major = 0, minor = 0, build = 0;
  unsigned product_type = 1;  // 1 workstation
  bool server_r2 = false, tablet_pc = false, starter = false, media_center = false, x64 = false;
  std::string service_pack;
};

// The row of the 22-row name table, and its name.
int OsNameRow(const OsNameFacts& facts);
const char* OsNameOfRow(int row);
// The row's name with the NT family's suffixes and the service pack.
std::string OsDisplayName(const OsNameFacts& facts);

}  // namespace kovra

#include "tables/system.h"

#include <map>

#include "tables/field_text.h"

namespace kovra {

bool SystemBlock::Line(const std::string& line) {
  using Field = FieldOf<TableId::kSystem>;
  static const std::map<std::string, Field> kLabels = {
      {"Version:", kSystem["tool_version"]},
      {"Date:", kSystem["date"]},
      {"OS Name:\t", kSystem["os_name"]},
      {"OS Version:\t", kSystem["os_version"]},
      {"SP Version:\t", kSystem["service_pack"]},
      {"system lan:\t", kSystem["language"]},
      {"ComputerName:\t", kSystem["computer"]},
      {"OS Type:\t", kSystem["os_type"]},
      {"Memory Size:\t", kSystem["memory_mb"]},
      {"Free Size:\t", kSystem["memory_free_mb"]},
      {"VMemory Size:\t", kSystem["virtual_mb"]},
      {"VFree Size:\t", kSystem["virtual_free_mb"]},
      {"VFreeExt Size:\t", kSystem["virtual_free_ext_mb"]},
      {"PF Size:\t", kSystem["page_file_mb"]},
      {"PF Free:\t", kSystem["page_file_free_mb"]},
      {"System Drive:\t", kSystem["system_drive"]},
      {"Total Space:\t", kSystem["disk_total_gb"]},
      {"Free Space:\t", kSystem["disk_free_gb"]},
      {"User Level:\t", kSystem["user_level"]},
  };
  const size_t colon = line.find(':');
  if (colon == std::string::npos)
    return false;
  const size_t label_end = colon + (line.compare(colon + 1, 1, "\t") == 0 ? 2 : 1);
  const std::string label = line.substr(0, label_end), value = line.substr(label_end);
  if (!record_) {
    record_ = std::make_unique<RecordOf<TableId::kSystem>>(sink_.New<TableId::kSystem>());
    record_->line() = 1;
  }
  RecordOf<TableId::kSystem>& r = *record_;
  if (label == "Cur Users:\t") {
    // session user + "[" + process user + "]"
    const size_t open = value.rfind('[');
    if (open == std::string::npos || !EndsWith(value, "]"))
      return false;
    r.Set(kSystem["session_user"], value.substr(0, open));
    r.Set(kSystem["process_user"], value.substr(open + 1, value.size() - open - 2));
    return true;
  }
  const auto it = kLabels.find(label);
  if (it == kLabels.end())
    return false;
  std::string v = value;
  if (kSystem.fields[it->second.index].type == F::kNumber) {
    for (const char* unit : {" MB", " GB"}) {
      if (EndsWith(v, unit))
        v.resize(v.size() - 3);
    }
    v = NumberField(v);
    if (v.empty())
      return false;
  }
  r.Set(it->second, v);
  return true;
}

void SystemBlock::Flush() {
  if (record_)
    sink_.Emit(*record_);
  record_.reset();
}

}  // namespace kovra

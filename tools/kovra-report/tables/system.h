// The table "system": the machine facts at the head of the main info file, one record.
#pragma once

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kSystem = MakeSchema<TableId::kSystem>({
    {"tool_version", F::kText, "Version: of the tool that wrote the report"},
    {"date", F::kDateTime, "Date: of the report"},
    {"os_name", F::kText, "OS Name"},
    {"os_version", F::kText, "OS Version (major.minor.build)"},
    {"service_pack", F::kText, "SP Version"},
    {"language", F::kText, "system lan"},
    {"computer", F::kText, "ComputerName"},
    {"os_type", F::kText, "OS Type: 32bit or 64bit (WOW64)"},
    {"memory_mb", F::kNumber, "Memory Size"},
    {"memory_free_mb", F::kNumber, "Free Size"},
    {"virtual_mb", F::kNumber, "VMemory Size"},
    {"virtual_free_mb", F::kNumber, "VFree Size"},
    {"virtual_free_ext_mb", F::kNumber, "VFreeExt Size"},
    {"page_file_mb", F::kNumber, "PF Size"},
    {"page_file_free_mb", F::kNumber, "PF Free"},
    {"system_drive", F::kText, "System Drive"},
    {"disk_total_gb", F::kNumber, "Total Space"},
    {"disk_free_gb", F::kNumber, "Free Space"},
    {"session_user", F::kText, "Cur Users: the interactive session's user"},
    {"process_user", F::kText, "Cur Users: the account that ran the tool (in brackets)"},
    {"user_level", F::kText, "User Level: integrity level of the desktop shell, hex"},
});
inline constexpr TableDefinition kSystemTable{TableId::kSystem, "system", "System",
                                              SourceFile::kMainInfo, kSystem.fields};

// The system block's parser. Its one record spans the header lines; Flush() emits it (the main
// info parser calls it when another block begins and at the end of the file).
class SystemBlock : public BlockParser {
 public:
  explicit SystemBlock(RecordSink& sink) : sink_(sink) {}
  [[nodiscard]] bool Line(const std::string& line) override;
  void Flush();
  [[nodiscard]] bool open() const { return record_ != nullptr; }

 private:
  RecordSink& sink_;
  std::unique_ptr<RecordOf<TableId::kSystem>> record_;
};

}  // namespace kovra

// The table "tasks": task.txt, the verbose list output of the task queries ("Label:   value"
// lines, one block per task, a "Folder:" line before the tasks of a folder).
#pragma once

#include "tables/table.h"

namespace kovra {

inline constexpr auto kTasks = MakeSchema<TableId::kTasks>({
    {"folder", F::kText, "Folder"},
    {"host", F::kText, "HostName"},
    {"task", F::kText, "TaskName"},
    {"next_run", F::kDateTime, "Next Run Time"},
    {"status", F::kText, "Status"},
    {"logon_mode", F::kText, "Logon Mode"},
    {"last_run", F::kDateTime, "Last Run Time"},
    {"last_result", F::kText, "Last Result"},
    {"author", F::kText, "Author"},
    {"task_to_run", F::kText, "Task To Run"},
    {"start_in", F::kText, "Start In"},
    {"comment", F::kText, "Comment"},
    {"state", F::kText, "Scheduled Task State"},
    {"run_as", F::kText, "Run As User"},
    {"schedule_type", F::kText, "Schedule Type"},
    {"start_time", F::kText, "Start Time"},
    {"start_date", F::kText, "Start Date"},
    {"other", F::kText, "every other label: value, joined by \"; \""},
});
inline constexpr TableDefinition kTasksTable{TableId::kTasks, "tasks", "Scheduled tasks",
                                             SourceFile::kTasks, kTasks.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeTasksParser(std::string file_name,
                                                            RecordCallback emit);

}  // namespace kovra

#include "tables/tasks.h"

#include <map>
#include <optional>

#include "tables/field_text.h"

namespace kovra {

namespace {

class TasksParser : public RecordParser {
 public:
  TasksParser(std::string file, RecordCallback emit) : sink_(std::move(file), std::move(emit)) {}

  void Line(std::string_view view) override {
    sink_.NextLine();
    if (TrimView(view).empty())
      return;
    const size_t colon = view.find(':');
    if (colon == std::string_view::npos || colon == 0)
      return sink_.Unparsed(view, TableId::kTasks);
    const std::string label(TrimView(view.substr(0, colon)));
    const std::string value(TrimView(view.substr(colon + 1)));
    using Field = FieldOf<TableId::kTasks>;
    static const std::map<std::string, Field> kLabels = {
        {"HostName", kTasks["host"]},           {"TaskName", kTasks["task"]},
        {"Next Run Time", kTasks["next_run"]},  {"Status", kTasks["status"]},
        {"Logon Mode", kTasks["logon_mode"]},   {"Last Run Time", kTasks["last_run"]},
        {"Last Result", kTasks["last_result"]}, {"Author", kTasks["author"]},
        {"Task To Run", kTasks["task_to_run"]}, {"Start In", kTasks["start_in"]},
        {"Comment", kTasks["comment"]},         {"Scheduled Task State", kTasks["state"]},
        {"Run As User", kTasks["run_as"]},      {"Schedule Type", kTasks["schedule_type"]},
        {"Start Time", kTasks["start_time"]},   {"Start Date", kTasks["start_date"]}};
    if (label == "Folder") {
      Flush();
      folder_ = value;
      return;
    }
    const auto it = kLabels.find(label);
    // A task begins at its host name, or at a label the task being read already has.
    if (label == "HostName" ||
        (current_.has_value() && it != kLabels.end() && !current_->Get(it->second).empty()))
      Flush();
    if (!current_.has_value()) {
      current_.emplace(sink_.New<TableId::kTasks>());
      current_->Set(kTasks["folder"], folder_);
    }
    if (it != kLabels.end()) {
      current_->Set(it->second, value);
    } else {
      const std::string& other = current_->Get(kTasks["other"]);
      current_->Set(kTasks["other"], (other.empty() ? "" : other + "; ") + label + ": " + value);
    }
  }

  void End() override { Flush(); }

 private:
  void Flush() {
    if (current_.has_value())
      sink_.Emit(*current_);
    current_.reset();
  }
  RecordSink sink_;
  std::optional<RecordOf<TableId::kTasks>> current_;
  std::string folder_;
};

}  // namespace

std::unique_ptr<RecordParser> MakeTasksParser(std::string file_name, RecordCallback emit) {
  return std::make_unique<TasksParser>(std::move(file_name), std::move(emit));
}

}  // namespace kovra

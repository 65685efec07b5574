#include "tables/updater_facts.h"

#include <optional>
#include <utility>

#include "tables/field_text.h"

namespace kovra {

namespace {

class UpdaterFactsParser : public RecordParser {
 public:
  UpdaterFactsParser(std::string file, RecordCallback emit)
      : sink_(std::move(file), std::move(emit)) {}
  void Line(std::string_view view) override {
    sink_.NextLine();
    using Field = FieldOf<TableId::kUpdaterFacts>;
    static const std::pair<std::string_view, Field> kLabels[] = {
        {"This Log Version:", kUpdaterFacts["log_version"]},
        {"This Log Create Time:", kUpdaterFacts["created"]},
        {"Screen.Width:", kUpdaterFacts["screen_width"]},
        {"Screen.Height:", kUpdaterFacts["screen_height"]},
        {"DPI API:", kUpdaterFacts["dpi_api"]},
        {"DPI LogPixels:", kUpdaterFacts["dpi_log_pixels"]},
        {"DPI AppliedDPI:", kUpdaterFacts["dpi_applied"]}};
    if (view.empty() || (StartsWith(view, "=====") && EndsWith(view, "=====")))
      return;
    if (!facts_.has_value()) {
      facts_.emplace(sink_.New<TableId::kUpdaterFacts>());
      facts_->line() = 1;
    }
    for (const auto& [label, field] : kLabels) {
      if (!StartsWith(view, label))
        continue;
      std::string value(view.substr(label.size()));
      if (kUpdaterFacts.fields[field.index].type == F::kNumber)
        value = NumberField(value);
      if (!value.empty() || view.size() == label.size()) {
        facts_->Set(field, value);
        return;
      }
    }
    sink_.Unparsed(view, TableId::kUpdaterFacts);
  }
  void End() override {
    if (facts_.has_value())
      sink_.Emit(*facts_);
    facts_.reset();
  }

 private:
  RecordSink sink_;
  std::optional<RecordOf<TableId::kUpdaterFacts>> facts_;
};

}  // namespace

std::unique_ptr<RecordParser> MakeUpdaterFactsParser(std::string file_name, RecordCallback emit) {
  return std::make_unique<UpdaterFactsParser>(std::move(file_name), std::move(emit));
}

}  // namespace kovra

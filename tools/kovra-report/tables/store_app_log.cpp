#include "tables/store_app_log.h"

namespace kovra {

namespace {

class StoreAppLogParser : public RecordParser {
 public:
  StoreAppLogParser(std::string file, RecordCallback emit)
      : sink_(std::move(file), std::move(emit)) {}
  void Line(std::string_view view) override {
    sink_.NextLine();
    if (view.empty())
      return;
    size_t colon = view.find(":=");
    if (colon == std::string_view::npos)
      colon = view.find(":TGetMetroInfo");
    if (colon == std::string_view::npos || colon == 0)
      return sink_.Unparsed(view, TableId::kStoreAppLog);
    RecordOf<TableId::kStoreAppLog> r = sink_.New<TableId::kStoreAppLog>();
    r.Set(kStoreAppLog["time"], std::string(view.substr(0, colon)));
    r.Set(kStoreAppLog["message"], std::string(view.substr(colon + 1)));
    sink_.Emit(r);
  }
  void End() override {}

 private:
  RecordSink sink_;
};

}  // namespace

std::unique_ptr<RecordParser> MakeStoreAppLogParser(std::string file_name, RecordCallback emit) {
  return std::make_unique<StoreAppLogParser>(std::move(file_name), std::move(emit));
}

}  // namespace kovra

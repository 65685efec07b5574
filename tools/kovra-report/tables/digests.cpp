#include "tables/digests.h"

namespace kovra {

namespace {

// Path, comma, 32 lowercase hexadecimal digits.
class DigestsParser : public RecordParser {
 public:
  DigestsParser(std::string file, RecordCallback emit) : sink_(std::move(file), std::move(emit)) {}
  void Line(std::string_view view) override {
    sink_.NextLine();
    if (view.empty())
      return;
    const size_t comma = view.rfind(',');
    const std::string_view md5 = comma == std::string_view::npos ? "" : view.substr(comma + 1);
    if (md5.size() != 32 || md5.find_first_not_of("0123456789abcdef") != std::string_view::npos)
      return sink_.Unparsed(view, TableId::kDigests);
    RecordOf<TableId::kDigests> r = sink_.New<TableId::kDigests>();
    r.Set(kDigests["path"], std::string(view.substr(0, comma)));
    r.Set(kDigests["md5"], std::string(md5));
    sink_.Emit(r);
  }
  void End() override {}

 private:
  RecordSink sink_;
};

}  // namespace

std::unique_ptr<RecordParser> MakeDigestsParser(std::string file_name, RecordCallback emit) {
  return std::make_unique<DigestsParser>(std::move(file_name), std::move(emit));
}

}  // namespace kovra

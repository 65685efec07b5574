#include "tables/helpers.h"

namespace kovra {

namespace {

class HelpersBlock : public BlockParser {
 public:
  explicit HelpersBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    if (line == kHelpersHeader)
      return true;
    const size_t comma = line.rfind(", ");
    if (comma == std::string::npos)
      return false;
    RecordOf<TableId::kHelpers> r = sink_.New<TableId::kHelpers>();
    r.Set(kHelpers["class_name"], line.substr(0, comma));
    r.Set(kHelpers["server_path"], line.substr(comma + 2));
    sink_.Emit(r);
    return true;
  }

 private:
  RecordSink& sink_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeHelpersBlock(RecordSink& sink) {
  return std::make_unique<HelpersBlock>(sink);
}

}  // namespace kovra

#include "tables/inventory.h"

#include <regex>

#include "report_regex.h"

namespace kovra {

bool LooksLikeInventoryLine(std::string_view line) {
  return line.find("   Ver:") != std::string_view::npos &&
         line.find("   MD5:") != std::string_view::npos &&
         line.find("   DT:") != std::string_view::npos;
}

namespace {

class InventoryBlock : public BlockParser {
 public:
  explicit InventoryBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    static const std::regex row("^(.*?)   Ver:(.*)   MD5:([0-9a-f]*)   DT:(.*)$");
    std::smatch m;
    if (!RegexMatch(line, m, row))
      return false;
    RecordOf<TableId::kInventory> r = sink_.New<TableId::kInventory>();
    r.Set(kInventory["path"], m[1]);
    r.Set(kInventory["version"], m[2]);
    r.Set(kInventory["md5"], m[3]);
    r.Set(kInventory["date"], m[4]);
    sink_.Emit(r);
    return true;
  }

 private:
  RecordSink& sink_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeInventoryBlock(RecordSink& sink) {
  return std::make_unique<InventoryBlock>(sink);
}

}  // namespace kovra

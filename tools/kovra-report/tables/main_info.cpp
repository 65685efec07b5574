#include "tables/main_info.h"

#include <array>
#include <regex>
#include <vector>

#include "tables/autostart.h"
#include "tables/field_text.h"
#include "tables/firewall.h"
#include "tables/helpers.h"
#include "tables/inventory.h"
#include "tables/processes.h"
#include "tables/products.h"
#include "tables/resources.h"
#include "tables/security.h"
#include "tables/services.h"
#include "tables/system.h"

namespace kovra {

namespace {

// Lines that open their block wherever they stand (not only after a star rule).
bool IsBlockHeader(std::string_view line) {
  return line == kHelpersHeader || line == kAutostartHeader ||
         (StartsWith(line, "[") && BlockOfLine(line) == TableId::kSecurity);
}

}  // namespace

TableId BlockOfLine(std::string_view view) {
  const std::string line(view);
  std::smatch m;
  if (StartsWith(line, "Version:") || StartsWith(line, "Date:") ||
      (line.find(":\t") != std::string::npos && line.find(":\t") < 20))
    return TableId::kSystem;
  if (ProductNameOf(line).has_value())
    return TableId::kProducts;
  if (IsResourceLine(line) || MatchProcessRow(line, m))
    return TableId::kProcesses;
  if (line == kHelpersHeader)
    return TableId::kHelpers;
  if (line == kAutostartHeader || AutostartSectionOf(line).has_value())
    return TableId::kAutostart;
  if (SecurityClassOf(line).has_value() || line == kWindowsFirewallHeader)
    return TableId::kSecurity;
  if (LooksLikeInventoryLine(line))
    return TableId::kInventory;
  if (MatchServiceRow(line, m))
    return TableId::kServices;
  return TableId::kUnparsed;
}

BlockTracker::Step BlockTracker::Next(std::string_view line) {
  if (IsStarRule(line)) {
    after_rule_ = true;
    return {block_, true, false};
  }
  if (line.empty())
    return {block_, false, false};
  bool changed = false;
  if (after_rule_ || IsBlockHeader(line)) {
    const TableId opened = BlockOfLine(line);
    after_rule_ = false;
    changed = opened != block_;
    block_ = opened;
  }
  return {block_, false, changed};
}

namespace {

class MainInfoParser : public RecordParser {
 public:
  MainInfoParser(std::string file_name, RecordCallback emit)
      : sink_(std::move(file_name), std::move(emit)), system_(sink_) {
    auto add = [&](TableId block, std::unique_ptr<BlockParser> parser) {
      blocks_[static_cast<size_t>(block)].push_back(std::move(parser));
    };
    add(TableId::kProducts, MakeProductsBlock(sink_));
    add(TableId::kProcesses, MakeResourcesBlock(sink_));
    add(TableId::kProcesses, MakeProcessesBlock(sink_));
    add(TableId::kServices, MakeServicesBlock(sink_));
    add(TableId::kHelpers, MakeHelpersBlock(sink_));
    add(TableId::kAutostart, MakeAutostartBlock(sink_));
    add(TableId::kSecurity, MakeSecurityBlock(sink_));
    add(TableId::kSecurity, MakeFirewallBlock(sink_));
    add(TableId::kInventory, MakeInventoryBlock(sink_));
  }

  void Line(std::string_view view) override {
    sink_.NextLine();
    const BlockTracker::Step step = tracker_.Next(view);
    if (step.rule || step.changed)
      FinishBlock();
    if (step.rule)
      return;
    std::vector<std::unique_ptr<BlockParser>>& parsers = blocks_[static_cast<size_t>(step.block)];
    if (view.empty()) {
      for (auto& parser : parsers)
        parser->Blank();
      return;
    }
    if (step.block != TableId::kSystem && system_.open())
      system_.Flush();
    const std::string line(view);
    // Every parser of the block sees the line: a header may end one table's record and open
    // another's.
    bool taken = false;
    if (step.block == TableId::kSystem)
      taken = system_.Line(line);
    for (auto& parser : parsers)
      taken = parser->Line(line) || taken;
    if (!taken)
      sink_.Unparsed(line, step.block);
  }

  void End() override {
    FinishBlock();
    system_.Flush();
  }

 private:
  void FinishBlock() {
    for (auto& parsers : blocks_) {
      for (auto& parser : parsers)
        parser->Finish();
    }
  }

  RecordSink sink_;
  BlockTracker tracker_;
  SystemBlock system_;
  std::array<std::vector<std::unique_ptr<BlockParser>>, kTableCount> blocks_;
};

}  // namespace

std::unique_ptr<RecordParser> MakeMainInfoParser(std::string file_name, RecordCallback emit) {
  return std::make_unique<MainInfoParser>(std::move(file_name), std::move(emit));
}

}  // namespace kovra

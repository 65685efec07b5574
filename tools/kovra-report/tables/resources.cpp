#include "tables/resources.h"

#include <optional>
#include <regex>

#include "report_regex.h"
#include "tables/field_text.h"

namespace kovra {

bool IsResourceLine(std::string_view line) {
  return StartsWith(line, "Virtual memory:") || StartsWith(line, "GlobalAtomInfo:") ||
         StartsWith(line, "DesktopHeap:");
}

namespace {

class ResourcesBlock : public BlockParser {
 public:
  explicit ResourcesBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    static const std::regex vm(
        "^Virtual memory:([0-9]+)/([0-9]+) MB\\(free/total\\), PageSize:([0-9]+)/([0-9]+) "
        "MB\\(free/total\\), SysDrv:(.*)/(.*)$");
    static const std::regex atoms("^GlobalAtomInfo:Atom:([0-9]+), RWM:([0-9]+)(.*)$");
    static const std::regex group("^, Max\\(([0-9]+)\\):(.*?)(, Max\\(([0-9]+)\\):(.*))?$");
    if (!IsResourceLine(line))
      return false;
    if (!resources_.has_value())
      resources_.emplace(sink_.New<TableId::kResources>());
    RecordOf<TableId::kResources>& r = *resources_;
    std::smatch m;
    if (StartsWith(line, "DesktopHeap:")) {
      r.Set(kResources["desktop_heap"], line.substr(12));
    } else if (StartsWith(line, "Virtual memory:")) {
      r.Set(kResources["virtual_memory_line"], line.substr(15));
      if (RegexMatch(line, m, vm)) {
        r.Set(kResources["virtual_free_mb"], m[1]), r.Set(kResources["virtual_total_mb"], m[2]);
        r.Set(kResources["page_free_mb"], m[3]), r.Set(kResources["page_total_mb"], m[4]);
        r.Set(kResources["drive_free"], m[5]), r.Set(kResources["drive_total"], m[6]);
      }
    } else {
      r.Set(kResources["atom_line"], line.substr(15));
      if (RegexMatch(line, m, atoms)) {
        r.Set(kResources["atoms"], m[1]), r.Set(kResources["registered_names"], m[2]);
        const std::string rest = m[3];
        if (RegexMatch(rest, m, group)) {
          r.Set(kResources["largest_group_count"], m[1]);
          r.Set(kResources["largest_group"], m[2]);
          if (m[3].matched) {
            r.Set(kResources["second_group_count"], m[4]);
            r.Set(kResources["second_group"], m[5]);
          }
        }
      }
    }
    return true;
  }

  void Finish() override {
    if (resources_.has_value())
      sink_.Emit(*resources_);
    resources_.reset();
  }

 private:
  RecordSink& sink_;
  std::optional<RecordOf<TableId::kResources>> resources_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeResourcesBlock(RecordSink& sink) {
  return std::make_unique<ResourcesBlock>(sink);
}

}  // namespace kovra

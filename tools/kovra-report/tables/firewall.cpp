#include "tables/firewall.h"

#include <map>
#include <optional>

#include "tables/field_text.h"
#include "tables/security.h"

namespace kovra {

namespace {

class FirewallBlock : public BlockParser {
 public:
  explicit FirewallBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    if (line == kWindowsFirewallHeader) {
      Finish();
      firewall_.emplace(sink_.New<TableId::kFirewall>());
      return true;
    }
    if (SecurityClassOf(line).has_value()) {
      Finish();  // a product class header belongs to the table "security"
      return false;
    }
    if (!firewall_.has_value())
      return false;
    using Field = FieldOf<TableId::kFirewall>;
    static const std::map<std::string, Field> kLabels = {
        {"HomeNetFwEnabled=", kFirewall["home_enabled"]},
        {"PublicNetFwEnabled=", kFirewall["public_enabled"]},
        {"FireWallEnabled=", kFirewall["current_enabled"]}};
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      const auto it = kLabels.find(line.substr(0, eq + 1));
      const std::string value = BoolField(line.substr(eq + 1));
      if (it != kLabels.end() && !value.empty()) {
        firewall_->Set(it->second, value);
        return true;
      }
    }
    if (line == "FwObj=valid" || line == "FwObj=nil") {
      firewall_->Set(kFirewall["manager_valid"], Flag(line == "FwObj=valid"));
      return true;
    }
    return false;
  }

  void Finish() override {
    if (firewall_.has_value())
      sink_.Emit(*firewall_);
    firewall_.reset();
  }

 private:
  RecordSink& sink_;
  std::optional<RecordOf<TableId::kFirewall>> firewall_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeFirewallBlock(RecordSink& sink) {
  return std::make_unique<FirewallBlock>(sink);
}

}  // namespace kovra

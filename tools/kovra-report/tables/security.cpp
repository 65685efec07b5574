#include "tables/security.h"

#include <regex>

#include "report_regex.h"
#include "tables/field_text.h"

namespace kovra {

std::optional<std::string> SecurityClassOf(std::string_view line) {
  for (const char* name : {"AntiVirusProduct", "AntiSpywareProduct", "FirewallProduct"}) {
    if (line.size() == std::string_view(name).size() + 2 && line.front() == '[' &&
        line.back() == ']' && line.substr(1, line.size() - 2) == name)
      return std::string(name);
  }
  return std::nullopt;
}

namespace {

class SecurityBlock : public BlockParser {
 public:
  explicit SecurityBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    static const std::regex enabled("^Enabled=(True|False)\\(([0-9A-F]{8})\\)$");
    const std::optional<std::string> header = SecurityClassOf(line);
    if (header.has_value() || line == kWindowsFirewallHeader) {
      // The firewall's own block (table "firewall") ends the product classes.
      Finish();
      class_ = header.value_or("");
      return true;
    }
    if (class_.empty())
      return false;
    if (StartsWith(line, "Name:")) {
      Finish();
      product_.emplace(sink_.New<TableId::kSecurity>());
      product_->Set(kSecurity["class"], class_);
      product_->Set(kSecurity["name"], line.substr(5));
      return true;
    }
    if (!product_.has_value())
      return false;
    std::smatch m;
    if (RegexMatch(line, m, enabled)) {
      product_->Set(kSecurity["enabled"], BoolField(m[1].str()));
      product_->Set(kSecurity["product_state"], HexField(m[2].str()));
      return true;
    }
    if (StartsWith(line, "Enabled=")) {
      product_->Set(kSecurity["enabled"], BoolField(line.substr(8)));
      return true;
    }
    if (StartsWith(line, "UptoDate=")) {
      product_->Set(kSecurity["up_to_date"], BoolField(line.substr(9)));
      return true;
    }
    return false;
  }

  void Finish() override {
    if (product_.has_value())
      sink_.Emit(*product_);
    product_.reset();
  }

 private:
  RecordSink& sink_;
  std::string class_;
  std::optional<RecordOf<TableId::kSecurity>> product_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeSecurityBlock(RecordSink& sink) {
  return std::make_unique<SecurityBlock>(sink);
}

}  // namespace kovra

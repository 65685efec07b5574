#include "tables/products.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "tables/field_text.h"

namespace kovra {

std::optional<std::string> ProductNameOf(std::string_view line) {
  if (line.size() < 9 || !StartsWith(line, "====") || line[4] == '=' || !EndsWith(line, "===="))
    return std::nullopt;
  return std::string(line.substr(4, line.size() - 8));
}

namespace {

// The display version's parts must lead the file version's: 8.1.0 agrees with 8.1.0.22.
bool VersionsDiffer(const std::string& display, const std::string& file) {
  if (display.empty() || file.empty() || file == "Unknown")
    return false;
  auto parts = [](const std::string& v) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t dot = v.find('.');; dot = v.find('.', start)) {
      std::string part = v.substr(start, dot - start);
      out.push_back(NumberField(part).empty() ? part : NumberField(part));
      if (dot == std::string::npos)
        break;
      start = dot + 1;
    }
    return out;
  };
  const std::vector<std::string> d = parts(display), f = parts(file);
  if (d.size() > f.size())
    return true;
  return !std::equal(d.begin(), d.end(), f.begin());
}

class ProductsBlock : public BlockParser {
 public:
  explicit ProductsBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    if (std::optional<std::string> name = ProductNameOf(line)) {
      Blank();
      product_.emplace(sink_.New<TableId::kProducts>());
      product_->Set(kProducts["name"], std::move(*name));
      return true;
    }
    if (!product_.has_value())
      return false;
    RecordOf<TableId::kProducts>& p = *product_;
    if (StartsWith(line, "Display Version:\t")) {
      p.Set(kProducts["display_version"], line.substr(17));
    } else if (StartsWith(line, "Exefile Version:\t")) {
      p.Set(kProducts["file_version"], line.substr(17));
    } else if (StartsWith(line, "Exefile Size:\t") && EndsWith(line, " Bytes") &&
               !NumberField(line.substr(14, line.size() - 20)).empty()) {
      p.Set(kProducts["size_bytes"], NumberField(line.substr(14, line.size() - 20)));
    } else {
      return false;
    }
    p.Set(kProducts["versions_differ"], Flag(p.Get(kProducts["name"]) != "Refresher" &&
                                             VersionsDiffer(p.Get(kProducts["display_version"]),
                                                            p.Get(kProducts["file_version"]))));
    return true;
  }

  // A product's facts end at the empty line after them.
  void Blank() override {
    if (product_.has_value())
      sink_.Emit(*product_);
    product_.reset();
  }
  void Finish() override { Blank(); }

 private:
  RecordSink& sink_;
  std::optional<RecordOf<TableId::kProducts>> product_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeProductsBlock(RecordSink& sink) {
  return std::make_unique<ProductsBlock>(sink);
}

}  // namespace kovra

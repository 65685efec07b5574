// An HTML output that escapes by default: every text written with << is escaped for element
// content and quoted attribute values; the page's own markup goes out only through Raw().
#pragma once

#include <cstddef>
#include <ostream>
#include <string_view>

namespace kovra {

class HtmlOut {
 public:
  explicit HtmlOut(std::ostream& out) : out_(out) {}
  // Text from anywhere (the report, the tables, the facts): & < > " ' escaped.
  HtmlOut& operator<<(std::string_view text);
  HtmlOut& operator<<(size_t number);
  // Markup of the page itself, as it is.
  HtmlOut& Raw(std::string_view markup);
  [[nodiscard]] std::ostream& stream() { return out_; }

 private:
  std::ostream& out_;
};

}  // namespace kovra

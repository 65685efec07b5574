#include "page/html.h"

#include <string>

#include "report_text.h"

namespace kovra {

HtmlOut& HtmlOut::operator<<(std::string_view text) {
  out_ << HtmlEscape(text);
  return *this;
}

HtmlOut& HtmlOut::operator<<(size_t number) {
  out_ << std::to_string(number);
  return *this;
}

HtmlOut& HtmlOut::Raw(std::string_view markup) {
  out_ << markup;
  return *this;
}

}  // namespace kovra

// Fuzz target: the markup label's text preparation, tags and layout on arbitrary captions,
// measured with fixed metrics in a narrow and a fixed-height rectangle.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/markup.h"

namespace {

class FixedCanvas : public kovra::markup::Canvas {
 public:
  void Measure(const kovra::markup::Font& font, std::string_view text, int& width,
               int& height) override {
    width = static_cast<int>(text.size()) * 6;
    height = font.points + 5;
  }
  void Text(const kovra::markup::Font&, int, int, int, std::string_view) override {}
  void Fill(const kovra::markup::Rect&, kovra::markup::Color) override {}
  void Line(int, int, int, int, kovra::markup::Color) override {}
  void Gradient(const kovra::markup::Rect&, kovra::markup::Color, kovra::markup::Color,
                bool) override {}
  void Ellipse(const kovra::markup::Rect&, kovra::markup::Color) override {}
  void IconSize(const kovra::markup::ImageRef& image, int& width, int& height) override {
    width = height = image.large ? 32 : 16;
  }
  void Icon(const kovra::markup::ImageRef&, int, int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool prefix_off = false;
  const std::string prepared = kovra::markup::PrepareText(text, prefix_off);
  std::vector<kovra::markup::LinkItem> links(2);
  links[1].max_line = 1;
  FixedCanvas canvas;
  for (const bool fixed : {true, false}) {
    kovra::markup::LayoutOptions o;
    o.rect = kovra::markup::Rect{0, 0, 120, 40};
    o.fixed_height = fixed;
    o.links = &links;
    o.hovered_link = 0;
    const kovra::markup::LayoutResult r = kovra::markup::Layout(prepared, prefix_off, o, canvas);
    kovra::markup::HitTest(r, 10, 10);
  }
  kovra::markup::ParseColor(text.substr(0, 16), 0);
  kovra::markup::AttributeValue(text, "SIZE");
  return 0;
}

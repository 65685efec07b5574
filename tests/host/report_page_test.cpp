// The report page escapes whatever comes from the report: text from any field, title or file
// reaches the page as text, never as markup, in element content and in attribute values alike.
#include "page/report_page.h"

#include <gtest/gtest.h>

#include <sstream>

#include "page/html.h"
#include "tables/inventory.h"
#include "tables/system.h"

namespace kovra {
namespace {

TEST(ReportPage, HtmlOutEscapesTextAndWritesMarkupOnlyWhenAskedTo) {
  const struct {
    const char* text;
    const char* escaped;
  } kCases[] = {
      {"plain", "plain"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a\" onmouseover=\"x", "a&quot; onmouseover=&quot;x"},
      {"it's & more", "it&#39;s &amp; more"},
  };
  for (const auto& c : kCases) {
    std::ostringstream out;
    HtmlOut html(out);
    html.Raw("<b>") << c.text;
    html.Raw("</b>");
    EXPECT_EQ(out.str(), std::string("<b>") + c.escaped + "</b>") << c.text;
  }
}

TEST(ReportPage, TextFromTheReportNeverBecomesMarkup) {
  const std::string hostile = "<img src=x onerror=alert(1)>\"'&";
  std::ostringstream out;
  {
    PageWriter page(out);
    ReportFacts facts;
    facts.computer = hostile;
    facts.failed_stages = {hostile};
    page.Begin(facts, hostile);
    page.BeginTable(Definition(TableId::kInventory));
    RecordSink sink("f", [&](const Record& r) { page.Row(r); });
    RecordOf<TableId::kInventory> row = sink.New<TableId::kInventory>();
    row.Set(kInventory["path"], hostile);
    row.Set(kInventory["date"], hostile);
    sink.Emit(row);
    page.EndTable(hostile);
    page.BeginTable(Definition(TableId::kSystem));
    RecordOf<TableId::kSystem> system = sink.New<TableId::kSystem>();
    system.Set(kSystem["computer"], hostile);
    sink.Emit(system);
    page.EndTable();
    page.TextFile(hostile, hostile);
    page.End({hostile});
  }
  const std::string html = out.str();
  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_EQ(html.find("\"'&\""), std::string::npos);
  // Every place the text went: title, failed stages, summary, cells, sort keys, problem, file
  // title and text, listing.
  size_t escaped = 0;
  for (size_t at = html.find("&lt;img"); at != std::string::npos; at = html.find("&lt;img", at + 1))
    ++escaped;
  EXPECT_GE(escaped, 10u);
  // The page's own script and style are there, once each.
  EXPECT_EQ(html.find("<script>"), html.rfind("<script>"));
  EXPECT_NE(html.find("<script>\n"), std::string::npos);
  EXPECT_NE(html.find("<style>"), std::string::npos);
}

}  // namespace
}  // namespace kovra

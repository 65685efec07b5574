#include "page/report_page.h"

#include <cstring>

#include "page/page_assets.h"

namespace kovra {

namespace {

const char* TypeName(FieldType type) {
  switch (type) {
    case FieldType::kNumber:
      return "number";
    case FieldType::kDateTime:
      return "date";
    case FieldType::kBool:
      return "bool";
    case FieldType::kText:
      break;
  }
  return "text";
}

// Tables of one record (facts of the machine) are shown field by field.
bool IsFactTable(TableId id) {
  return id == TableId::kSystem || id == TableId::kResources || id == TableId::kFirewall ||
         id == TableId::kUpdaterFacts;
}

std::string CellText(const FieldDefinition& field, const std::string& value) {
  if (field.type == FieldType::kBool)
    return value == "true" ? "yes" : value == "false" ? "no" : "";
  return value;
}

}  // namespace

bool IsMarkField(const FieldDefinition& field) {
  return field.type == FieldType::kBool &&
         (std::strcmp(field.name, "outside_windows") == 0 ||
          std::strcmp(field.name, "driver_without_version") == 0 ||
          std::strcmp(field.name, "versions_differ") == 0);
}

void PageWriter::Begin(const ReportFacts& facts, const std::string& run_log) {
  out_.Raw("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Kovra report ")
      << facts.computer << " " << facts.date;
  out_.Raw("</title><style>").Raw(kPageStyle).Raw("</style></head><body>\n<main>\n");
  out_.Raw("<h1>Kovra report</h1>\n");
  if (!facts.failed_stages.empty()) {
    out_.Raw(
        "<section class=\"failed\" aria-labelledby=\"h-failed\"><h2 id=\"h-failed\">"
        "Failed stages</h2><ul>");
    for (const std::string& f : facts.failed_stages) {
      out_.Raw("<li>") << f;
      out_.Raw("</li>");
    }
    out_.Raw("</ul></section>\n");
  }
  out_.Raw("<h2>Summary</h2>\n<pre id=\"summary\">") << SummaryText(facts) + run_log;
  out_.Raw("</pre>\n<nav aria-label=\"Tables\">");
  for (const TableDefinition& t : Tables()) {
    out_.Raw("<a href=\"#") << t.name;
    out_.Raw("\">") << t.title;
    out_.Raw("</a> ");
  }
  out_.Raw("</nav>\n");
}

void PageWriter::BeginTable(const TableDefinition& definition) {
  definition_ = &definition;
  rows_ = 0;
  vertical_ = IsFactTable(definition.id);
  out_.Raw("<section id=\"") << definition.name;
  out_.Raw("\" aria-labelledby=\"h-") << definition.name;
  out_.Raw("\">\n<h2 id=\"h-") << definition.name;
  out_.Raw("\">") << definition.title;
  out_.Raw("</h2>\n");
}

void PageWriter::OpenTable() {
  const std::string n = definition_->name;
  if (vertical_) {
    out_.Raw("<table class=\"facts\" aria-labelledby=\"h-") << n;
    out_.Raw(
        "\"><thead><tr><th scope=\"col\">field</th><th scope=\"col\">value</th></tr></thead>"
        "<tbody>\n");
    return;
  }
  out_.Raw("<label for=\"f-") << n;
  out_.Raw("\">Filter</label><input type=\"search\" id=\"f-") << n;
  out_.Raw("\" data-table=\"t-") << n;
  out_.Raw("\"> <span id=\"c-") << n;
  out_.Raw("\" role=\"status\"></span>\n<table class=\"records\" id=\"t-") << n;
  out_.Raw("\" aria-labelledby=\"h-") << n;
  out_.Raw("\"><thead><tr>");
  for (const FieldDefinition& f : definition_->fields) {
    out_.Raw("<th scope=\"col\" data-type=\"") << TypeName(f.type);
    out_.Raw("\" aria-sort=\"none\"><button type=\"button\" title=\"") << f.meaning;
    out_.Raw("\">") << f.name;
    out_.Raw("</button></th>");
  }
  out_.Raw("</tr></thead><tbody>\n");
}

void PageWriter::Row(const Record& r) {
  if (rows_++ == 0)
    OpenTable();
  if (rows_ > kPageRows)
    return;
  const std::span<const FieldDefinition> fields = definition_->fields;
  if (vertical_) {
    for (size_t i = 0; i < fields.size(); ++i) {
      out_.Raw("<tr><th scope=\"row\" title=\"") << fields[i].meaning;
      out_.Raw("\">") << fields[i].name;
      out_.Raw("</th><td>") << CellText(fields[i], r.values.at(i));
      out_.Raw("</td></tr>\n");
    }
    return;
  }
  bool flagged = false;
  for (size_t i = 0; i < fields.size(); ++i)
    flagged |= IsMarkField(fields[i]) && r.values.at(i) == "true";
  out_.Raw(flagged ? "<tr class=\"flag\">" : "<tr>");
  for (size_t i = 0; i < fields.size(); ++i) {
    const bool mark = IsMarkField(fields[i]) && r.values.at(i) == "true";
    out_.Raw("<td");
    if (fields[i].type == FieldType::kDateTime) {
      out_.Raw(" data-k=\"") << DateSortKey(r.values.at(i));
      out_.Raw("\"");
    }
    if (mark)
      out_.Raw(" class=\"flag\"");
    out_.Raw(">") << CellText(fields[i], r.values.at(i));
    out_.Raw("</td>");
  }
  out_.Raw("</tr>\n");
}

void PageWriter::EndTable(const std::string& problem) {
  out_.Raw(rows_ == 0 ? "<p>No records.</p>\n" : "</tbody></table>\n");
  if (rows_ > kPageRows) {
    out_.Raw("<p>") << rows_;
    out_.Raw(" records; the first ") << kPageRows;
    out_.Raw(" are shown. <code>kovra-report table REPORT ") << definition_->name;
    out_.Raw("</code> lists them all.</p>\n");
  }
  if (!problem.empty()) {
    out_.Raw("<p class=\"failed\">") << problem;
    out_.Raw("</p>\n");
  }
  out_.Raw("</section>\n");
  definition_ = nullptr;
}

void PageWriter::TextFile(const std::string& title, const std::string& text) {
  out_.Raw("<section><h2>") << title;
  out_.Raw("</h2>\n<pre tabindex=\"0\">") << text;
  out_.Raw("</pre></section>\n");
}

void PageWriter::End(const std::vector<std::string>& listing) {
  out_.Raw("<section><h2>Archive</h2>\n<pre id=\"listing\" tabindex=\"0\">");
  for (const std::string& e : listing)
    out_ << e + "\n";
  out_.Raw("</pre></section>\n</main>\n<script>\n").Raw(kPageScript);
  out_.Raw("</script>\n</body></html>\n");
}

}  // namespace kovra

#include "page/report_page.h"

#include <cstring>

namespace kovra {

namespace {

constexpr char kStyle[] =
    "body{font:14px sans-serif;margin:16px;color:#111;background:#fff}"
    "pre{background:#f4f4f4;padding:8px;overflow:auto}"
    "table{border-collapse:collapse;margin:4px 0 12px}"
    "td,th{border:1px solid #bbb;padding:2px 6px;font:12px monospace;text-align:left;"
    "vertical-align:top;white-space:pre-wrap;word-break:break-all}"
    "th{background:#e6e6e6}th button{font:bold 12px monospace;background:none;border:0;"
    "padding:0;cursor:pointer;color:#111}"
    "th[aria-sort=ascending] button::after{content:' \\25B2'}"
    "th[aria-sort=descending] button::after{content:' \\25BC'}"
    "tr.flag td{background:#fff1b8}td.flag{font-weight:bold}"
    ".failed{border:2px solid #a00;padding:4px 12px;color:#700}"
    "nav a{margin-right:10px}label{margin-right:8px}";

// Sorting keeps the order of equal rows; numbers compare as numbers (empty cells first), dates
// by their sort key, text by the locale's order. The filter hides rows without the text.
constexpr char kScript[] =
    "function rowsOf(t){return Array.from(t.tBodies[0].rows);}\n"
    "function count(t){const rows=rowsOf(t);const shown=rows.filter(r=>!r.hidden).length;"
    "document.getElementById('c'+t.id.slice(1)).textContent=shown===rows.length?"
    "rows.length+(rows.length===1?' row':' rows'):shown+' of '+rows.length+' rows';}\n"
    "function sortBy(t,col,type,th){const asc=th.getAttribute('aria-sort')!=='ascending';"
    "for(const h of t.tHead.rows[0].cells)h.setAttribute('aria-sort','none');"
    "th.setAttribute('aria-sort',asc?'ascending':'descending');"
    "const key=r=>{const c=r.cells[col];if(type==='number'){const v=parseFloat(c.textContent);"
    "return isNaN(v)?-Infinity:v;}if(type==='date')return c.dataset.k||'';"
    "return c.textContent;};"
    "const rows=rowsOf(t).map((r,i)=>[key(r),i,r]);"
    "rows.sort((a,b)=>{const x=a[0],y=b[0];const d=typeof x==='string'?x.localeCompare(y):"
    "(x<y?-1:x>y?1:0);return (asc?d:-d)||a[1]-b[1];});"
    "const body=t.tBodies[0];for(const r of rows)body.appendChild(r[2]);}\n"
    "for(const t of document.querySelectorAll('table.records')){"
    "Array.from(t.tHead.rows[0].cells).forEach((th,i)=>th.querySelector('button')"
    ".addEventListener('click',()=>sortBy(t,i,th.dataset.type,th)));count(t);}\n"
    "for(const input of document.querySelectorAll('input[data-table]')){"
    "input.addEventListener('input',()=>{const t=document.getElementById(input.dataset.table);"
    "const q=input.value.toLowerCase();for(const r of rowsOf(t))"
    "r.hidden=!r.textContent.toLowerCase().includes(q);count(t);});}\n";

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
  out_ << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
          "<title>Kovra report "
       << HtmlEscape(facts.computer) << " " << HtmlEscape(facts.date) << "</title><style>" << kStyle
       << "</style></head><body>\n<main>\n<h1>Kovra report</h1>\n";
  if (!facts.failed_stages.empty()) {
    out_ << "<section class=\"failed\" aria-labelledby=\"h-failed\"><h2 id=\"h-failed\">"
            "Failed stages</h2><ul>";
    for (const std::string& f : facts.failed_stages)
      out_ << "<li>" << HtmlEscape(f) << "</li>";
    out_ << "</ul></section>\n";
  }
  out_ << "<h2>Summary</h2>\n<pre id=\"summary\">" << HtmlEscape(SummaryText(facts) + run_log)
       << "</pre>\n<nav aria-label=\"Tables\">";
  for (const TableDefinition& t : Tables())
    out_ << "<a href=\"#" << t.name << "\">" << HtmlEscape(t.title) << "</a> ";
  out_ << "</nav>\n";
}

void PageWriter::BeginTable(const TableDefinition& definition) {
  definition_ = &definition;
  rows_ = 0;
  vertical_ = IsFactTable(definition.id);
  out_ << "<section id=\"" << definition.name << "\" aria-labelledby=\"h-" << definition.name
       << "\">\n<h2 id=\"h-" << definition.name << "\">" << HtmlEscape(definition.title)
       << "</h2>\n";
}

void PageWriter::OpenTable() {
  const std::string n = definition_->name;
  if (vertical_) {
    out_ << "<table class=\"facts\" aria-labelledby=\"h-" << n
         << "\"><thead><tr><th scope=\"col\">field</th><th scope=\"col\">value</th></tr></thead>"
            "<tbody>\n";
    return;
  }
  out_ << "<label for=\"f-" << n << "\">Filter</label><input type=\"search\" id=\"f-" << n
       << "\" data-table=\"t-" << n << "\"> <span id=\"c-" << n
       << "\" role=\"status\"></span>\n<table class=\"records\" id=\"t-" << n
       << "\" aria-labelledby=\"h-" << n << "\"><thead><tr>";
  for (const FieldDefinition& f : definition_->fields)
    out_ << "<th scope=\"col\" data-type=\"" << TypeName(f.type)
         << "\" aria-sort=\"none\"><button type=\"button\" title=\"" << HtmlEscape(f.meaning)
         << "\">" << f.name << "</button></th>";
  out_ << "</tr></thead><tbody>\n";
}

void PageWriter::Row(const Record& r) {
  if (rows_++ == 0)
    OpenTable();
  if (rows_ > kPageRows)
    return;
  const std::span<const FieldDefinition> fields = definition_->fields;
  if (vertical_) {
    for (size_t i = 0; i < fields.size(); ++i)
      out_ << "<tr><th scope=\"row\" title=\"" << HtmlEscape(fields[i].meaning) << "\">"
           << fields[i].name << "</th><td>" << HtmlEscape(CellText(fields[i], r.values[i]))
           << "</td></tr>\n";
    return;
  }
  bool flagged = false;
  for (size_t i = 0; i < fields.size(); ++i)
    flagged |= IsMarkField(fields[i]) && r.values[i] == "true";
  out_ << (flagged ? "<tr class=\"flag\">" : "<tr>");
  for (size_t i = 0; i < fields.size(); ++i) {
    const bool mark = IsMarkField(fields[i]) && r.values[i] == "true";
    out_ << "<td";
    if (fields[i].type == FieldType::kDateTime)
      out_ << " data-k=\"" << HtmlEscape(DateSortKey(r.values[i])) << "\"";
    if (mark)
      out_ << " class=\"flag\"";
    out_ << ">" << HtmlEscape(CellText(fields[i], r.values[i])) << "</td>";
  }
  out_ << "</tr>\n";
}

void PageWriter::EndTable(const std::string& problem) {
  if (rows_ == 0)
    out_ << "<p>No records.</p>\n";
  else
    out_ << "</tbody></table>\n";
  if (rows_ > kPageRows)
    out_ << "<p>" << rows_ << " records; the first " << kPageRows
         << " are shown. <code>kovra-report table REPORT " << definition_->name
         << "</code> lists them all.</p>\n";
  if (!problem.empty())
    out_ << "<p class=\"failed\">" << HtmlEscape(problem) << "</p>\n";
  out_ << "</section>\n";
  definition_ = nullptr;
}

void PageWriter::TextFile(const std::string& title, const std::string& text) {
  out_ << "<section><h2>" << HtmlEscape(title) << "</h2>\n<pre tabindex=\"0\">" << HtmlEscape(text)
       << "</pre></section>\n";
}

void PageWriter::End(const std::vector<std::string>& listing) {
  out_ << "<section><h2>Archive</h2>\n<pre id=\"listing\" tabindex=\"0\">";
  for (const std::string& e : listing)
    out_ << HtmlEscape(e) << "\n";
  out_ << "</pre></section>\n</main>\n<script>\n" << kScript << "</script>\n</body></html>\n";
}

}  // namespace kovra

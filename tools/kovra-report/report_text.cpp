#include "report_text.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "base/text.h"

namespace kovra {

namespace {

// Code page 1252's characters 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}

bool IsStarRule(const std::string& line) {
  return line.size() == 81 && line.find_first_not_of('*') == std::string::npos;
}

// The name of a block header line, or empty.
std::string HeaderName(const std::string& line) {
  static const std::regex kHeaders[] = {
      std::regex("^=====\\s*(.+?)\\s*=====$"), std::regex("^====(.+)====$"),
      std::regex("^-{10}\\s*(.+?)\\s*-{10}$"), std::regex("^\\[(.+)\\]$")};
  std::smatch m;
  for (const std::regex& r : kHeaders) {
    if (std::regex_match(line, m, r))
      return m[1];
  }
  return std::string();
}

const std::regex kProcessRow("^[0-9a-f]+ .*\\| .*M, *[0-9]+M\\| .*$");
const std::regex kServiceRow("^.* [0-9A-F]+  -?[0-9]+  -?[0-9]+ -?[0-9]+ .*$");

}  // namespace

bool DetectEncoding(std::string_view b, int code_page, TextEncoding& encoding, size_t& mark_size) {
  mark_size = 0;
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
      static_cast<unsigned char>(b[1]) == 0xFE) {
    encoding = TextEncoding::kUtf16Le;
    mark_size = 2;
  } else if (StartsWith(b, "\xEF\xBB\xBF")) {
    encoding = TextEncoding::kUtf8;
    mark_size = 3;
  } else if (code_page == 65001) {
    encoding = TextEncoding::kUtf8;
  } else if (code_page == 1252) {
    encoding = TextEncoding::kCp1252;
  } else if (code_page == 437) {
    encoding = TextEncoding::kCp437;
  } else {
    return false;
  }
  return true;
}

std::string DecodePiece(std::string_view b, TextEncoding encoding) {
  std::u16string wide;
  switch (encoding) {
    case TextEncoding::kUtf8:
      return std::string(b);
    case TextEncoding::kUtf16Le:
      for (size_t i = 0; i + 1 < b.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(b[i]) |
                                      static_cast<unsigned char>(b[i + 1]) << 8);
      break;
    case TextEncoding::kCp437:
      return Cp437ToUtf8(b);
    case TextEncoding::kCp1252:
      for (const char c : b) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
          wide += static_cast<char16_t>(u);
        else
          wide += u < 0xA0 ? kCp1252High[u - 0x80] : static_cast<char16_t>(u);
      }
      break;
  }
  return Utf16ToUtf8(wide);
}

bool DecodeReportText(std::string_view b, int code_page, std::string& text, std::string& error) {
  TextEncoding encoding;
  size_t mark = 0;
  if (!DetectEncoding(b, code_page, encoding, mark)) {
    error = StrPrintf("code page %d is not one this reader knows (1252, 437, 65001)", code_page);
    return false;
  }
  text = DecodePiece(b.substr(mark), encoding);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else {
      out += text[i];
    }
  }
  text = std::move(out);
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<ReportSection> SplitSections(const std::vector<std::string>& lines) {
  std::vector<ReportSection> sections{{"Header", {}}};
  bool after_rule = false;
  for (const std::string& line : lines) {
    if (IsStarRule(line)) {
      after_rule = true;
      continue;
    }
    std::string name = HeaderName(line);
    if (!name.empty()) {
      sections.push_back({name, {}});
      after_rule = false;
      continue;
    }
    if (after_rule && !line.empty()) {
      // A star rule without a header: the block is named by its first line.
      const std::string first = std::regex_match(line, kProcessRow)   ? "Processes"
                                : std::regex_match(line, kServiceRow) ? "Services"
                                : line.find(':') != std::string::npos
                                    ? line.substr(0, line.find(':'))
                                    : "Section";
      sections.push_back({first, {}});
      after_rule = false;
    }
    sections.back().lines.push_back(line);
  }
  return sections;
}

ReportFacts ReadFacts(const std::vector<std::string>& main_info,
                      const std::vector<std::string>& error_log) {
  ReportFacts f;
  auto value = [](const std::string& line, std::string_view label) {
    return StartsWith(line, label) ? line.substr(label.size()) : std::string();
  };
  std::string product;
  std::string section;
  for (const std::string& line : main_info) {
    if (std::string v = value(line, "OS Name:\t"); !v.empty())
      f.os_name = v;
    if (std::string v = value(line, "OS Version:\t"); !v.empty())
      f.os_version = v;
    if (std::string v = value(line, "ComputerName:\t"); !v.empty())
      f.computer = v;
    if (std::string v = value(line, "Cur Users:\t"); !v.empty())
      f.users = v;
    if (std::string v = value(line, "User Level:\t"); !v.empty())
      f.level = v;
    if (std::string v = value(line, "Version:"); !v.empty() && f.tool_version.empty())
      f.tool_version = v;
    if (std::string v = value(line, "Date:"); !v.empty() && f.date.empty())
      f.date = v;
    const std::string header = HeaderName(line);
    if (!header.empty()) {
      section = header;
      if (StartsWith(line, "====") && !StartsWith(line, "====="))
        product = header;
      continue;
    }
    if (IsStarRule(line)) {
      section.clear();
      continue;
    }
    if (std::string v = value(line, "Display Version:\t");
        !product.empty() && StartsWith(line, "Display Version:"))
      f.products.push_back(product + " " + v);
    if (std::string v = value(line, "Exefile Version:\t");
        !product.empty() && StartsWith(line, "Exefile Version:")) {
      if (!f.products.empty())
        f.products.back() += " (file " + v + ")";
      product.clear();
    }
    if (std::regex_match(line, kProcessRow))
      ++f.processes;
    else if (section.empty() && std::regex_match(line, kServiceRow))
      ++f.services;
    if (section == "BHOs" && !line.empty())
      ++f.helpers;
    if ((section == "Startup" || section == "Run" || section == "RunOnce" ||
         section == "RunOnceEx" || section == "policies Run" || section == "NT Run" ||
         section == "Windows Shell") &&
        !line.empty())
      ++f.autoruns;
    if (line.find("   Ver:") != std::string::npos && line.find("   MD5:") != std::string::npos &&
        line.find("   DT:") != std::string::npos)
      ++f.inventory;
  }
  for (const std::string& line : error_log) {
    if (StartsWith(line, "!!Error:"))
      f.failed_stages.push_back(line);
  }
  return f;
}

std::string SummaryText(const ReportFacts& f) {
  std::string s;
  s += "OS:           " + f.os_name + " (" + f.os_version + ")\n";
  s += "Computer:     " + f.computer + "\n";
  s += "User:         " + f.users + ", level " + f.level + "\n";
  s += "Tool:         " + f.tool_version + ", report of " + f.date + "\n";
  s += "Products:     " + (f.products.empty() ? std::string("none found") : std::string()) + "\n";
  for (const std::string& p : f.products)
    s += "              " + p + "\n";
  s += StrPrintf(
      "Processes:    %zu\nServices:     %zu\nAutostart:    %zu\nBHOs:         %zu\n"
      "Inventory:    %zu\n",
      f.processes, f.services, f.autoruns, f.helpers, f.inventory);
  s += "Failed:       ";
  if (f.failed_stages.empty())
    s += "none";
  for (const std::string& m : f.failed_stages)
    s += m + " ";
  s += StrPrintf("\nArchive:      %zu entries, %llu bytes\n", f.entries,
                 static_cast<unsigned long long>(f.bytes));
  return s;
}

std::string StableLine(const std::string& section, const std::string& line) {
  if (StartsWith(line, "Date:") || StartsWith(line, "Free Size:") || StartsWith(line, "VFree") ||
      StartsWith(line, "PF Free:") || StartsWith(line, "Free Space:") ||
      StartsWith(line, "Virtual memory:") || StartsWith(line, "GlobalAtomInfo:"))
    return std::string();
  if (section == "Processes" && std::regex_match(line, kProcessRow)) {
    // Name and folder only: ids, counts, memory and age change from run to run.
    static const std::regex row("^[0-9a-f]+ (.*?) +[0-9].*\\| [^,]*,[0-9:. ]+(ms|s|min|h) ?(.*)$");
    std::smatch m;
    if (std::regex_match(line, m, row))
      return m[1].str() + " " + m[3].str();
  }
  const size_t dt = line.find("   DT:");
  if (dt != std::string::npos)
    return line.substr(0, dt);
  return line;
}

std::string DiffSections(const std::vector<ReportSection>& old_sections,
                         const std::vector<ReportSection>& new_sections) {
  std::map<std::string, std::multiset<std::string>> before, after;
  std::vector<std::string> order;
  auto collect = [&](const std::vector<ReportSection>& sections, auto& into) {
    for (const ReportSection& s : sections) {
      if (!into.count(s.name) && std::find(order.begin(), order.end(), s.name) == order.end())
        order.push_back(s.name);
      for (const std::string& line : s.lines) {
        std::string stable = StableLine(s.name, line);
        if (!stable.empty())
          into[s.name].insert(stable);
      }
    }
  };
  collect(old_sections, before);
  collect(new_sections, after);
  std::string out;
  for (const std::string& name : order) {
    std::string block;
    const auto& b = before[name];
    const auto& a = after[name];
    for (const std::string& line : b) {
      if (a.count(line) < b.count(line) && block.find("- " + line + "\n") == std::string::npos)
        block += "- " + line + "\n";
    }
    for (const std::string& line : a) {
      if (b.count(line) < a.count(line) && block.find("+ " + line + "\n") == std::string::npos)
        block += "+ " + line + "\n";
    }
    if (!block.empty())
      out += "--- " + name + "\n" + block;
  }
  return out;
}

std::string DiffEntries(const std::vector<std::string>& old_entries,
                        const std::vector<std::string>& new_entries) {
  const std::set<std::string> b(old_entries.begin(), old_entries.end());
  const std::set<std::string> a(new_entries.begin(), new_entries.end());
  std::string out;
  for (const std::string& e : b) {
    if (!a.count(e))
      out += "- " + e + "\n";
  }
  for (const std::string& e : a) {
    if (!b.count(e))
      out += "+ " + e + "\n";
  }
  return out.empty() ? out : "--- archive entries\n" + out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string HtmlPage(const ReportFacts& facts, const std::vector<ReportSection>& main_info,
                     const std::vector<PageFile>& files, const std::vector<std::string>& listing) {
  std::string h =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Kovra report</title><style>"
      "body{font:13px sans-serif;margin:16px}pre{background:#f6f6f6;padding:8px;overflow:auto}"
      "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px;font:12px "
      "monospace;white-space:pre}th{cursor:pointer;background:#eee}input{margin:4px 0}"
      "</style></head><body>\n<h1>Kovra report</h1>\n<h2>Summary</h2>\n<pre id=\"summary\">" +
      HtmlEscape(SummaryText(facts)) + "</pre>\n";
  const std::set<std::string> tables = {"Processes",    "Services", "Startup",
                                        "Run",          "RunOnce",  "RunOnceEx",
                                        "policies Run", "NT Run",   "Windows Shell"};
  int id = 0;
  for (const ReportSection& s : main_info) {
    h += "<h2>" + HtmlEscape(s.name) + "</h2>\n";
    const bool inventory = !s.lines.empty() && s.lines[0].find("   MD5:") != std::string::npos;
    if (tables.count(s.name) || inventory) {
      const std::string tid = "t" + std::to_string(id++);
      h += "<input placeholder=\"filter\" oninput=\"filterTable('" + tid +
           "',this.value)\"><table id=\"" + tid + "\"><tr><th onclick=\"sortTable('" + tid +
           "')\">" + HtmlEscape(s.name) + " (click to sort)</th></tr>\n";
      for (const std::string& line : s.lines) {
        if (!line.empty())
          h += "<tr><td>" + HtmlEscape(line) + "</td></tr>\n";
      }
      h += "</table>\n";
    } else {
      std::string text;
      for (const std::string& line : s.lines)
        text += line + "\n";
      h += "<pre>" + HtmlEscape(text) + "</pre>\n";
    }
  }
  for (const PageFile& f : files)
    h += "<h2>" + HtmlEscape(f.name) + "</h2>\n<pre>" + HtmlEscape(f.text) + "</pre>\n";
  h += "<h2>Archive</h2>\n<pre id=\"listing\">";
  for (const std::string& e : listing)
    h += HtmlEscape(e) + "\n";
  h += "</pre>\n<script>\n"
       "function filterTable(id,q){q=q.toLowerCase();for(const r of "
       "document.getElementById(id).rows){if(r.cells[0].tagName=='TH')continue;"
       "r.style.display=r.textContent.toLowerCase().includes(q)?'':'none';}}\n"
       "function sortTable(id){const t=document.getElementById(id);const rows=[...t.rows]"
       ".slice(1);const asc=t.dataset.asc!=='1';t.dataset.asc=asc?'1':'0';rows.sort((a,b)=>"
       "(asc?1:-1)*a.textContent.localeCompare(b.textContent));for(const r of rows)"
       "t.tBodies[0].appendChild(r);}\n</script>\n</body></html>\n";
  return h;
}

}  // namespace kovra

#include "report_text.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "base/report_file_names.h"
#include "base/text.h"
#include "report_regex.h"
#include "report_records.h"
#include "tables/autostart.h"
#include "tables/helpers.h"
#include "tables/processes.h"
#include "tables/products.h"
#include "tables/system.h"

namespace kovra {

namespace {

// Code page 1252's characters 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

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

bool TextDecoder::Feed(std::string_view piece, std::string& out, std::string& error) {
  std::string bytes = carry_ + std::string(piece);
  carry_.clear();
  size_t start = 0;
  if (first_) {
    first_ = false;
    if (!DetectEncoding(bytes, code_page_, encoding_, start)) {
      error = StrPrintf("code page %d is not one this reader knows (1252, 437, 65001)", code_page_);
      return false;
    }
  }
  size_t keep = 0;
  if (encoding_ == TextEncoding::kUtf16Le) {
    keep = (bytes.size() - start) % 2;
    const size_t end = bytes.size() - keep;
    if (end >= start + 2) {
      const auto hi = static_cast<unsigned char>(bytes[end - 1]);
      if (hi >= 0xD8 && hi <= 0xDB)
        keep += 2;  // a high surrogate waits for its pair
    }
  } else if (encoding_ == TextEncoding::kUtf8) {
    size_t i = bytes.size();
    while (i > start && bytes.size() - i < 3 &&
           (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80)
      --i;
    if (i > start && static_cast<unsigned char>(bytes[i - 1]) >= 0xC0)
      keep = bytes.size() - i + 1;
  }
  carry_ = bytes.substr(bytes.size() - keep);
  const std::string text =
      DecodePiece(std::string_view(bytes).substr(start, bytes.size() - keep - start), encoding_);
  for (const char c : text) {
    if (c == '\n' && pending_cr_) {
      pending_cr_ = false;
      continue;
    }
    pending_cr_ = c == '\r';
    out += pending_cr_ ? '\n' : c;
  }
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::vector<ReportSection> SplitSections(const std::vector<std::string>& lines) {
  std::vector<ReportSection> sections;
  BlockTracker tracker;
  std::string autostart;  // the autostart section being read ("Run")
  for (const std::string& line : lines) {
    const BlockTracker::Step step = tracker.Next(line);
    if (step.rule)
      continue;
    if (step.changed)
      autostart.clear();
    std::string name =
        step.block == TableId::kUnparsed ? "Other lines" : Definition(step.block).title;
    if (step.block == TableId::kAutostart) {
      // The section headers name the sections; they are not lines of them.
      if (std::optional<std::string> opened = AutostartSectionOf(line)) {
        autostart = std::move(*opened);
        continue;
      }
      if (line == kAutostartHeader)
        continue;
      if (!autostart.empty())
        name += ": " + autostart;
    }
    if (step.block == TableId::kHelpers && line == kHelpersHeader)
      continue;
    if (sections.empty() || sections.back().name != name)
      sections.push_back({name, {}});
    sections.back().lines.push_back(line);
  }
  return sections;
}

void AddRecordFacts(const Record& r, ReportFacts& f) {
  switch (r.table) {
    case TableId::kSystem:
      f.os_name = r.Get(kSystem["os_name"]);
      f.os_version = r.Get(kSystem["os_version"]);
      f.computer = r.Get(kSystem["computer"]);
      if (!r.Get(kSystem["session_user"]).empty() || !r.Get(kSystem["process_user"]).empty())
        f.users = r.Get(kSystem["session_user"]) + "[" + r.Get(kSystem["process_user"]) + "]";
      f.level = r.Get(kSystem["user_level"]);
      f.tool_version = r.Get(kSystem["tool_version"]);
      f.date = r.Get(kSystem["date"]);
      break;
    case TableId::kProducts:
      f.products.push_back(r.Get(kProducts["name"]) + " " + r.Get(kProducts["display_version"]) +
                           " (file " + r.Get(kProducts["file_version"]) + ")");
      break;
    case TableId::kProcesses:
      ++f.processes;
      break;
    case TableId::kServices:
      ++f.services;
      break;
    case TableId::kAutostart:
      ++f.autoruns;
      break;
    case TableId::kHelpers:
      ++f.helpers;
      break;
    case TableId::kInventory:
      ++f.inventory;
      break;
    case TableId::kUnparsed:
      ++f.unparsed;
      break;
    default:
      break;
  }
}

ReportFacts ReadFacts(const std::vector<std::string>& main_info,
                      const std::vector<std::string>& error_log) {
  ReportFacts f;
  auto parser = MakeParser(SourceFile::kMainInfo, report_files::kMainInfo,
                           [&](const Record& r) { AddRecordFacts(r, f); });
  for (const std::string& line : main_info)
    parser->Line(line);
  parser->End();
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

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += StrPrintf("\\u%04x", c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // C1 controls written as escapes, so that the output is safe on a terminal.
      out += StrPrintf("\\u%04x", static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string SummaryJson(const ReportFacts& f, const std::string& run_log) {
  auto list = [](const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
      out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
  };
  std::string s = "{\n";
  s += "  \"os_name\": " + JsonString(f.os_name) + ",\n";
  s += "  \"os_version\": " + JsonString(f.os_version) + ",\n";
  s += "  \"computer\": " + JsonString(f.computer) + ",\n";
  s += "  \"users\": " + JsonString(f.users) + ",\n";
  s += "  \"user_level\": " + JsonString(f.level) + ",\n";
  s += "  \"tool_version\": " + JsonString(f.tool_version) + ",\n";
  s += "  \"date\": " + JsonString(f.date) + ",\n";
  s += "  \"products\": " + list(f.products) + ",\n";
  s += StrPrintf(
      "  \"counts\": {\"processes\": %zu, \"services\": %zu, \"autostart\": %zu, "
      "\"helpers\": %zu, \"inventory\": %zu, \"unparsed\": %zu},\n",
      f.processes, f.services, f.autoruns, f.helpers, f.inventory, f.unparsed);
  s += "  \"failed_stages\": " + list(f.failed_stages) + ",\n";
  s += "  \"run_log\": " + JsonString(run_log) + ",\n";
  s += StrPrintf("  \"archive\": {\"entries\": %zu, \"bytes\": %llu}\n}\n", f.entries,
                 static_cast<unsigned long long>(f.bytes));
  return s;
}

std::string StableLine(const std::string& section, const std::string& line) {
  if (StartsWith(line, "Date:") || StartsWith(line, "Free Size:") || StartsWith(line, "VFree") ||
      StartsWith(line, "PF Free:") || StartsWith(line, "Free Space:") ||
      StartsWith(line, "Virtual memory:") || StartsWith(line, "GlobalAtomInfo:"))
    return std::string();
  std::smatch m;
  if (section == Definition(TableId::kProcesses).title && MatchProcessRow(line, m)) {
    // Name and folder only: ids, counts (the number columns after the name), memory and age
    // change from run to run.
    std::string name = m[2];
    for (int column = 0; column < 3; ++column) {
      const size_t blank = name.find_last_of(' ');
      if (blank == std::string::npos ||
          name.find_first_not_of("0123456789", blank + 1) != std::string::npos)
        break;
      name = name.substr(0, name.find_last_not_of(' ', blank) + 1);
    }
    return name + " " + m[9].str();
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
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace kovra

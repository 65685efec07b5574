// What support reads out of a report: its text files as UTF-8, the main info file split into
// its sections, a one-screen summary, a section-aware comparison of two reports, and a page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovra {

// A text file of the report as UTF-8 with "\n" line ends: UTF-16 LE or UTF-8 by their
// byte-order marks, else the ANSI code page given (1252, 437 or 65001). False with a reason
// for a code page this reader does not know.
bool DecodeReportText(std::string_view bytes, int code_page, std::string& text, std::string& error);

// The encodings of report files, and the decoding of a piece of text in one (whole characters,
// no byte-order mark, line ends as they are).
enum class TextEncoding { kUtf16Le, kUtf8, kCp1252, kCp437 };
// The encoding by byte-order mark (and its length), else by code page; false for a code page
// this reader does not know.
bool DetectEncoding(std::string_view first_bytes, int code_page, TextEncoding& encoding,
                    size_t& mark_size);
std::string DecodePiece(std::string_view bytes, TextEncoding encoding);

std::vector<std::string> SplitLines(std::string_view text);

// A section of the main info file: its name and its lines.
struct ReportSection {
  std::string name;
  std::vector<std::string> lines;
};
// Sections open at star rules and at block headers ("===== X =====", "====X====",
// "---------- X ----------", "[X]"); lines before the first one form "Header".
std::vector<ReportSection> SplitSections(const std::vector<std::string>& lines);

// The facts of the summary.
struct ReportFacts {
  std::string os_name, os_version, computer, users, level, tool_version, date;
  std::vector<std::string> products;  // "ZTN 8.1.0 (file 8.1.0.22)"
  size_t processes = 0, services = 0, autoruns = 0, helpers = 0, inventory = 0;
  std::vector<std::string> failed_stages;
  size_t entries = 0;
  uint64_t bytes = 0;
};
ReportFacts ReadFacts(const std::vector<std::string>& main_info,
                      const std::vector<std::string>& error_log);
std::string SummaryText(const ReportFacts& facts);

// The lines of the main info file with volatile columns left out (process times and memory,
// dates), so that two reports of one machine compare by what matters.
std::string StableLine(const std::string& section, const std::string& line);

// "+"/"-" lines under the section they belong to; empty when the two are the same.
std::string DiffSections(const std::vector<ReportSection>& old_sections,
                         const std::vector<ReportSection>& new_sections);
// Entries added to or gone from the archive.
std::string DiffEntries(const std::vector<std::string>& old_entries,
                        const std::vector<std::string>& new_entries);

// A self-contained page: the summary, the table sections as sortable, filterable tables, the
// other files as text, and the archive listing.
struct PageFile {
  std::string name, text;
};
std::string HtmlPage(const ReportFacts& facts, const std::vector<ReportSection>& main_info,
                     const std::vector<PageFile>& files, const std::vector<std::string>& listing);

std::string HtmlEscape(std::string_view text);

}  // namespace kovra

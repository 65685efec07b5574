// What support reads out of a report: its text files as UTF-8, the main info file split into
// its sections, a one-screen summary, a section-aware comparison of two reports, and a page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report_records.h"

namespace kovra {

// A text file of the report as UTF-8 with "\n" line ends: UTF-16 LE or UTF-8 by their
// byte-order marks, else the ANSI code page given (1252, 437 or 65001). False with a reason
// for a code page this reader does not know.
[[nodiscard]] bool DecodeReportText(std::string_view bytes, int code_page, std::string& text,
                                    std::string& error);

// The encodings of report files, and the decoding of a piece of text in one (whole characters,
// no byte-order mark, line ends as they are).
enum class TextEncoding { kUtf16Le, kUtf8, kCp1252, kCp437 };
// The encoding by byte-order mark (and its length), else by code page; false for a code page
// this reader does not know.
[[nodiscard]] bool DetectEncoding(std::string_view first_bytes, int code_page,
                                  TextEncoding& encoding, size_t& mark_size);
std::string DecodePiece(std::string_view bytes, TextEncoding encoding);

// The lines of a whole text (ForEachLine).
std::vector<std::string> SplitLines(std::string_view text);

// Decodes a text file piece by piece as it is inflated: whole characters only (an odd byte of
// UTF-16 or a cut UTF-8 sequence waits for the next piece), the encoding detected on the first
// piece, and CR LF, CR or LF as one "\n" even across pieces.
class TextDecoder {
 public:
  explicit TextDecoder(int code_page) : code_page_(code_page) {}
  // The decoded text of `piece` (appended to `out`); false with a reason for an unknown code
  // page.
  [[nodiscard]] bool Feed(std::string_view piece, std::string& out, std::string& error);

 private:
  int code_page_;
  bool first_ = true, pending_cr_ = false;
  TextEncoding encoding_ = TextEncoding::kCp1252;
  std::string carry_;
};

// The one way the reader splits text into lines: as it arrives, at "\n", a "\r" before it
// dropped; a line longer than `max_line` bytes is cut there (the rest of it is passed over), so
// that one endless line cannot fill the memory. A last line without a line end is a line when
// it is not empty.
class LineSplitter {
 public:
  explicit LineSplitter(size_t max_line = std::string::npos) : max_line_(max_line) {}
  template <typename F>
  void Feed(std::string_view text, F&& line) {
    for (const char c : text) {
      if (c == '\n') {
        Give(line);
      } else if (current_.size() < max_line_) {
        current_ += c;
      }
    }
  }
  template <typename F>
  void Finish(F&& line) {
    if (!current_.empty())
      Give(line);
  }

 private:
  template <typename F>
  void Give(F&& line) {
    if (!current_.empty() && current_.back() == '\r')
      current_.pop_back();
    line(std::string_view(current_));
    current_.clear();
  }
  size_t max_line_;
  std::string current_;
};

// Each line of a whole text, split as LineSplitter does.
template <typename F>
void ForEachLine(std::string_view text, F&& line) {
  LineSplitter splitter;
  splitter.Feed(text, line);
  splitter.Finish(line);
}

// A section of the main info file: its name and its lines.
struct ReportSection {
  std::string name;
  std::vector<std::string> lines;
};
// The main info file's lines by block, the blocks found as the records parser finds them
// (BlockTracker) and named by their table's title; the autostart block by its sections as
// well ("Autostart: Run"), the lines of no known block "Other lines".
std::vector<ReportSection> SplitSections(const std::vector<std::string>& lines);

// The facts of the summary.
struct ReportFacts {
  std::string os_name, os_version, computer, users, level, tool_version, date;
  std::vector<std::string> products;  // "ZTN 8.1.0 (file 8.1.0.22)"
  size_t processes = 0, services = 0, autoruns = 0, helpers = 0, inventory = 0;
  size_t unparsed = 0;  // lines of the main info file that fit no pattern
  std::vector<std::string> failed_stages;
  size_t entries = 0;
  uint64_t bytes = 0;
};
// The facts of the main info file come from its records (report_records.h).
void AddRecordFacts(const Record& record, ReportFacts& facts);
ReportFacts ReadFacts(const std::vector<std::string>& main_info,
                      const std::vector<std::string>& error_log);
std::string SummaryText(const ReportFacts& facts);
// The same facts as one JSON object (field names in the README); `run_log` is the run log's
// summary text, given as it is.
std::string SummaryJson(const ReportFacts& facts, const std::string& run_log = std::string());
// A JSON string literal; control characters (C0, DEL, C1) escaped.
std::string JsonString(std::string_view text);

// The lines of the main info file with volatile columns left out (process times and memory,
// dates), so that two reports of one machine compare by what matters.
std::string StableLine(const std::string& section, const std::string& line);

// "+"/"-" lines under the section they belong to; empty when the two are the same.
std::string DiffSections(const std::vector<ReportSection>& old_sections,
                         const std::vector<ReportSection>& new_sections);
// Entries added to or gone from the archive.
std::string DiffEntries(const std::vector<std::string>& old_entries,
                        const std::vector<std::string>& new_entries);

std::string HtmlEscape(std::string_view text);

}  // namespace kovra

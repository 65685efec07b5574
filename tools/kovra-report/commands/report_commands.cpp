// The commands on one report (or two, for diff): kind, summary, list, show, diff, table, view,
// decode, extract.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/report_file_names.h"
#include "commands/command_table.h"
#include "commands/open_report.h"
#include "commands/report_progress.h"
#include "page/report_page.h"
#include "report_output.h"
#include "report_scan.h"
#include "run_log_text.h"

namespace fs = std::filesystem;

namespace kovra {

namespace {

// The code page of --codepage, 1252 without it; nullopt for a value that is not a number.
std::optional<int> CodePage(const Invocation& in) {
  const std::optional<std::string> value = in.Value("--codepage");
  if (!value)
    return 1252;
  char* end = nullptr;
  const long n = std::strtol(value->c_str(), &end, 10);
  if (value->empty() || *end != '\0' || n <= 0 || n > 65535)
    return std::nullopt;
  return static_cast<int>(n);
}

Exit Kind(const Invocation& in) {
  OpenReport r;
  std::string error;
  if (!r.report.Open(in.arguments[0], error))
    return Fail(error);
  std::printf("%s\n", r.report.kind() == ReportKind::kContainer ? "DES container" : "ZIP archive");
  return Exit::kDone;
}

Exit List(const Invocation& in) {
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  for (const ZipEntry& e : r.zip.entries()) {
    std::printf("%12llu  %08X  %s\n", static_cast<unsigned long long>(e.uncompressed_size), e.crc32,
                TerminalSafe(EntryNameUtf8(e)).c_str());
  }
  return Exit::kDone;
}

Exit Summary(const Invocation& in) {
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  ReportFacts facts;
  const bool whole = r.Facts(facts, error);
  const std::string run = RunLogSummaryText(ReadRunLog(r.TextLines(kRunLogEntry)));
  if (in.Has("--json"))
    std::fputs(SummaryJson(facts, run).c_str(), stdout);
  else
    std::fputs(TerminalSafe(SummaryText(facts) + run, true).c_str(), stdout);
  return whole ? Exit::kDone : Fail(in.arguments[0] + ": the summary is incomplete: " + error);
}

Exit Show(const Invocation& in) {
  const std::optional<int> code_page = CodePage(in);
  if (!code_page)
    return Fail("--codepage takes a number (1252, 437 or 65001)");
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  const ZipEntry* e = r.Find(in.arguments[1], error);
  if (e == nullptr)
    return Fail(error);
  TextDecoder decoder(*code_page);
  std::string decode_error;
  const bool ok = r.zip.Stream(
      *e,
      [&](std::string_view piece) {
        std::string text;
        if (!decoder.Feed(piece, text, decode_error))
          return false;
        const std::string safe = TerminalSafe(text, true);
        return std::fwrite(safe.data(), 1, safe.size(), stdout) == safe.size();
      },
      error);
  if (!decode_error.empty())
    return Fail(decode_error);
  return ok ? Exit::kDone : Fail(error.empty() ? "cannot write the output" : error);
}

Exit Diff(const Invocation& in) {
  OpenReport before, after;
  std::string error;
  if (!before.Open(in.arguments[0], error) || !after.Open(in.arguments[1], error))
    return Fail(error);
  const std::string sections =
      DiffSections(SplitSections(before.TextLines(report_files::kMainInfo)),
                   SplitSections(after.TextLines(report_files::kMainInfo)));
  const std::string entries = DiffEntries(before.Names(), after.Names());
  // The run log by what happened, not by how long it took.
  const std::string run =
      DiffRunLogs(before.TextLines(kRunLogEntry), after.TextLines(kRunLogEntry));
  std::fputs(TerminalSafe(sections + entries + run, true).c_str(), stdout);
  return sections.empty() && entries.empty() && run.empty() ? Exit::kDone : Exit::kFound;
}

Exit Table(const Invocation& in) {
  const TableDefinition* definition = FindTable(in.arguments[1]);
  if (definition == nullptr)
    return Fail("no table named " + in.arguments[1] + " (kovra-report --help lists them)");
  if (in.Has("--csv") && in.Has("--json"))
    return Fail("table takes --csv or --json, not both");
  const std::optional<int> code_page = CodePage(in);
  if (!code_page)
    return Fail("--codepage takes a number (1252, 437 or 65001)");
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  const TableFormat format = in.Has("--csv")    ? TableFormat::kCsv
                             : in.Has("--json") ? TableFormat::kJson
                                                : TableFormat::kText;
  TableWriter writer(*definition, format, stdout);
  const bool ok = ForEachRecord(
      r.zip, definition, [&](const Record& record) { writer.Write(record); }, error, *code_page);
  (void)writer.Finish();  // the count is for callers that report it; the rows are out
  return ok ? Exit::kDone : Fail(error);
}

// The page in one pass over the report: each table's rows are rendered into a buffer of their
// own as the records arrive (at most kPageRows each), the summary's facts gathered on the way.
Exit View(const Invocation& in) {
  const std::string target = in.Value("-o").value_or("");
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  struct TablePage {
    std::ostringstream html;
    PageWriter writer{html};
  };
  std::vector<std::unique_ptr<TablePage>> tables;
  for (const TableDefinition& definition : Tables()) {
    tables.push_back(std::make_unique<TablePage>());
    tables.back()->writer.BeginTable(definition);
  }
  ReportFacts facts = r.ArchiveFacts();
  const bool whole = ForEachRecord(
      r.zip, nullptr,
      [&](const Record& record) {
        AddRecordFacts(record, facts);
        tables[static_cast<size_t>(record.table)]->writer.Row(record);
      },
      error);
  std::ofstream out(fs::u8path(target), std::ios::binary | std::ios::trunc);
  if (!out)
    return Fail("cannot write " + target);
  PageWriter page(out);
  page.Begin(facts, RunLogSummaryText(ReadRunLog(r.TextLines(kRunLogEntry))));
  for (const std::unique_ptr<TablePage>& t : tables) {
    t->writer.EndTable(whole ? std::string() : "Not all of it could be read: " + error);
    out << t->html.str();
  }
  // The other text files as they are; the parsed ones are in the tables above.
  std::vector<std::string> listing;
  for (const ZipEntry& e : r.zip.entries()) {
    const std::string name = EntryNameUtf8(e);
    listing.push_back(std::to_string(e.uncompressed_size) + "  " + name);
    SourceFile source;
    const bool text = name.size() > 4 && (name.substr(name.size() - 4) == ".txt" ||
                                          name.substr(name.size() - 4) == ".log" ||
                                          name.substr(name.size() - 4) == ".ini");
    if (text && e.uncompressed_size <= (4u << 20) && !SourceOfEntry(name, source)) {
      std::string joined;
      for (const std::string& line : r.TextLines(name))
        joined += line + "\n";
      page.TextFile(name, joined);
    }
  }
  page.End(listing);
  out.close();
  if (!out)
    return Fail("cannot write " + target);
  if (!whole)
    return Fail(in.arguments[0] + ": the page was written, but " + error);
  return Exit::kDone;
}

Exit Decode(const Invocation& in) {
  const std::string target = in.Value("-o").value_or("");
  OpenReport r;
  std::string error;
  if (!r.report.Open(in.arguments[0], error))
    return Fail(error);
  std::ofstream out(fs::u8path(target), std::ios::binary | std::ios::trunc);
  if (!out)
    return Fail("cannot write " + target);
  ZipInput& archive = r.report.archive();
  std::string chunk;
  for (uint64_t at = 0; at < archive.Size(); at += chunk.size()) {
    chunk.resize(static_cast<size_t>(std::min<uint64_t>(1 << 20, archive.Size() - at)));
    if (!archive.ReadAt(at, chunk.data(), chunk.size()))
      return Fail("cannot read " + in.arguments[0]);
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  out.close();
  return out ? Exit::kDone : Fail("cannot write " + target);
}

Exit Extract(const Invocation& in) {
  OpenReport r;
  std::string error;
  if (!r.Open(in.arguments[0], error))
    return Fail(error);
  const std::string& folder = in.arguments[1];
  const fs::path root = fs::u8path(folder);
  std::error_code ec;
  fs::create_directories(root, ec);
  // Check every entry before writing anything.
  for (const ZipEntry& e : r.zip.entries()) {
    std::string relative;
    if (!SafeRelativePath(EntryNameUtf8(e), relative))
      return Fail("entry name '" + EntryNameUtf8(e) + "' would escape " + folder);
  }
  uint64_t total = 0, done = 0;
  for (const ZipEntry& e : r.zip.entries())
    total += e.uncompressed_size;
  Progress progress(ProgressUnit::kMegabytes, total);
  int failures = 0;
  for (const ZipEntry& e : r.zip.entries()) {
    std::string relative;
    if (!SafeRelativePath(EntryNameUtf8(e), relative)) {
      progress.Clear();
      return Fail("entry name '" + EntryNameUtf8(e) + "' would escape " + folder);
    }
    const fs::path target = root / fs::u8path(relative);
    // Never write through a link that an earlier entry or the folder itself placed there.
    for (fs::path p = target.parent_path(); p != root && !p.empty(); p = p.parent_path()) {
      if (fs::is_symlink(p, ec)) {
        progress.Clear();
        return Fail("refusing to write through the link " + p.string());
      }
    }
    fs::create_directories(target.parent_path(), ec);
    std::ofstream out;
    if (!fs::is_symlink(target, ec))
      out.open(target, std::ios::binary | std::ios::trunc);
    error.clear();
    const bool read =
        out && r.zip.Stream(
                   e,
                   [&](std::string_view piece) {
                     out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
                     done += piece.size();
                     progress.Update(done, relative);
                     return static_cast<bool>(out);
                   },
                   error);
    out.close();
    if (!read || !out) {
      progress.Clear();
      Fail(error.empty() ? "cannot write " + target.string() : error);
      ++failures;
    }
  }
  return failures == 0 ? Exit::kDone : Exit::kTrouble;
}

const std::vector<Command>& Commands() {
  static const CommandOption kCodePage{"--codepage", "N"};
  static const std::vector<Command> commands = {
      {"kind", "REPORT", "what the file is (DES container or ZIP archive)", 1, 1, {}, Kind},
      {"summary",
       "REPORT [--json]",
       "one screen: system, user, products, counts, failed stages",
       1,
       1,
       {{"--json", nullptr}},
       Summary},
      {"list", "REPORT", "the archive's entries: size, CRC, stored name", 1, 1, {}, List},
      {"show",
       "REPORT ENTRY [--codepage N]",
       "one entry as UTF-8 text (a stored name or a unique file name; ANSI files decoded from "
       "code page N, default 1252); GetInfoRun.txt is the run log",
       2,
       2,
       {kCodePage},
       Show},
      {"diff",
       "OLD NEW",
       "what changed between two reports of one machine, by section",
       2,
       2,
       {},
       Diff},
      {"table",
       "REPORT TABLE [--csv|--json] [--codepage N]",
       "one table's records (tab-separated text by default; the tables are listed below)",
       2,
       2,
       {{"--csv", nullptr}, {"--json", nullptr}, kCodePage},
       Table},
      {"view",
       "REPORT -o FILE.html",
       "one self-contained page: summary, sortable tables, files",
       1,
       1,
       {{"-o", "FILE", true}},
       View},
      {"decode",
       "REPORT -o OUT.zip",
       "the archive inside the report",
       1,
       1,
       {{"-o", "FILE", true}},
       Decode},
      {"extract", "REPORT DIR", "every entry, checked, below DIR", 2, 2, {}, Extract},
  };
  return commands;
}

}  // namespace

std::span<const Command> ReportCommands() {
  return Commands();
}

}  // namespace kovra

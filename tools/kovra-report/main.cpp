// kovra-report: support's reader for the reports the tool writes. Every command reads the report
// piece by piece (the container deciphered where the archive is read), with bounded memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifdef KOVRA_REPORT_INDEX
#include <unistd.h>

#include "index_query.h"
#include "report_index.h"
#endif

#include "archive/zip_reader.h"
#include "report_file.h"
#include "report_output.h"
#include "report_page.h"
#include "report_scan.h"
#include "report_text.h"
#include "run_log_text.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "usage: kovra-report COMMAND REPORT ...\n"
    "  kind REPORT                 what the file is (DES container or ZIP archive)\n"
    "  summary REPORT [--json]     one screen: system, user, products, counts, failed stages\n"
    "  list REPORT                 the archive's entries: size, CRC, stored name\n"
    "  show REPORT ENTRY [--codepage N]\n"
    "                              one entry as UTF-8 text (a stored name or a unique file\n"
    "                              name; ANSI files decoded from code page N, default 1252);\n"
    "                              GetInfoRun.txt is the run log: stages, steps, times\n"
    "  diff OLD NEW                what changed between two reports of one machine, by section\n"
    "                              (exit 0 equal, 1 different, 2 trouble)\n"
    "  table REPORT TABLE [--csv|--json] [--codepage N]\n"
    "                              one table's records (tab-separated text by default);\n"
    "                              the tables and their fields are listed below\n"
    "  view REPORT -o FILE.html    one self-contained page: summary, sortable tables, files\n"
    "  decode REPORT -o OUT.zip    the archive inside the report\n"
    "  extract REPORT DIR          every entry, checked, below DIR\n"
    "  --help                      this text\n";

#ifdef KOVRA_REPORT_INDEX
constexpr char kIndexUsage[] =
    "\nmany reports (an SQLite index; README \"Many reports\"):\n"
    "  index DB REPORT...          adds reports to the index DB (created when missing); a\n"
    "                              report already there (same MD5) is passed over, a damaged\n"
    "                              one is named and the others added (exit 1 if any failed)\n"
    "  query DB \"SELECT ...\" [--csv|--json]\n"
    "                              one read-only statement; an aligned table by default.\n"
    "                              Tables: reports, failed_stages and one per table below\n"
    "                              (report_id, at_line, then its fields; dates as\n"
    "                              YYYY-MM-DD hh:mm:ss, as printed in <field>_text)\n"
    "  export DB --ndjson          every record as one JSON object per line, with its\n"
    "                              report_id and report_date\n";
#else
constexpr char kIndexUsage[] =
    "\nindex, query and export (many reports in an SQLite index) are not in this build: the\n"
    "Windows reader is built without SQLite. Use the Linux build of kovra-report for them.\n";
#endif

int Usage() {
  std::fputs(kUsage, stderr);
  std::fputs(kIndexUsage, stderr);
  return 2;
}

// The tables with their fields and what each holds, from the one list the parsers fill.
std::string TableHelp() {
  static const char* kTypes[] = {"text", "number", "flag", "date"};
  std::string s = "\ntables (TABLE: fields, type and meaning):\n";
  for (const kovra::TableDefinition& t : kovra::Tables()) {
    s += std::string("  ") + t.name + "  (" + t.title + ")\n";
    for (const kovra::FieldDefinition& f : t.fields)
      s += std::string("      ") + f.name +
           std::string(f.name[0] && std::strlen(f.name) < 24 ? 24 - std::strlen(f.name) : 1, ' ') +
           kTypes[static_cast<int>(f.type)] + "  " + f.meaning + "\n";
  }
  return s;
}

// Messages may carry names and texts out of the report: never raw to the terminal.
int Fail(const std::string& what, int code = 2) {
  std::fprintf(stderr, "kovra-report: %s\n", kovra::TerminalSafe(what).c_str());
  return code;
}

#ifdef KOVRA_REPORT_INDEX
std::string ExampleHelp() {
  std::string s = "\nexample questions (kovra-report query DB \"SQL\"):\n";
  for (const kovra::IndexExample& e : kovra::IndexExamples())
    s += std::string("  -- ") + e.question + "\n  " + e.sql + "\n";
  return s;
}

// One line on the terminal: a bar, how many of how many, the report's name.
void Progress(size_t done, size_t total, const std::string& name) {
  constexpr size_t kBar = 30;
  const size_t filled = done * kBar / total;
  std::string shown = kovra::TerminalSafe(name);
  if (shown.size() > 36)
    shown = "..." + shown.substr(shown.size() - 33);
  std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu %s", std::string(filled, '#').c_str(),
               std::string(kBar - filled, '.').c_str(), done, total, shown.c_str());
  std::fflush(stderr);
}

int Index(const std::vector<std::string>& args) {
  if (args.size() < 3)
    return Usage();
  kovra::ReportIndex index;
  std::string error;
  if (!index.Open(args[1], error))
    return Fail(error);
  const size_t total = args.size() - 2;
  const bool bar = total > 3 && isatty(fileno(stderr));
  size_t added = 0, known = 0, failed = 0;
  unsigned long long records = 0;
  for (size_t i = 2; i < args.size(); ++i) {
    const kovra::AddResult r = index.Add(args[i]);
    if (r.outcome == kovra::AddOutcome::kFailed) {
      if (bar)
        std::fputs("\r\033[K", stderr);
      Fail(r.error);
      ++failed;
    }
    added += r.outcome == kovra::AddOutcome::kAdded;
    known += r.outcome == kovra::AddOutcome::kKnown;
    records += r.records;
    if (bar)
      Progress(i - 1, total, args[i]);
  }
  if (bar)
    std::fputs("\r\033[K", stderr);
  std::printf("%zu added (%llu records), %zu already in the index, %zu could not be added\n", added,
              records, known, failed);
  return failed == 0 ? 0 : 1;
}

int Query(const std::vector<std::string>& args) {
  if (args.size() < 3 || args.size() > 4)
    return Usage();
  kovra::QueryFormat format = kovra::QueryFormat::kTable;
  if (args.size() == 4) {
    if (args[3] == "--csv")
      format = kovra::QueryFormat::kCsv;
    else if (args[3] == "--json")
      format = kovra::QueryFormat::kJson;
    else
      return Usage();
  }
  std::string error;
  return kovra::QueryIndex(args[1], args[2], format, stdout, error) ? 0 : Fail(error, 1);
}

int Export(const std::vector<std::string>& args) {
  if (args.size() != 3 || args[2] != "--ndjson")
    return Usage();
  std::string error;
  return kovra::ExportIndex(args[1], stdout, error) ? 0 : Fail(error, 1);
}
#endif

// A report opened with its archive's directory read.
struct OpenReport {
  kovra::Report report;
  kovra::ZipReader zip;
  bool Open(const std::string& path, std::string& error) {
    if (!report.Open(path, error))
      return false;
    if (!zip.Open(report.archive(), error)) {
      error = path + ": " + error;
      return false;
    }
    return true;
  }
  // The entry of a stored name, or of a unique file name; nullptr with a reason.
  const kovra::ZipEntry* Find(const std::string& name, std::string& error) const {
    const kovra::ZipEntry* found = nullptr;
    int matches = 0;
    for (const kovra::ZipEntry& e : zip.entries()) {
      const std::string stored = kovra::EntryNameUtf8(e);
      if (stored == name)
        return &e;
      const size_t slash = stored.rfind('/');
      if ((slash == std::string::npos ? stored : stored.substr(slash + 1)) == name) {
        found = &e;
        ++matches;
      }
    }
    if (matches == 1)
      return found;
    error = matches == 0
                ? "no entry named " + name
                : name + " names " + std::to_string(matches) + " entries; give its stored name";
    return nullptr;
  }
  // A text entry as UTF-8 lines; empty when it is not there.
  std::vector<std::string> TextLines(const std::string& name, int code_page = 1252) const {
    std::string error;
    std::vector<std::string> lines;
    const kovra::ZipEntry* e = Find(name, error);
    if (e == nullptr || !kovra::ReadEntryLines(zip, *e, code_page, lines, error))
      return {};
    return lines;
  }
  kovra::ReportFacts Facts() const {
    // The main info file streamed through its parser, so that its size does not matter.
    kovra::ReportFacts f = kovra::ReadFacts({}, TextLines("GetInfoLog.txt"));
    std::string error;
    kovra::ForEachRecordOf(
        zip, kovra::SourceFile::kMainInfo,
        [&](const kovra::Record& r) { kovra::AddRecordFacts(r, f); }, error);
    f.entries = zip.entries().size();
    for (const kovra::ZipEntry& e : zip.entries())
      f.bytes += e.uncompressed_size;
    return f;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const kovra::ZipEntry& e : zip.entries())
      names.push_back(kovra::EntryNameUtf8(e));
    return names;
  }
};

int Show(const OpenReport& r, const std::string& name, int code_page) {
  std::string error;
  const kovra::ZipEntry* e = r.Find(name, error);
  if (e == nullptr)
    return Fail(error);
  kovra::TextDecoder decoder(code_page);
  std::string decode_error;
  const bool ok = r.zip.Stream(
      *e,
      [&](std::string_view piece) {
        std::string text;
        if (!decoder.Feed(piece, text, decode_error))
          return false;
        const std::string safe = kovra::TerminalSafe(text, true);
        std::fwrite(safe.data(), 1, safe.size(), stdout);
        return true;
      },
      error);
  if (!decode_error.empty())
    return Fail(decode_error);
  if (!ok)
    return Fail(error, 1);
  return 0;
}

int Extract(const OpenReport& r, const std::string& folder) {
  const fs::path root = fs::u8path(folder);
  std::error_code ec;
  fs::create_directories(root, ec);
  // Check every entry before writing anything.
  for (const kovra::ZipEntry& e : r.zip.entries()) {
    std::string relative;
    if (!kovra::SafeRelativePath(kovra::EntryNameUtf8(e), relative))
      return Fail("entry name '" + kovra::EntryNameUtf8(e) + "' would escape " + folder, 1);
  }
  int failures = 0;
  for (const kovra::ZipEntry& e : r.zip.entries()) {
    std::string relative, error;
    kovra::SafeRelativePath(kovra::EntryNameUtf8(e), relative);
    const fs::path target = root / fs::u8path(relative);
    // Never write through a link that an earlier entry or the folder itself placed there.
    for (fs::path p = target.parent_path(); p != root && !p.empty(); p = p.parent_path()) {
      if (fs::is_symlink(p, ec))
        return Fail("refusing to write through the link " + p.string(), 1);
    }
    fs::create_directories(target.parent_path(), ec);
    std::ofstream out;
    if (!fs::is_symlink(target, ec))
      out.open(target, std::ios::binary | std::ios::trunc);
    const bool read =
        out && r.zip.Stream(
                   e,
                   [&](std::string_view piece) {
                     out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
                     return static_cast<bool>(out);
                   },
                   error);
    out.close();
    if (!read || !out) {
      Fail(error.empty() ? "cannot write " + target.string() : error, 1);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    std::fputs(kUsage, stdout);
    std::fputs(kIndexUsage, stdout);
    std::fputs(TableHelp().c_str(), stdout);
#ifdef KOVRA_REPORT_INDEX
    std::fputs(ExampleHelp().c_str(), stdout);
#endif
    return 0;
  }
  if (args.size() < 2)
    return Usage();
  const std::string& command = args[0];
#ifdef KOVRA_REPORT_INDEX
  if (command == "index")
    return Index(args);
  if (command == "query")
    return Query(args);
  if (command == "export")
    return Export(args);
#else
  if (command == "index" || command == "query" || command == "export")
    return Fail(command + " is not in this build (no SQLite); use the Linux build of kovra-report");
#endif
  std::string error;
  OpenReport report;
  if (command == "diff") {
    if (args.size() != 3)
      return Usage();
    OpenReport before, after;
    if (!before.Open(args[1], error) || !after.Open(args[2], error))
      return Fail(error);
    const std::string sections =
        kovra::DiffSections(kovra::SplitSections(before.TextLines("Kovra_Debug_Info.txt")),
                            kovra::SplitSections(after.TextLines("Kovra_Debug_Info.txt")));
    const std::string entries = kovra::DiffEntries(before.Names(), after.Names());
    // The run log by what happened, not by how long it took.
    const std::string run = kovra::DiffRunLogs(before.TextLines(kovra::kRunLogEntry),
                                               after.TextLines(kovra::kRunLogEntry));
    std::fputs(kovra::TerminalSafe(sections + entries + run, true).c_str(), stdout);
    return sections.empty() && entries.empty() && run.empty() ? 0 : 1;
  }
  if (!report.Open(args[1], error))
    return Fail(error, 1);
  if (command == "kind") {
    std::printf("%s\n", report.report.kind() == kovra::ReportKind::kContainer ? "DES container"
                                                                              : "ZIP archive");
    return 0;
  }
  if (command == "list") {
    for (const kovra::ZipEntry& e : report.zip.entries()) {
      std::printf("%12llu  %08X  %s\n", static_cast<unsigned long long>(e.uncompressed_size),
                  e.crc32, kovra::TerminalSafe(kovra::EntryNameUtf8(e)).c_str());
    }
    return 0;
  }
  if (command == "summary") {
    if (args.size() > 3 || (args.size() == 3 && args[2] != "--json"))
      return Usage();
    const kovra::ReportFacts facts = report.Facts();
    const std::string run =
        kovra::RunLogSummaryText(kovra::ReadRunLog(report.TextLines(kovra::kRunLogEntry)));
    if (args.size() == 3)
      std::fputs(kovra::SummaryJson(facts, run).c_str(), stdout);
    else
      std::fputs(kovra::TerminalSafe(kovra::SummaryText(facts) + run, true).c_str(), stdout);
    return 0;
  }
  if (command == "table") {
    if (args.size() < 3)
      return Usage();
    const kovra::TableDefinition* definition = kovra::FindTable(args[2]);
    if (definition == nullptr)
      return Fail("no table named " + args[2] + " (kovra-report --help lists them)");
    kovra::TableFormat format = kovra::TableFormat::kText;
    int code_page = 1252;
    for (size_t i = 3; i < args.size(); ++i) {
      if (args[i] == "--csv")
        format = kovra::TableFormat::kCsv;
      else if (args[i] == "--json")
        format = kovra::TableFormat::kJson;
      else if (args[i] == "--codepage" && i + 1 < args.size())
        code_page = std::atoi(args[++i].c_str());
      else
        return Usage();
    }
    kovra::TableWriter writer(*definition, format, stdout);
    const bool ok = kovra::ForEachRecord(
        report.zip, definition, [&](const kovra::Record& r) { writer.Write(r); }, error, code_page);
    writer.Finish();
    return ok ? 0 : Fail(error, 1);
  }
  if (command == "show") {
    if (args.size() != 3 && !(args.size() == 5 && args[3] == "--codepage"))
      return Usage();
    return Show(report, args[2], args.size() == 5 ? std::atoi(args[4].c_str()) : 1252);
  }
  if (command == "decode" || command == "view") {
    if (args.size() != 4 || args[2] != "-o")
      return Usage();
    std::ofstream out(fs::u8path(args[3]), std::ios::binary | std::ios::trunc);
    if (!out)
      return Fail("cannot write " + args[3], 1);
    if (command == "decode") {
      kovra::ZipInput& in = report.report.archive();
      std::string chunk;
      for (uint64_t at = 0; at < in.Size(); at += chunk.size()) {
        chunk.resize(static_cast<size_t>(std::min<uint64_t>(1 << 20, in.Size() - at)));
        if (!in.ReadAt(at, chunk.data(), chunk.size()))
          return Fail("cannot read " + args[1], 1);
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      }
    } else {
      kovra::PageWriter page(out);
      page.Begin(report.Facts(), kovra::RunLogSummaryText(
                                     kovra::ReadRunLog(report.TextLines(kovra::kRunLogEntry))));
      std::string problems;
      for (const kovra::TableDefinition& definition : kovra::Tables()) {
        page.BeginTable(definition);
        std::string table_error;
        if (!kovra::ForEachRecord(
                report.zip, &definition, [&](const kovra::Record& r) { page.Row(r); },
                table_error)) {
          problems = table_error;
          page.EndTable("Not all of it could be read: " + table_error);
        } else {
          page.EndTable();
        }
      }
      // The other text files as they are; the parsed ones are in the tables above.
      std::vector<std::string> listing;
      for (const kovra::ZipEntry& e : report.zip.entries()) {
        const std::string name = kovra::EntryNameUtf8(e);
        listing.push_back(std::to_string(e.uncompressed_size) + "  " + name);
        kovra::SourceFile source;
        const bool text = name.size() > 4 && (name.substr(name.size() - 4) == ".txt" ||
                                              name.substr(name.size() - 4) == ".log" ||
                                              name.substr(name.size() - 4) == ".ini");
        if (text && e.uncompressed_size <= (4u << 20) && !kovra::SourceOfEntry(name, source)) {
          std::string joined;
          for (const std::string& line : report.TextLines(name))
            joined += line + "\n";
          page.TextFile(name, joined);
        }
      }
      page.End(listing);
      if (!problems.empty()) {
        out.close();
        return Fail(args[1] + ": the page was written, but " + problems, 1);
      }
    }
    out.close();
    return out ? 0 : Fail("cannot write " + args[3], 1);
  }
  if (command == "extract") {
    if (args.size() != 3)
      return Usage();
    return Extract(report, args[2]);
  }
  return Usage();
}

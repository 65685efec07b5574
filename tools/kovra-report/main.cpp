// kovra-report: support's reader for the reports the tool writes. Every command reads the report
// piece by piece (the container deciphered where the archive is read), with bounded memory.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "report_file.h"
#include "report_text.h"
#include "run_log_text.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "usage: kovra-report COMMAND REPORT ...\n"
    "  kind REPORT                 what the file is (DES container or ZIP archive)\n"
    "  summary REPORT              one screen: system, user, products, counts, failed stages\n"
    "  list REPORT                 the archive's entries: size, CRC, stored name\n"
    "  show REPORT ENTRY [--codepage N]\n"
    "                              one entry as UTF-8 text (a stored name or a unique file\n"
    "                              name; ANSI files decoded from code page N, default 1252);\n"
    "                              GetInfoRun.txt is the run log: stages, steps, times\n"
    "  diff OLD NEW                what changed between two reports of one machine, by section\n"
    "                              (exit 0 equal, 1 different, 2 trouble)\n"
    "  view REPORT -o FILE.html    one self-contained page: summary, sortable tables, files\n"
    "  decode REPORT -o OUT.zip    the archive inside the report\n"
    "  extract REPORT DIR          every entry, checked, below DIR\n"
    "  --help                      this text\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// Messages may carry names and texts out of the report: never raw to the terminal.
int Fail(const std::string& what, int code = 2) {
  std::fprintf(stderr, "kovra-report: %s\n", kovra::TerminalSafe(what).c_str());
  return code;
}

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
    std::string error, bytes, text;
    const kovra::ZipEntry* e = Find(name, error);
    if (e == nullptr || e->uncompressed_size > (64u << 20) || !zip.Read(*e, bytes, error) ||
        !kovra::DecodeReportText(bytes, code_page, text, error))
      return {};
    return kovra::SplitLines(text);
  }
  kovra::ReportFacts Facts() const {
    kovra::ReportFacts f =
        kovra::ReadFacts(TextLines("Kovra_Debug_Info.txt"), TextLines("GetInfoLog.txt"));
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

// Writes an entry's text to standard output as it is inflated, decoding as it goes: whole
// characters only (an odd byte of UTF-16 or a cut UTF-8 sequence waits for the next piece), and
// CR LF, CR or LF as one "\n" even across pieces.
class TextWriter {
 public:
  explicit TextWriter(int code_page) : code_page_(code_page) {}
  bool Feed(std::string_view piece, std::string& error) {
    std::string bytes = carry_ + std::string(piece);
    carry_.clear();
    size_t start = 0;
    if (first_) {
      first_ = false;
      if (!kovra::DetectEncoding(bytes, code_page_, encoding_, start)) {
        error = "code page " + std::to_string(code_page_) +
                " is not one this reader knows (1252, 437, 65001)";
        return false;
      }
    }
    size_t keep = 0;
    if (encoding_ == kovra::TextEncoding::kUtf16Le) {
      keep = (bytes.size() - start) % 2;
      const size_t end = bytes.size() - keep;
      if (end >= start + 2) {
        const auto hi = static_cast<unsigned char>(bytes[end - 1]);
        if (hi >= 0xD8 && hi <= 0xDB)
          keep += 2;  // a high surrogate waits for its pair
      }
    } else if (encoding_ == kovra::TextEncoding::kUtf8) {
      size_t i = bytes.size();
      while (i > start && bytes.size() - i < 3 &&
             (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80)
        --i;
      if (i > start && static_cast<unsigned char>(bytes[i - 1]) >= 0xC0)
        keep = bytes.size() - i + 1;
    }
    carry_ = bytes.substr(bytes.size() - keep);
    const std::string text = kovra::DecodePiece(
        std::string_view(bytes).substr(start, bytes.size() - keep - start), encoding_);
    std::string out;
    for (const char c : text) {
      if (c == '\n' && pending_cr_) {
        pending_cr_ = false;
        continue;
      }
      pending_cr_ = c == '\r';
      out += pending_cr_ ? '\n' : c;
    }
    const std::string safe = kovra::TerminalSafe(out, true);
    std::fwrite(safe.data(), 1, safe.size(), stdout);
    return true;
  }

 private:
  int code_page_;
  bool first_ = true, pending_cr_ = false;
  kovra::TextEncoding encoding_ = kovra::TextEncoding::kCp1252;
  std::string carry_;
};

int Show(const OpenReport& r, const std::string& name, int code_page) {
  std::string error;
  const kovra::ZipEntry* e = r.Find(name, error);
  if (e == nullptr)
    return Fail(error);
  TextWriter writer(code_page);
  std::string decode_error;
  const bool ok = r.zip.Stream(
      *e, [&](std::string_view piece) { return writer.Feed(piece, decode_error); }, error);
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
    return 0;
  }
  if (args.size() < 2)
    return Usage();
  const std::string& command = args[0];
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
    const std::string run =
        kovra::RunLogSummaryText(kovra::ReadRunLog(report.TextLines(kovra::kRunLogEntry)));
    std::fputs(kovra::TerminalSafe(kovra::SummaryText(report.Facts()) + run, true).c_str(), stdout);
    return 0;
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
      std::vector<kovra::PageFile> files;
      std::vector<std::string> listing;
      for (const kovra::ZipEntry& e : report.zip.entries()) {
        const std::string name = kovra::EntryNameUtf8(e);
        listing.push_back(std::to_string(e.uncompressed_size) + "  " + name);
        const bool text = name.size() > 4 && (name.substr(name.size() - 4) == ".txt" ||
                                              name.substr(name.size() - 4) == ".log" ||
                                              name.substr(name.size() - 4) == ".ini");
        if (text && e.uncompressed_size <= (4u << 20) &&
            name.find("Kovra_Debug_Info.txt") == std::string::npos) {
          std::string joined;
          for (const std::string& line : report.TextLines(name))
            joined += line + "\n";
          files.push_back({name, joined});
        }
      }
      out << kovra::HtmlPage(report.Facts(),
                             kovra::SplitSections(report.TextLines("Kovra_Debug_Info.txt")), files,
                             listing);
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

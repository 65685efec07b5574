// kovra-report: support's reader for the reports the tool writes.
//
//   kovra-report kind REPORT                what the file is
//   kovra-report decode REPORT -o OUT.zip   the archive inside the report
//   kovra-report list REPORT                the archive's entries
//   kovra-report extract REPORT DIR         every entry, checked, below DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "archive/zip_reader.h"
#include "report_file.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kovra-report kind REPORT\n"
               "       kovra-report decode REPORT -o OUT.zip\n"
               "       kovra-report list REPORT\n"
               "       kovra-report extract REPORT DIR\n");
  return 2;
}

// Messages may carry names and texts out of the report: never raw to the terminal.
int Fail(const std::string& what) {
  std::fprintf(stderr, "kovra-report: %s\n", kovra::TerminalSafe(what).c_str());
  return 1;
}

bool ReadAll(const std::string& path, std::string& out) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in)
    return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3)
    return Usage();
  const std::string command = argv[1];
  const std::string report_path = argv[2];
  std::string report;
  if (!ReadAll(report_path, report))
    return Fail("cannot read " + report_path);
  std::string archive, error;
  kovra::ReportKind kind;
  if (!kovra::DecodeReport(report, archive, kind, error))
    return Fail(report_path + ": " + error);

  if (command == "kind") {
    std::printf("%s\n", kind == kovra::ReportKind::kContainer ? "DES container" : "ZIP archive");
    return 0;
  }
  if (command == "decode") {
    if (argc != 5 || std::string(argv[3]) != "-o")
      return Usage();
    if (!WriteAll(fs::u8path(argv[4]), archive))
      return Fail(std::string("cannot write ") + argv[4]);
    return 0;
  }
  kovra::ZipReader zip;
  if (!zip.Open(archive, error))
    return Fail(report_path + ": " + error);
  if (command == "list") {
    for (const kovra::ZipEntry& e : zip.entries()) {
      std::printf("%12llu  %08X  %s\n", static_cast<unsigned long long>(e.uncompressed_size),
                  e.crc32, kovra::TerminalSafe(kovra::EntryNameUtf8(e)).c_str());
    }
    return 0;
  }
  if (command == "extract") {
    if (argc != 4)
      return Usage();
    const fs::path root = fs::u8path(argv[3]);
    std::error_code ec;
    fs::create_directories(root, ec);
    // Check every entry before writing anything.
    for (const kovra::ZipEntry& e : zip.entries()) {
      std::string relative;
      if (!kovra::SafeRelativePath(kovra::EntryNameUtf8(e), relative))
        return Fail("entry name '" + kovra::EntryNameUtf8(e) + "' would escape " + argv[3]);
    }
    int failures = 0;
    for (const kovra::ZipEntry& e : zip.entries()) {
      std::string relative, data;
      kovra::SafeRelativePath(kovra::EntryNameUtf8(e), relative);
      if (!zip.Read(e, data, error)) {
        std::fprintf(stderr, "kovra-report: %s\n", kovra::TerminalSafe(error).c_str());
        ++failures;
        continue;
      }
      const fs::path target = root / fs::u8path(relative);
      // Never write through a link that an earlier entry or the folder itself placed there.
      for (fs::path p = target.parent_path(); p != root && !p.empty(); p = p.parent_path()) {
        if (fs::is_symlink(p, ec))
          return Fail("refusing to write through the link " + p.string());
      }
      fs::create_directories(target.parent_path(), ec);
      if (fs::is_symlink(target, ec) || !WriteAll(target, data)) {
        std::fprintf(stderr, "kovra-report: cannot write %s\n",
                     kovra::TerminalSafe(target.string()).c_str());
        ++failures;
      }
    }
    return failures == 0 ? 0 : 1;
  }
  return Usage();
}

#include "report_scan.h"

#include "report_text.h"

namespace kovra {

namespace {

// The records of the entries whose source passes `wanted`, those of `table` only (nullptr: all).
template <typename Wanted>
bool Scan(const ZipReader& zip, Wanted&& wanted, const TableDefinition* table,
          const RecordCallback& callback, std::string& error, int code_page) {
  for (const ZipEntry& entry : zip.entries()) {
    const std::string name = EntryNameUtf8(entry);
    SourceFile source;
    if (!SourceOfEntry(name, source) || !wanted(source))
      continue;
    const std::string file = name.substr(name.rfind('/') + 1);
    auto parser = MakeParser(source, file, [&](const Record& r) {
      if (table == nullptr || r.table == table->id)
        callback(r);
    });
    TextDecoder decoder(code_page);
    LineSplitter lines(kMaxRecordLine);
    auto line = [&](std::string_view l) { parser->Line(l); };
    std::string decode_error;
    const bool read = zip.Stream(
        entry,
        [&](std::string_view piece) {
          std::string text;
          if (!decoder.Feed(piece, text, decode_error))
            return false;
          lines.Feed(text, line);
          return true;
        },
        error);
    lines.Finish(line);
    parser->End();
    if (!decode_error.empty() || !read) {
      error = name + ": " + (decode_error.empty() ? error : decode_error);
      return false;
    }
  }
  return true;
}

}  // namespace

bool ForEachRecord(const ZipReader& zip, const TableDefinition* table,
                   const RecordCallback& callback, std::string& error, int code_page) {
  auto wanted = [&](SourceFile source) {
    return table == nullptr || table->id == TableId::kUnparsed || table->source == source;
  };
  return Scan(zip, wanted, table, callback, error, code_page);
}

bool ForEachRecordOf(const ZipReader& zip, SourceFile source, const RecordCallback& callback,
                     std::string& error, int code_page) {
  auto wanted = [&](SourceFile s) { return s == source; };
  return Scan(zip, wanted, nullptr, callback, error, code_page);
}

bool ReadEntryLines(const ZipReader& zip, const ZipEntry& entry, int code_page,
                    std::vector<std::string>& lines, std::string& error) {
  std::string bytes, text;
  if (entry.uncompressed_size > kMaxWholeEntry) {
    error =
        EntryNameUtf8(entry) + " is larger than " + std::to_string(kMaxWholeEntry >> 20) + " MB";
    return false;
  }
  if (!zip.Read(entry, bytes, error) || !DecodeReportText(bytes, code_page, text, error))
    return false;
  lines = SplitLines(text);
  return true;
}

}  // namespace kovra

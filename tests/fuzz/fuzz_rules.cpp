// Fuzz target for the portable text rules and the archive writer: the wildcard matcher, stored
// names, console line splitting and the CSV task-name pass must never crash or hang, and an
// archive written from arbitrary names and bytes must read back to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/archive_names.h"
#include "archive/zip_reader.h"
#include "archive/zip_writer.h"
#include "base/text.h"
#include "platform/console_text.h"
#include "archive/memory_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Name and pattern: the input split at its first NUL.
  const size_t nul = input.find('\0');
  const std::string_view name = input.substr(0, nul);
  const std::string_view pattern = nul == std::string_view::npos ? "" : input.substr(nul + 1);
  if (name.size() < 256 && pattern.size() < 64)
    kovra::MatchFileWildcard(name, pattern);
  kovra::ZipStoredName(input);
  kovra::IsArchivePattern(input);

  kovra::StringList lines;
  kovra::ConsoleLineSplitter splitter;
  splitter.Feed(input.data(), input.size() / 2, lines);
  splitter.Feed(input.data() + input.size() / 2, input.size() - input.size() / 2, lines);
  splitter.Finish(lines);
  kovra::StringList names;
  kovra::AddRootTaskNames(lines, names);
  for (const std::string& n : names) {
    if (kovra::IsPassableTaskName(n) && n.find('"') != std::string::npos)
      abort();
  }
  kovra::SplitTextLines(input);

  // Entries: lines of "name\tdata" written, then read back.
  kovra::StringSink sink;
  kovra::ZipWriter writer(sink, input.size() % 2 ? 8 : 4);
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& line : kovra::SplitTextLines(input)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || files.size() > 32)
      continue;
    kovra::ZipFileFacts facts;
    facts.name = line.substr(0, tab);
    kovra::StringSource source(line.substr(tab + 1));
    writer.AddFile(facts, source);
    files.emplace_back(facts.name, line.substr(tab + 1));
  }
  writer.Finish();
  kovra::ZipReader reader;
  std::string error;
  if (!reader.Open(sink.bytes, error) || reader.entries().size() != files.size())
    abort();
  for (size_t i = 0; i < files.size(); ++i) {
    std::string back;
    if (reader.entries()[i].name != files[i].first ||
        !reader.Read(reader.entries()[i], back, error) || back != files[i].second)
      abort();
  }
  return 0;
}

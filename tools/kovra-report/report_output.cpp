#include "report_output.h"

#include "report_file.h"
#include "report_text.h"

namespace kovra {

std::string JsonValue(const FieldDefinition& field, const std::string& value) {
  if ((field.type == FieldType::kNumber || field.type == FieldType::kBool) && value.empty())
    return "null";
  if (field.type == FieldType::kNumber || field.type == FieldType::kBool)
    return value;
  return JsonString(value);
}

std::string CsvCell(const std::string& value) {
  const std::string safe = TerminalSafe(value);
  if (safe.find_first_of(",\"") == std::string::npos &&
      (safe.empty() || (safe.front() != ' ' && safe.back() != ' ')))
    return safe;
  std::string out = "\"";
  for (const char c : safe)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

TableWriter::TableWriter(const TableDefinition& definition, TableFormat format, std::FILE* out)
    : definition_(definition), format_(format), out_(out) {
  std::string head;
  if (format_ == TableFormat::kJson) {
    head = "[";
  } else {
    for (size_t i = 0; i < definition_.fields.size(); ++i)
      head += std::string(i ? (format_ == TableFormat::kCsv ? "," : "\t") : "") +
              definition_.fields[i].name;
    head += "\n";
  }
  std::fputs(head.c_str(), out_);
}

void TableWriter::Write(const Record& r) {
  std::string line;
  for (size_t i = 0; i < definition_.fields.size(); ++i) {
    const std::string& v = r.values[i];
    switch (format_) {
      case TableFormat::kJson:
        line += std::string(i ? ", " : (count_ ? ",\n  {" : "\n  {")) +
                JsonString(definition_.fields[i].name) + ": " + JsonValue(definition_.fields[i], v);
        break;
      case TableFormat::kCsv:
        line += (i ? "," : "") + CsvCell(v);
        break;
      case TableFormat::kText:
        line += (i ? "\t" : "") + TerminalSafe(v);
        break;
    }
  }
  line += format_ == TableFormat::kJson ? "}" : "\n";
  std::fputs(line.c_str(), out_);
  ++count_;
}

size_t TableWriter::Finish() {
  if (format_ == TableFormat::kJson)
    std::fputs(count_ ? "\n]\n" : "]\n", out_);
  return count_;
}

}  // namespace kovra

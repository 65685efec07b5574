#include "tables/registry_text.h"

#include "tables/field_text.h"

namespace kovra {

namespace {

class RegistryParser : public RecordParser {
 public:
  using Style = RegistryStyle;
  RegistryParser(std::string file, RecordCallback emit, TableId table, Style style)
      : sink_(std::move(file), std::move(emit)), table_(table), style_(style) {}

  void Line(std::string_view view) override {
    sink_.NextLine();
    std::string line(view);
    if (!pending_.empty()) {
      pending_ += std::string(TrimView(line));
      if (EndsWith(pending_, "\\")) {
        pending_.pop_back();
        return;
      }
      line = std::move(pending_);
      pending_.clear();
    } else if (style_ == Style::kRegExe && EndsWith(line, "\\") &&
               line.find("=hex") != std::string::npos) {
      pending_ = line.substr(0, line.size() - 1);
      pending_line_ = sink_.line();
      return;
    }
    if (line.empty() || IsStarRule(line) || line == "Windows Registry Editor Version 5.00" ||
        line == "REGEDIT4")
      return;
    if (StartsWith(line, "[") && EndsWith(line, "]")) {
      // Every key is a record of its own (kind "key"), so keys without values are listed too.
      key_ = line.substr(1, line.size() - 2);
      sink_.Emit(Record{table_, sink_.line(), {sink_.file(), key_, "", "key", ""}});
      return;
    }
    if (!ValueLine(line))
      sink_.Unparsed(line, table_);
  }

  void End() override {
    // A continued value cut by the end of the file is kept, as a value or as unrecognised.
    if (!pending_.empty() && !ValueLine(pending_))
      sink_.Unparsed(pending_, table_);
    pending_.clear();
  }

 private:
  bool ValueLine(const std::string& line) {
    std::string name;
    size_t rest;
    if (StartsWith(line, "@=")) {
      rest = 2;
    } else if (StartsWith(line, "\"")) {
      size_t i = 1;
      if (style_ == Style::kRegExe) {
        for (; i < line.size() && line[i] != '"'; ++i) {
          if (line[i] == '\\' && i + 1 < line.size())
            ++i;
          name += line[i];
        }
        if (line.compare(i, 2, "\"=") != 0)
          return false;
      } else {
        i = line.find("\"=", 1);
        if (i == std::string::npos)
          return false;
        name = line.substr(1, i - 1);
      }
      rest = i + 2;
    } else {
      return false;
    }
    const std::string data = line.substr(rest);
    std::string kind, value;
    if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
      kind = "string";
      value = Unescape(data.substr(1, data.size() - 2));
    } else if (data.empty()) {
      kind = "empty";
    } else if (data == "kovrareaderror") {
      kind = "error";
    } else if (const size_t colon = data.find(':');
               colon != std::string::npos &&
               (StartsWith(data, "dword:") || StartsWith(data, "hex"))) {
      kind = data.substr(0, colon);
      value = data.substr(colon + 1);
    } else {
      return false;
    }
    // A value continued over several lines is at the line where it starts.
    const uint64_t at = pending_line_ != 0 ? pending_line_ : sink_.line();
    pending_line_ = 0;
    sink_.Emit(Record{table_, at, {sink_.file(), key_, name, kind, value}});
    return true;
  }

  std::string Unescape(const std::string& data) const {
    if (style_ == Style::kServices)
      return data;
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
      if (data[i] == '\\' && i + 1 < data.size() &&
          (data[i + 1] == '\\' || (style_ == Style::kRegExe && data[i + 1] == '"')))
        ++i;
      out += data[i];
    }
    return out;
  }

  RecordSink sink_;
  TableId table_;
  Style style_;
  std::string key_, pending_;
  uint64_t pending_line_ = 0;
};

}  // namespace

std::unique_ptr<RecordParser> MakeRegistryParser(std::string file_name, RecordCallback emit,
                                                 TableId table, RegistryStyle style) {
  return std::make_unique<RegistryParser>(std::move(file_name), std::move(emit), table, style);
}

}  // namespace kovra

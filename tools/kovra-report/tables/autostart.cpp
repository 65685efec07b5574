#include "tables/autostart.h"

#include <regex>

#include "report_regex.h"
#include "tables/field_text.h"

namespace kovra {

std::optional<std::string> AutostartSectionOf(std::string_view view) {
  static const std::regex header("^-{10} (.+) -{10}$");
  const std::string line(view);
  std::smatch m;
  if (!RegexMatch(line, m, header))
    return std::nullopt;
  return m[1].str();
}

namespace {

class AutostartBlock : public BlockParser {
 public:
  explicit AutostartBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    if (line == kAutostartHeader)
      return true;
    if (std::optional<std::string> section = AutostartSectionOf(line)) {
      section_ = std::move(*section);
      return true;
    }
    const bool valued = section_ == "Run" || section_ == "RunOnce" || section_ == "policies Run";
    const size_t equals = line.find('=');
    if (valued && equals == std::string::npos)
      return false;
    const std::string command = valued ? line.substr(equals + 1) : line;
    // A value of another kind than text is listed by its value text: it names no file.
    const bool value_text =
        valued && (StartsWith(command, "dword:") || StartsWith(command, "hex:"));
    RecordOf<TableId::kAutostart> r = sink_.New<TableId::kAutostart>();
    r.Set(kAutostart["section"], section_);
    r.Set(kAutostart["entry"], line);
    r.Set(kAutostart["name"], valued ? line.substr(0, equals) : "");
    r.Set(kAutostart["command"], command);
    r.Set(kAutostart["file"], value_text ? "" : CommandFile(command));
    r.Set(kAutostart["outside_windows"], Flag(!value_text && OutsideWindowsFolders(command)));
    sink_.Emit(r);
    return true;
  }

 private:
  RecordSink& sink_;
  std::string section_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeAutostartBlock(RecordSink& sink) {
  return std::make_unique<AutostartBlock>(sink);
}

}  // namespace kovra

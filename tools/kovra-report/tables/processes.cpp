#include "tables/processes.h"

#include <vector>

#include "report_regex.h"
#include "tables/field_text.h"

namespace kovra {

bool MatchProcessRow(const std::string& line, std::smatch& m) {
  static const std::regex row(
      "^([0-9a-f]+) (.*?) +([0-9]+) *, *([0-9]+)\\| *([0-9]+)M, *([0-9]+)M\\| ([^,]*),"
      "([0-9]+ ms|[0-9]+[^0-9 ]{1,4}[0-9]{2} s|[0-9]+:[0-9]{2} min|[0-9]+:[0-9]{2} h)"
      "(?: +(.*))?$");
  return RegexMatch(line, m, row);
}

namespace {

class ProcessesBlock : public BlockParser {
 public:
  explicit ProcessesBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    std::smatch m;
    if (!MatchProcessRow(line, m))
      return false;
    // The name column is followed by the session column (only when some session is not 0) and
    // the GDI and USER columns: two or three numbers, the same for every row of the table. The
    // first row decides.
    // heads[k]: the name when the last k numbers are columns.
    std::string head = m[2];
    std::vector<std::string> numbers, heads{head};
    while (numbers.size() < 3) {
      const size_t blank = head.find_last_of(' ');
      if (blank == std::string::npos)
        break;
      const std::string token = head.substr(blank + 1);
      if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos)
        break;
      numbers.insert(numbers.begin(), token);
      const size_t last = head.find_last_not_of(' ', blank);
      head = last == std::string::npos ? std::string() : head.substr(0, last + 1);
      heads.push_back(head);
    }
    if (columns_ == 0)
      columns_ = numbers.size() >= 3 ? 3 : 2;
    if (numbers.size() < columns_ || heads[columns_].empty())
      return false;
    const std::vector<std::string> columns(numbers.end() - columns_, numbers.end());
    RecordOf<TableId::kProcesses> r = sink_.New<TableId::kProcesses>();
    r.Set(kProcesses["pid"], HexField(m[1].str()));
    r.Set(kProcesses["name"], heads[columns_]);
    r.Set(kProcesses["folder"], m[9]);
    if (columns_ == 3)
      r.Set(kProcesses["session"], NumberField(columns[0]));
    r.Set(kProcesses["gdi_objects"], NumberField(columns[columns.size() - 2]));
    r.Set(kProcesses["user_objects"], NumberField(columns[columns.size() - 1]));
    r.Set(kProcesses["handles"], NumberField(m[3].str()));
    r.Set(kProcesses["threads"], NumberField(m[4].str()));
    r.Set(kProcesses["working_set_mb"], NumberField(m[5].str()));
    r.Set(kProcesses["private_mb"], NumberField(m[6].str()));
    r.Set(kProcesses["priority"], m[7]);
    r.Set(kProcesses["age_ms"], DurationMs(m[8]));
    r.Set(kProcesses["age"], m[8]);
    sink_.Emit(r);
    return true;
  }

  // The next process table decides its columns anew.
  void Finish() override { columns_ = 0; }

 private:
  RecordSink& sink_;
  size_t columns_ = 0;
};

}  // namespace

std::unique_ptr<BlockParser> MakeProcessesBlock(RecordSink& sink) {
  return std::make_unique<ProcessesBlock>(sink);
}

}  // namespace kovra

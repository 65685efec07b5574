#include "tables/services.h"

#include <map>

#include "base/text.h"
#include "report_regex.h"
#include "tables/field_text.h"

namespace kovra {

bool MatchServiceRow(const std::string& line, std::smatch& m) {
  static const std::regex row(
      "^(.*?) ([0-9A-F]+)  (-?[0-9]+)  (-?[0-9]+) (-?[0-9]+) (.*?)(?: Ver:(.*)   "
      "MD5:([0-9a-f]*)| )$");
  return RegexMatch(line, m, row);
}

namespace {

class ServicesBlock : public BlockParser {
 public:
  explicit ServicesBlock(RecordSink& sink) : sink_(sink) {}

  bool Line(const std::string& line) override {
    std::smatch m;
    if (!MatchServiceRow(line, m))
      return false;
    std::string name = m[1];
    const size_t length = TextLength(name);
    if (length < 30)
      return false;
    if (length == 30)
      name = name.substr(0, name.find_last_not_of(' ') + 1);
    static const std::map<int, const char*> kStates = {
        {1, "stopped"},          {2, "start pending"}, {3, "stop pending"}, {4, "running"},
        {5, "continue pending"}, {6, "pause pending"}, {7, "paused"}};
    static const std::map<int, const char*> kStarts = {
        {0, "boot"}, {1, "system"}, {2, "automatic"}, {3, "demand"}, {4, "disabled"}};
    const uint64_t type = std::stoull(m[2].str(), nullptr, 16);
    const bool driver = (type & 0xF) != 0;
    const int state = std::stoi(m[3]), start = std::stoi(m[5]);
    RecordOf<TableId::kServices> r = sink_.New<TableId::kServices>();
    r.Set(kServices["name"], name);
    r.Set(kServices["type"], std::to_string(type));
    r.Set(kServices["kind"], driver ? "driver" : "service");
    r.Set(kServices["state"], NumberField(m[3].str()));
    r.Set(kServices["state_name"], kStates.count(state) ? kStates.at(state) : "");
    r.Set(kServices["exit_code"], NumberField(m[4].str()));
    r.Set(kServices["start_type"], NumberField(m[5].str()));
    r.Set(kServices["start_name"], kStarts.count(start) ? kStarts.at(start) : "");
    r.Set(kServices["path"], m[6]);
    r.Set(kServices["version"], m[7]);
    r.Set(kServices["md5"], m[8]);
    r.Set(kServices["outside_windows"], Flag(OutsideWindowsFolders(m[6].str())));
    r.Set(kServices["driver_without_version"], Flag(driver && m[7].str().empty()));
    sink_.Emit(r);
    return true;
  }

 private:
  RecordSink& sink_;
};

}  // namespace

std::unique_ptr<BlockParser> MakeServicesBlock(RecordSink& sink) {
  return std::make_unique<ServicesBlock>(sink);
}

}  // namespace kovra

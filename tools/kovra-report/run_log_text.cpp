#include "run_log_text.h"

#include <algorithm>
#include <optional>

#include "base/run_log.h"

namespace kovra {

namespace {

std::vector<RunEntry> Parse(const std::vector<std::string>& lines) {
  std::vector<RunEntry> entries;
  for (const std::string& line : lines) {
    if (std::optional<RunEntry> e = ParseRunLogLine(line))
      entries.push_back(std::move(*e));
  }
  return entries;
}

// An entry without its times: what a comparison of two runs looks at.
std::string Timeless(const RunEntry& e) {
  std::string s(RunEntryKindText(e.kind));
  s.append(" ").append(e.name).append(" ").append(RunOutcomeText(e.outcome));
  if (!e.detail.empty())
    s.append(": ").append(e.detail);
  return s;
}

}  // namespace

RunLogFacts ReadRunLog(const std::vector<std::string>& lines) {
  RunLogFacts f;
  const std::vector<RunEntry> entries = Parse(lines);
  std::vector<const RunEntry*> steps;
  for (size_t i = 0; i < entries.size(); ++i) {
    const RunEntry& e = entries[i];
    switch (e.kind) {
      case RunEntryKind::kRun:
        f.present = true;
        f.run_ms = e.ms;
        break;
      case RunEntryKind::kStage:
        if (e.outcome == RunOutcome::kFailed) {
          std::string text = e.name + ": " + e.detail;
          // The step it failed in, if one of its steps failed with it.
          for (size_t j = i + 1; j < entries.size() && entries[j].kind != RunEntryKind::kStage;
               ++j) {
            if (entries[j].kind == RunEntryKind::kStep &&
                entries[j].outcome == RunOutcome::kFailed) {
              text += " (in " + entries[j].name.substr(e.name.size() + 1) + ")";
              break;
            }
          }
          f.failed_stages.push_back(std::move(text));
        }
        break;
      case RunEntryKind::kStep:
        steps.push_back(&e);
        break;
      case RunEntryKind::kNote: {
        std::string text = std::string(RunOutcomeText(e.outcome)) + " " + e.name + ": " + e.detail;
        if (e.count > 1)
          text += " (" + std::to_string(e.count) + " times)";
        f.notes.push_back(std::move(text));
        break;
      }
    }
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const RunEntry* a, const RunEntry* b) { return a->ms > b->ms; });
  for (size_t i = 0; i < steps.size() && i < 3; ++i)
    f.slowest_steps.push_back(steps[i]->name + "  " + std::to_string(steps[i]->ms) + " ms");
  return f;
}

std::string RunLogSummaryText(const RunLogFacts& f, size_t max_notes) {
  if (!f.present)
    return std::string();
  constexpr char kIndent[] = "              ";
  std::string s = "Run:          " + std::to_string(f.run_ms) + " ms, " +
                  std::to_string(f.failed_stages.size()) + " stage(s) failed\n";
  for (const std::string& stage : f.failed_stages)
    s += kIndent + stage + "\n";
  s += "Noted:        ";
  if (f.notes.empty())
    s += "nothing\n";
  for (size_t i = 0; i < f.notes.size() && i < max_notes; ++i)
    s += (i == 0 ? std::string() : std::string(kIndent)) + f.notes[i] + "\n";
  if (f.notes.size() > max_notes)
    s += kIndent + std::to_string(f.notes.size() - max_notes) + " more (show REPORT " +
         kRunLogEntry + ")\n";
  s += "Slowest:      ";
  if (f.slowest_steps.empty())
    s += "no steps\n";
  for (size_t i = 0; i < f.slowest_steps.size(); ++i)
    s += (i == 0 ? std::string() : std::string(kIndent)) + f.slowest_steps[i] + "\n";
  return s;
}

std::string DiffRunLogs(const std::vector<std::string>& old_lines,
                        const std::vector<std::string>& new_lines) {
  std::vector<std::string> before, after;
  for (const RunEntry& e : Parse(old_lines)) {
    if (e.kind != RunEntryKind::kRun)
      before.push_back(Timeless(e));
  }
  for (const RunEntry& e : Parse(new_lines)) {
    if (e.kind != RunEntryKind::kRun)
      after.push_back(Timeless(e));
  }
  // Multisets: an entry shows once per occurrence that the other run lacks.
  std::vector<std::string> sorted_before = before, sorted_after = after;
  std::sort(sorted_before.begin(), sorted_before.end());
  std::sort(sorted_after.begin(), sorted_after.end());
  std::vector<std::string> gone, added;
  std::set_difference(sorted_before.begin(), sorted_before.end(), sorted_after.begin(),
                      sorted_after.end(), std::back_inserter(gone));
  std::set_difference(sorted_after.begin(), sorted_after.end(), sorted_before.begin(),
                      sorted_before.end(), std::back_inserter(added));
  if (gone.empty() && added.empty())
    return std::string();
  // In the order of the runs.
  std::string out = std::string("--- ") + kRunLogEntry + "\n";
  auto in_order = [&out](const std::vector<std::string>& run, std::vector<std::string> set,
                         const char* sign) {
    for (const std::string& line : run) {
      const auto it = std::find(set.begin(), set.end(), line);
      if (it != set.end()) {
        out += std::string(sign) + " " + line + "\n";
        set.erase(it);
      }
    }
  };
  in_order(before, gone, "-");
  in_order(after, added, "+");
  return out;
}

}  // namespace kovra

// The run log: what each stage of a run and each step of a stage did, how long it took and,
// where something went wrong, why. One recorder per run is handed to the stages and the
// collectors; the worker saves it as the staging file GetInfoRun.txt.
//
// A step says once what went wrong and goes on: a collector that catches a failure and keeps
// what it has notes it here (failed, limit reached, skipped), under the step that is open.
// Absent keys and files are no failures and are not noted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"

namespace kovra {

// The time source of a run log: milliseconds from any fixed point, never going back.
class RunClock {
 public:
  virtual ~RunClock() = default;
  virtual int64_t NowMs() = 0;
};

enum class RunEntryKind { kRun, kStage, kStep, kNote };
enum class RunOutcome { kOk, kFailed, kLimit, kSkipped };
// Why a collector passed over something that exists.
enum class SkipReason { kHeldByAnotherProgram, kAccessDenied };

// One line of the log. `at_ms` counts from the start of the run; a note has no duration.
struct RunEntry {
  int64_t at_ms = 0;
  int64_t ms = 0;
  RunEntryKind kind = RunEntryKind::kNote;
  // "stage 4", "stage 4/product logs"; a note carries the name of the step it belongs to.
  std::string name;
  RunOutcome outcome = RunOutcome::kOk;
  // How often the same note was made (a file held through several retries is one line).
  int count = 1;
  std::string detail;
  bool operator==(const RunEntry&) const = default;
};

// Distinct notes kept per stage or step; beyond them only their number is noted.
inline constexpr int kMaxNotesPerStep = 32;

class RunLog {
 public:
  // The run begins now.
  explicit RunLog(RunClock& clock);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Runs `body` as a stage, or as a step of the open stage. An exception leaving it is recorded
  // as the entry's failure, with its text, and passed on.
  template <typename Body>
  void Stage(std::string_view name, Body&& body) {
    Scoped(RunEntryKind::kStage, name, body);
  }
  template <typename Body>
  void Step(std::string_view name, Body&& body) {
    Scoped(RunEntryKind::kStep, name, body);
  }

  // What a collector caught and went on past, noted under the open step (or stage). `what`
  // names the item (a file, a key, a class); it may be empty.
  void Failed(std::string_view what, std::string_view reason);
  void LimitReached(std::string_view what, std::string_view limit, std::string_view kept);
  void Skipped(std::string_view what, SkipReason why);

  // The entries so far in the order they began, the whole run first (its duration up to now).
  // An entry still open counts its duration up to now.
  std::vector<RunEntry> Entries() const;

 private:
  struct Open {
    size_t entry;
    int notes = 0;
    int dropped = 0;
  };

  template <typename Body>
  void Scoped(RunEntryKind kind, std::string_view name, Body& body) {
    const size_t entry = Begin(kind, name);
    try {
      body();
    } catch (...) {
      End(entry, true);
      throw;
    }
    End(entry, false);
  }
  size_t Begin(RunEntryKind kind, std::string_view name);
  // Closes the innermost open entry, which is `entry`; `failed` takes the exception's text.
  void End(size_t entry, bool failed);
  void Note(RunOutcome outcome, std::string detail);
  int64_t Now() const;

  RunClock& clock_;
  const int64_t start_;
  std::vector<RunEntry> entries_;
  std::vector<Open> open_;
};

// Inside a catch block: the text of the exception being handled, or "unknown exception".
std::string CaughtText();

// The file form, one line per entry after a header line that names the fields:
//   at_ms TAB ms TAB kind TAB name TAB outcome TAB count TAB detail
// kind is run, stage, step or note; outcome is ok, failed, limit or skipped. TABs and line
// breaks inside a name or detail become blanks.
StringList RunLogLines(const std::vector<RunEntry>& entries);
// One line of that form; nothing for the header line or a line of another form.
std::optional<RunEntry> ParseRunLogLine(std::string_view line);

std::string_view RunOutcomeText(RunOutcome outcome);
std::string_view RunEntryKindText(RunEntryKind kind);

}  // namespace kovra

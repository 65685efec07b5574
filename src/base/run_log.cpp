#include "base/run_log.h"

#include <array>
#include <charconv>
#include <exception>

namespace kovra {

namespace {

constexpr std::string_view kHeader = "at_ms\tms\tkind\tname\toutcome\tcount\tdetail";

constexpr std::array<std::string_view, 4> kKindTexts = {"run", "stage", "step", "note"};
constexpr std::array<std::string_view, 4> kOutcomeTexts = {"ok", "failed", "limit", "skipped"};

std::string Joined(std::string_view what, std::string_view text) {
  if (what.empty())
    return std::string(text);
  std::string r(what);
  return r.append(": ").append(text);
}

// A field of one line: TAB, CR and LF become blanks, so the line keeps its fields.
std::string FieldText(std::string_view text) {
  std::string r(text);
  for (char& c : r) {
    if (c == '\t' || c == '\r' || c == '\n')
      c = ' ';
  }
  return r;
}

template <size_t N>
std::optional<size_t> IndexOf(const std::array<std::string_view, N>& texts, std::string_view t) {
  for (size_t i = 0; i < N; ++i) {
    if (texts[i] == t)
      return i;
  }
  return std::nullopt;
}

std::optional<int64_t> Number(std::string_view t) {
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size() || t.empty())
    return std::nullopt;
  return v;
}

}  // namespace

RunLog::RunLog(RunClock& clock) : clock_(clock), start_(clock.NowMs()) {}

int64_t RunLog::Now() const {
  return clock_.NowMs() - start_;
}

size_t RunLog::Begin(RunEntryKind kind, std::string_view name) {
  RunEntry e;
  e.at_ms = Now();
  e.kind = kind;
  e.name = std::string(name);
  if (kind == RunEntryKind::kStep && !open_.empty())
    e.name = entries_[open_.back().entry].name + "/" + e.name;
  entries_.push_back(std::move(e));
  open_.push_back(Open{entries_.size() - 1});
  return entries_.size() - 1;
}

void RunLog::End(size_t entry, bool failed) {
  RunEntry& e = entries_[entry];
  e.ms = Now() - e.at_ms;
  if (failed) {
    e.outcome = RunOutcome::kFailed;
    e.detail = CaughtText();
  }
  const int dropped = open_.back().dropped;
  if (dropped > 0) {
    RunEntry note;
    note.at_ms = Now();
    note.name = e.name;
    note.outcome = RunOutcome::kLimit;
    note.detail = "notes: " + std::to_string(kMaxNotesPerStep) + " kept, " +
                  std::to_string(dropped) + " more not logged";
    entries_.push_back(std::move(note));
  }
  open_.pop_back();
}

void RunLog::Note(RunOutcome outcome, std::string detail) {
  const std::string name = open_.empty() ? "run" : entries_[open_.back().entry].name;
  const size_t from = open_.empty() ? 0 : open_.back().entry + 1;
  for (size_t i = from; i < entries_.size(); ++i) {
    RunEntry& e = entries_[i];
    if (e.kind == RunEntryKind::kNote && e.outcome == outcome && e.name == name &&
        e.detail == detail) {
      ++e.count;
      return;
    }
  }
  if (!open_.empty() && open_.back().notes >= kMaxNotesPerStep) {
    ++open_.back().dropped;
    return;
  }
  if (!open_.empty())
    ++open_.back().notes;
  RunEntry e;
  e.at_ms = Now();
  e.name = name;
  e.outcome = outcome;
  e.detail = std::move(detail);
  entries_.push_back(std::move(e));
}

void RunLog::Failed(std::string_view what, std::string_view reason) {
  Note(RunOutcome::kFailed, Joined(what, reason));
}

void RunLog::LimitReached(std::string_view what, std::string_view limit, std::string_view kept) {
  std::string text(limit);
  text.append(" reached, kept ").append(kept);
  Note(RunOutcome::kLimit, Joined(what, text));
}

void RunLog::Skipped(std::string_view what, SkipReason why) {
  Note(RunOutcome::kSkipped,
       Joined(what, why == SkipReason::kHeldByAnotherProgram ? "held by another program"
                                                             : "access denied"));
}

std::vector<RunEntry> RunLog::Entries() const {
  const int64_t now = Now();
  std::vector<RunEntry> r;
  r.reserve(entries_.size() + 1);
  RunEntry run;
  run.kind = RunEntryKind::kRun;
  run.name = "run";
  run.ms = now;
  r.push_back(std::move(run));
  r.insert(r.end(), entries_.begin(), entries_.end());
  for (const Open& open : open_)
    r[open.entry + 1].ms = now - r[open.entry + 1].at_ms;
  return r;
}

std::string CaughtText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

std::string_view RunOutcomeText(RunOutcome outcome) {
  return kOutcomeTexts[static_cast<size_t>(outcome)];
}

std::string_view RunEntryKindText(RunEntryKind kind) {
  return kKindTexts[static_cast<size_t>(kind)];
}

StringList RunLogLines(const std::vector<RunEntry>& entries) {
  StringList lines{std::string(kHeader)};
  for (const RunEntry& e : entries) {
    std::string line = std::to_string(e.at_ms);
    line.append("\t").append(e.kind == RunEntryKind::kNote ? "" : std::to_string(e.ms));
    line.append("\t").append(RunEntryKindText(e.kind));
    line.append("\t").append(FieldText(e.name));
    line.append("\t").append(RunOutcomeText(e.outcome));
    line.append("\t").append(std::to_string(e.count));
    line.append("\t").append(FieldText(e.detail));
    lines.push_back(std::move(line));
  }
  return lines;
}

std::optional<RunEntry> ParseRunLogLine(std::string_view line) {
  std::array<std::string_view, 7> f;
  size_t at = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    const size_t tab = i + 1 < f.size() ? line.find('\t', at) : line.size();
    if (tab == std::string_view::npos)
      return std::nullopt;
    f[i] = line.substr(at, tab - at);
    at = tab + 1;
  }
  const auto at_ms = Number(f[0]);
  const auto kind = IndexOf(kKindTexts, f[2]);
  const auto outcome = IndexOf(kOutcomeTexts, f[4]);
  const auto count = Number(f[5]);
  if (!at_ms || !kind || !outcome || !count)
    return std::nullopt;
  RunEntry e;
  e.at_ms = *at_ms;
  e.kind = static_cast<RunEntryKind>(*kind);
  if (e.kind != RunEntryKind::kNote) {
    const auto ms = Number(f[1]);
    if (!ms)
      return std::nullopt;
    e.ms = *ms;
  }
  e.name = std::string(f[3]);
  e.outcome = static_cast<RunOutcome>(*outcome);
  e.count = static_cast<int>(*count);
  e.detail = std::string(f[6]);
  return e;
}

}  // namespace kovra

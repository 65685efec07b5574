#include "platform/console_capture_win.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/text.h"
#include "platform/console_text.h"
#include "platform/elapsed_clock_win.h"
#include "platform/errors_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/os_version_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Output kept of one captured program; a program that writes without end is ended there.
constexpr uint64_t kMaxCapturedBytes = 32u << 20;

void AddDecodedLines(const StringList& raw, StringList& output) {
  for (const std::string& line : raw)
    output.push_back(CodePageToUtf8(line, CP_ACP));
}

// One program started hidden in a new console with its output on a pipe. Step() does one round
// of the capture without waiting, so that one loop can poll several programs; the time limit
// and the size bound hold even while data keeps arriving.
class CapturedProgram {
 public:
  enum class Progress { kData, kIdle, kDone };

  CapturedProgram(const ConsoleCommand& command, const ChildSetting& setting,
                  const RunCancellation& cancel, DWORD time_limit_ms)
      : cancel_(cancel), time_limit_ms_(time_limit_ms) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_raw = nullptr, write_raw = nullptr;
    if (!::CreatePipe(&read_raw, &write_raw, &inheritable, 0))
      ThrowLastError("Failed to create pipe\xEF\xBC\x81");
    read_end_.reset(read_raw);
    // The write end lives only until the program has its copy.
    const UniqueHandle write_end(write_raw);
    // Only the write end goes to the program.
    ::SetHandleInformation(read_end_.get(), HANDLE_FLAG_INHERIT, 0);
    program_ = StartConsoleProgram(command, setting, {write_end.get(), write_end.get()});
  }

  ~CapturedProgram() {
    if (!done_)
      Finish();
  }

  Progress Step() {
    if (done_)
      return Progress::kDone;
    DWORD available = 0;
    if (!::PeekNamedPipe(read_end_.get(), nullptr, 0, nullptr, &available, nullptr))
      return Finish();  // every writer is gone: the end of the output
    if (available > 0) {
      DWORD got = 0;
      if (!::ReadFile(read_end_.get(), buffer_, std::min<DWORD>(available, sizeof buffer_), &got,
                      nullptr) ||
          got == 0) {
        return Finish();
      }
      raw_.clear();
      splitter_.Feed(buffer_, got, raw_);
      AddDecodedLines(raw_, output_);
      captured_ += got;
      // A program that never stops writing is ended at the time limit or the size bound
      // alike; the output so far is kept.
      if (captured_ >= kMaxCapturedBytes)
        end_ = CaptureEnd::kSizeLimit;
      else if (clock_.ms() >= time_limit_ms_)
        end_ = CaptureEnd::kTimeLimit;
      else if (cancel_.Requested())
        end_ = CaptureEnd::kCancelled;
      if (end_ != CaptureEnd::kEnded)
        return Finish();
      return Progress::kData;
    }
    const DWORD now = clock_.ms();
    if (!exited_at_ && program_.Exited())
      exited_at_ = now;
    if (!ended_at_ && (now >= time_limit_ms_ || cancel_.Requested() ||
                       (exited_at_ && now - *exited_at_ >= kAfterExitMs))) {
      // Children that hold the output after the program's own end are ended without a cut.
      if (!exited_at_)
        end_ = now >= time_limit_ms_ ? CaptureEnd::kTimeLimit : CaptureEnd::kCancelled;
      program_.End();
      ended_at_ = now;
    }
    // A writer outside the job cannot be ended; stop reading soon after the end anyway.
    if (ended_at_ && now - *ended_at_ >= 1000)
      return Finish();
    return Progress::kIdle;
  }

  // The process while it still runs (something to wait on between rounds), else null.
  HANDLE RunningProcess() const { return exited_at_ ? nullptr : program_.process(); }
  StringList& output() { return output_; }
  CaptureEnd end() const { return end_; }

 private:
  Progress Finish() {
    done_ = true;
    raw_.clear();
    splitter_.Finish(raw_);
    AddDecodedLines(raw_, output_);
    read_end_.reset();
    if (!program_.Exited())
      program_.EndAndWait();
    return Progress::kDone;
  }

  const RunCancellation& cancel_;
  const DWORD time_limit_ms_;
  UniqueHandle read_end_;
  JobProcess program_;
  ConsoleLineSplitter splitter_;
  StringList raw_, output_;
  const ElapsedClock clock_;
  std::optional<DWORD> exited_at_, ended_at_;
  uint64_t captured_ = 0;
  CaptureEnd end_ = CaptureEnd::kEnded;
  bool done_ = false;
  char buffer_[4096];
};

// Between rounds in which no program wrote: up to 10 ms, sooner when a running one ends.
void WaitBetweenRounds(const std::vector<HANDLE>& running) {
  if (running.empty())
    ::Sleep(10);
  else
    ::WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), FALSE, 10);
}

}  // namespace

void RecordCaptureEnd(RunLog& log, std::string_view program, CaptureEnd end, DWORD time_limit_ms) {
  switch (end) {
    case CaptureEnd::kEnded:
      return;
    case CaptureEnd::kTimeLimit:
      log.LimitReached(program, StrPrintf("time limit of %lu s", time_limit_ms / 1000ul),
                       "the output so far");
      return;
    case CaptureEnd::kSizeLimit:
      log.LimitReached(program,
                       StrPrintf("size limit of %llu MB",
                                 static_cast<unsigned long long>(kMaxCapturedBytes >> 20)),
                       "the output so far");
      return;
    case CaptureEnd::kCancelled:
      log.LimitReached(program, "the run's cancellation", "the output so far");
      return;
  }
}

CaptureEnd CaptureConsoleOutput(const ConsoleCommand& command, const ChildSetting& setting,
                                StringList& output, const RunCancellation& cancel,
                                DWORD time_limit_ms) {
  CapturedProgram program(command, setting, cancel, time_limit_ms);
  for (;;) {
    const CapturedProgram::Progress progress = program.Step();
    if (progress == CapturedProgram::Progress::kDone)
      break;
    if (progress == CapturedProgram::Progress::kIdle) {
      const HANDLE process = program.RunningProcess();
      WaitBetweenRounds(process ? std::vector<HANDLE>{process} : std::vector<HANDLE>{});
    }
  }
  AppendList(output, program.output());
  return program.end();
}

std::vector<CaptureEnd> CaptureConsoleOutputs(const std::vector<ConsoleCommand>& commands,
                                              const ChildSetting& setting, StringList& output,
                                              const RunCancellation& cancel, DWORD time_limit_ms,
                                              size_t at_once) {
  std::vector<CaptureEnd> ends;
  at_once = std::clamp<size_t>(at_once, 1, MAXIMUM_WAIT_OBJECTS);
  // Started in order and appended in order: the oldest one's output goes out once it is done.
  // A program done before an older one frees its place at once (its output waits for its turn),
  // so one slow program never holds the others back; the outputs waiting are bounded too.
  const size_t window = at_once * 8;
  struct Queued {
    std::unique_ptr<CapturedProgram> program;
    bool done = false;
  };
  std::deque<Queued> queue;
  size_t next = 0, active = 0;
  while (next < commands.size() || !queue.empty()) {
    while (active < at_once && queue.size() < window && next < commands.size() &&
           !cancel.Requested()) {
      queue.push_back(
          {std::make_unique<CapturedProgram>(commands[next++], setting, cancel, time_limit_ms)});
      ++active;
    }
    if (cancel.Requested())
      next = commands.size();
    bool data = false;
    std::vector<HANDLE> processes;
    for (Queued& queued : queue) {
      if (queued.done)
        continue;
      const CapturedProgram::Progress progress = queued.program->Step();
      data |= progress == CapturedProgram::Progress::kData;
      if (progress == CapturedProgram::Progress::kDone) {
        queued.done = true;
        --active;
      } else if (progress == CapturedProgram::Progress::kIdle && queued.program->RunningProcess()) {
        processes.push_back(queued.program->RunningProcess());
      }
    }
    while (!queue.empty() && queue.front().done) {
      AppendList(output, queue.front().program->output());
      ends.push_back(queue.front().program->end());
      queue.pop_front();
    }
    if (!data)
      WaitBetweenRounds(processes);
  }
  return ends;
}

bool IsFileInUse(const std::string& path) {
  UniqueHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file.valid();
}

}  // namespace kovra::win

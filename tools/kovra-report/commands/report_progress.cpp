#include "commands/report_progress.h"

#include <cstdio>

#include "base/text.h"
#include "report_file.h"

#ifdef _WIN32
#include <io.h>
#define KOVRA_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define KOVRA_ISATTY(f) isatty(fileno(f))
#endif

namespace kovra {

namespace {

// Redrawn at most this often, so that a fast run does not spend its time drawing.
constexpr std::chrono::milliseconds kRedraw(100);

std::string Clock(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  return s >= 3600 ? StrPrintf("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60)
                   : StrPrintf("%ld:%02ld", s / 60, s % 60);
}

}  // namespace

std::string ProgressLine(ProgressUnit unit, uint64_t done, uint64_t total, double elapsed_s,
                         std::string_view name) {
  constexpr size_t kBar = 20;
  const size_t filled = total == 0 ? kBar : static_cast<size_t>(done * kBar / total);
  std::string line = "[" + std::string(filled, '#') + std::string(kBar - filled, '.') + "] ";
  const bool mb = unit == ProgressUnit::kMegabytes;
  const double scale = mb ? 1.0 / (1 << 20) : 1.0;
  line += mb ? StrPrintf("%.1f/%.1f MB", done * scale, total * scale)
             : StrPrintf("%llu/%llu reports", static_cast<unsigned long long>(done),
                         static_cast<unsigned long long>(total));
  if (elapsed_s > 0 && done > 0) {
    const double rate = done * scale / elapsed_s;
    line += StrPrintf(mb ? ", %.1f MB/s" : ", %.1f/s", rate);
    line += ", " + Clock(static_cast<double>(total - done) * scale / rate) + " left";
  }
  std::string shown = TerminalSafe(name);
  if (shown.size() > 36)
    shown = "..." + shown.substr(shown.size() - 33);
  return line + "  " + shown;
}

Progress::Progress(ProgressUnit unit, uint64_t total)
    : unit_(unit),
      total_(total),
      active_(KOVRA_ISATTY(stderr) != 0),
      start_(std::chrono::steady_clock::now()),
      last_(start_ - kRedraw) {}

Progress::~Progress() {
  Clear();
}

void Progress::Update(uint64_t done, std::string_view name) {
  if (!active_)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < kRedraw && done < total_)
    return;
  last_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const std::string line = ProgressLine(unit_, done, total_, elapsed, name);
  // Carriage return and blanks over what is left of the longer line before: no terminal
  // escapes, so that every console shows it alike.
  const size_t width = TextLength(line);
  std::fprintf(stderr, "\r%s%s", line.c_str(),
               std::string(drawn_ > width ? drawn_ - width : 0, ' ').c_str());
  std::fflush(stderr);
  drawn_ = width;
}

void Progress::Clear() {
  if (!active_ || drawn_ == 0)
    return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

}  // namespace kovra

// Progress of long work on standard error while it is a terminal: one line, redrawn in place,
// with how much is done of the total (reports, or MB), the rate and the time left. Nothing at
// all when standard error is a pipe or a file.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

enum class ProgressUnit { kReports, kMegabytes };

class Progress {
 public:
  Progress(ProgressUnit unit, uint64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // `done` of the total (reports, or bytes for kMegabytes), and what is being worked on.
  void Update(uint64_t done, std::string_view name);
  // Clears the line, before a message of its own and at the end.
  void Clear();
  [[nodiscard]] bool shown() const { return active_; }

 private:
  ProgressUnit unit_;
  uint64_t total_;
  bool active_;
  size_t drawn_ = 0;  // the width of the line on the terminal
  std::chrono::steady_clock::time_point start_, last_;
};

// The progress line itself (without its redrawing): a bar, done of total, rate, time left and
// the name, for `elapsed_s` seconds of work.
[[nodiscard]] std::string ProgressLine(ProgressUnit unit, uint64_t done, uint64_t total,
                                       double elapsed_s, std::string_view name);

}  // namespace kovra

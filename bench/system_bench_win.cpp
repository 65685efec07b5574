// Time of the atom scan and of the whole process table, each beside a baseline of the bare
// system calls it is built on, measured in the same process (run under Wine by
// bench/system_bench.sh, or on Windows directly).
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>

#include "bench_clock_win.h"
#include <string>

#include "collectors/system/process_table_win.h"
#include "platform/elapsed_clock_win.h"
#include "platform/handles_win.h"

namespace {

template <typename F>
double Best(int runs, F f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t = BenchSeconds();
    f();
    best = std::min(best, BenchSeconds() - t);
  }
  return best;
}

// The two name queries per value that the scan makes, and nothing else.
void BareAtomSweep() {
  wchar_t name[1024];
  volatile unsigned found = 0;
  for (unsigned v = 0xC000; v <= 0xFFFF; ++v) {
    found = found + (::GlobalGetAtomNameW(static_cast<ATOM>(v), name, 1024) > 0);
    found = found + (::GetClipboardFormatNameW(v, name, 1024) > 0);
  }
}

// A process snapshot walk: the least a process list costs.
void BareSnapshot() {
  const kovra::win::UniqueSnapshot s(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  if (::Process32FirstW(s.get(), &e)) {
    while (::Process32NextW(s.get(), &e)) {
    }
  }
}

}  // namespace

int main() {
  using namespace kovra::win;
  std::string sink;
  TickRunClock clock;
  kovra::RunLog log(clock);
  const double atoms = Best(5, [&] { sink = GetGlobalAtomInfo(log); });
  const double bare_atoms = Best(5, BareAtomSweep);
  const double table = Best(5, [&] { sink = CollectProcessTable(log); });
  const double bare_table = Best(5, BareSnapshot);
  std::printf("atom scan (GetGlobalAtomInfo)      %8.1f ms\n", atoms * 1000);
  std::printf("baseline: bare 2 x 16384 queries    %8.1f ms  ratio %.2f\n", bare_atoms * 1000,
              atoms / bare_atoms);
  std::printf("process table (CollectProcessTable) %8.1f ms\n", table * 1000);
  std::printf("baseline: Toolhelp snapshot walk    %8.1f ms  ratio %.2f\n", bare_table * 1000,
              table / bare_table);
  std::printf("(the table includes the atom scan; without it %.1f ms)\n", (table - atoms) * 1000);
  return 0;
}

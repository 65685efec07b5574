// The inventory's floor under the system it runs on: every .exe, .dll and .sys file below a
// folder found by a bare walk, opened, read whole and closed on one thread, with nothing else
// (no version, no digest, no text). Prints "files N ms M". bench/scale_bench.sh runs it under
// Wine beside md5sum, whose files need no request to another process to be opened.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock_win.h"
#include "platform/handles_win.h"

namespace {

bool Inventoried(const std::wstring& name) {
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos)
    return false;
  const std::wstring ext = name.substr(dot);
  return ::lstrcmpiW(ext.c_str(), L".exe") == 0 || ::lstrcmpiW(ext.c_str(), L".dll") == 0 ||
         ::lstrcmpiW(ext.c_str(), L".sys") == 0;
}

void ReadAll(const std::wstring& folder, std::vector<char>& buffer, size_t& files) {
  WIN32_FIND_DATAW d;
  kovra::win::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &d));
  if (!find)
    return;
  do {
    const std::wstring name = d.cFileName;
    if (name == L"." || name == L"..")
      continue;
    const std::wstring path = folder + L"\\" + name;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ReadAll(path, buffer, files);
    } else if (Inventoried(name)) {
      const kovra::win::UniqueHandle file(
          ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      if (!file)
        continue;
      DWORD got = 0;
      while (
          ::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
          got > 0) {
      }
      ++files;
    }
  } while (::FindNextFileW(find.get(), &d));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_inventory_floor FOLDER\n");
    return 2;
  }
  std::vector<char> buffer(256 << 10);
  size_t files = 0;
  const double start = BenchSeconds();
  ReadAll(argv[1], buffer, files);
  std::printf("files %zu ms %.0f\n", files, (BenchSeconds() - start) * 1000);
  return 0;
}

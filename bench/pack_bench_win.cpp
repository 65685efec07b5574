// Packs FOLDER\*.* at level 8 into ARCHIVE and enciphers it into CONTAINER, as the report's
// first way does, and prints the seconds each step took.
//   bench_pack FOLDER ARCHIVE CONTAINER
#include <windows.h>

#include <cstdio>

#include "bench_clock_win.h"

#include "archive/zip_archive_win.h"
#include "crypto/crypto_files_win.h"
#include "crypto/descrypt.h"
#include "platform/files_win.h"
#include "platform/win_text_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_pack FOLDER ARCHIVE CONTAINER\n");
    return 2;
  }
  using namespace kovra::win;
  const std::string folder = Narrow(argv[1]), archive = Narrow(argv[2]),
                    container = Narrow(argv[3]);
  DeleteFilePath(archive);
  DeleteFilePath(container);
  try {
    const double t0 = BenchSeconds();
    const size_t files = WriteZipArchive({folder + "\\*.*"}, archive, 8);
    const double t1 = BenchSeconds();
    EncryptFile(archive, container, kovra::kReportKey);
    const double t2 = BenchSeconds();
    std::printf("files %zu\nzip %.3f\nencrypt %.3f\ntotal %.3f\n", files, t1 - t0, t2 - t1,
                t2 - t0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_pack: %s\n", e.what());
    return 1;
  }
  return 0;
}

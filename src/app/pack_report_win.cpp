#include "app/pack_report_win.h"

#include "archive/zip_archive_win.h"
#include "crypto/crypto_files_win.h"
#include "crypto/descrypt.h"
#include "platform/files_win.h"
#include "platform/local_time_win.h"

namespace kovra::win {

namespace {

constexpr int kEncipheredLevel = 8;
constexpr int kPlainLevel = 4;

// Writes info.data and enciphers it to `destination`; info.data goes once enciphered.
size_t ZipAndEncryptTo(const StringList& archive_list, const std::string& destination) {
  const std::string archive = ExeFolder() + "info.data";
  const StringList entries = archive_list;
  const size_t written = WriteZipArchive(entries, archive, kEncipheredLevel);
  if (written > 0) {
    EncryptFile(archive, destination, kReportKey);
    DeleteFilePath(archive);
  }
  return written;
}

}  // namespace

size_t ZipAndEncrypt(const StringList& archive_list, const std::string& report_path) {
  try {
    return ZipAndEncryptTo(archive_list, report_path);
  } catch (...) {
    return 0;
  }
}

size_t ZipAndEncryptBesideProgram(const StringList& archive_list) {
  return ZipAndEncryptTo(archive_list, ExeFolder() + "nf_logs_" + TodayYmd() + ".log");
}

size_t ZipFolder(const std::string& entry, const std::string& archive_path) {
  try {
    return WriteZipArchive(StringList{entry}, archive_path, kPlainLevel);
  } catch (...) {
    return 0;
  }
}

void PackReport(const StringList* archive_list, const std::string& staging_folder,
                const std::string& report_path) {
  const std::string folder_entry = staging_folder + "*.*";
  if (archive_list) {
    if (ZipAndEncrypt(*archive_list, report_path) > 0)
      return;
    // Way 2 is tried a second time when it raises: its failures are mostly passing ones (the
    // info.data that way 1 just wrote, or the container, still held open for a moment by a
    // scanner that looks at new files), and the second try is the last chance of an enciphered
    // report before way 3 packs the staging folder in plain. A failure that lasts (a folder
    // that cannot be written) costs the one extra try and then goes on to way 3. A way 2 that
    // returns having written no file is not retried: it would find the same files again.
    try {
      if (ZipAndEncryptBesideProgram(*archive_list) > 0)
        return;
    } catch (...) {
      try {
        if (ZipAndEncryptBesideProgram(*archive_list) > 0)
          return;
      } catch (...) {
      }
    }
  }
  ZipFolder(folder_entry, report_path);
}

}  // namespace kovra::win

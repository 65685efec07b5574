// Names in folders that other programs can write (the user's temporary folder, desktop and
// profile folders, the program's own folder) are not trusted as they stand: a link planted at a
// name the tool writes, removes or reads would lead the tool's rights elsewhere. Existing names
// are looked at without following them (FILE_FLAG_OPEN_REPARSE_POINT) and a link is removed,
// never what it leads to.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "base/run_log.h"
#include "platform/handles_win.h"

namespace kovra::win {

// What stands at a name, seen without following it.
enum class NameKind {
  kAbsent,
  kFile,
  kFolder,
  // A reparse point: a symbolic link, junction or mount point (to a file or a folder).
  kLink,
  // A file with more than one name: another name of a file elsewhere.
  kHardLink,
};

NameKind InspectName(const std::wstring& path);
NameKind InspectName(const std::string& path);

// True for what may not be trusted at a name the tool writes or reads.
inline bool IsPlanted(NameKind kind) {
  return kind == NameKind::kLink || kind == NameKind::kHardLink;
}

// Removes the name at `path` itself when it is a link or a hard link (never what it leads to);
// true when nothing planted stands there afterwards.
[[nodiscard]] bool RemoveLinkAt(const std::wstring& path);

// Removes a link or a hard link planted at `path` (the name itself, never what it leads to)
// and notes it in the run log; the same for a folder where the tool writes a file. True when
// the name is free afterwards or holds a plain file.
[[nodiscard]] bool RemovePlantedName(const std::string& path, RunLog& log);

// Frees a name the tool is about to write: a link or a second name planted there is removed
// and noted (RemovePlantedName), an earlier file of the name deleted.
void ClearNameForWriting(const std::string& path, RunLog& log);

// Why an existing file is not read: it is a link or has other names (see NameKind).
class PlantedNameError : public std::runtime_error {
 public:
  explicit PlantedNameError(const std::string& path)
      : std::runtime_error(path + ": a link or a second name of another file; not read") {}
};

// Opens an existing file for reading, unless it is a link or a hard link (PlantedNameError).
// `share` and `flags` as CreateFileW takes them; an open that fails gives no handle, with the
// system's error as the last error.
UniqueHandle OpenPlainFileForReading(const std::wstring& path, DWORD share, DWORD flags);

}  // namespace kovra::win

// File-system helpers on top of the wide Win32 API. Paths are UTF-8 at this interface.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kovra::win {

std::string ExePath();
// The folder of the executable, with a trailing backslash.
std::string ExeFolder();
// The user's temporary folder, with its trailing backslash, as JudgedTempFolder judges it.
std::string TempFolder();

// The full path of a program of the system folder ("cmd.exe") or of the Windows folder
// ("explorer.exe"): system programs are never started by bare name.
std::string SystemProgramPath(std::string_view program);
std::string WindowsProgramPath(std::string_view program);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder with all missing parents; true when it exists afterwards.
[[nodiscard]] bool ForceDirectories(const std::string& path);
// False when the file could not be deleted, a missing one included: a caller that deletes a
// file if it is there needs no check first. Removes the name only, never what a link there
// leads to.
bool DeleteFilePath(const std::string& path);
// Environment references (%NAME%) expanded; empty text when the expansion fails.
std::string ExpandEnvironmentText(const std::string& text);
// The path as GetFullPathNameW expands it; the input when that fails.
std::string FullPathName(const std::string& path);

// Lines saved in the system ANSI code page, no byte-order mark, CR LF after every line; throws
// std::runtime_error with the system's reason.
void SaveListAnsi(const std::vector<std::string>& lines, const std::string& path);

// Whole-file reads and writes; both throw std::runtime_error with the system's reason. The write
// goes through ReplaceThroughTemporary, so it never writes through a link at the name.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Writes all of `bytes` to an open file; throws with `path` in the message on failure.
void WriteAllToHandle(void* file, std::string_view bytes, const std::string& path);
// Reads exactly `size` bytes at `offset` of an open file (in pieces of at most 1 MiB, without
// moving its file pointer); false when the file is shorter or a read fails.
[[nodiscard]] bool ReadFileAt(void* file, uint64_t offset, void* buffer, size_t size);

// The words of ReplaceThroughTemporary's own errors: no temporary file (naming `create_subject`,
// which may be empty), or it cannot be moved over the destination (naming the destination).
struct TemporaryWriteErrors {
  std::string_view create;
  std::string_view create_subject;
  std::string_view move;
};

// Writes `destination` by way of a new, uniquely named file beside it (its name begins with
// `prefix`): `write` fills that file through the open handle it is given (with the file's path
// for its messages); then the file is closed and moved onto the destination's name. The file is
// created new, never opened by a name another program could have prepared, and the move
// replaces whatever stands at the name (a planted link included) instead of writing through
// it. Whatever fails or throws, the new file is deleted and the destination is left as it was,
// so a failed write never leaves a partial file in its place.
void ReplaceThroughTemporary(const std::string& destination, const wchar_t* prefix,
                             const std::function<void(HANDLE file, const std::string& temp)>& write,
                             const TemporaryWriteErrors& errors);

}  // namespace kovra::win

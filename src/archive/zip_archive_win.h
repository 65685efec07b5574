// Writes the report archive from an archive list: expands the entries into files, stores them
// under their drive-less names and updates an archive that already exists at the path.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/string_list.h"

namespace kovra::win {

// Returns the number of files this call wrote (added or replaced). Throws (ZipWriteError or
// std::runtime_error) when the archive cannot be written; a new archive that failed is deleted,
// an archive being updated is left as it was. A file at the path that is no readable archive is
// replaced by a fresh one.
size_t WriteZipArchive(const StringList& entries, const std::string& archive_path, int level);

// The name bytes of a stored name: the OEM text when the name survives the ANSI and the OEM
// round trips (without regard to case), otherwise UTF-8 (`utf8` set).
std::string EncodeEntryName(const std::wstring& stored_name, bool& utf8);

}  // namespace kovra::win

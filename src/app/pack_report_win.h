// Packs the collected files into the report file, in up to three ways: the enciphered archive
// at the report path, the enciphered archive beside the program, the plain archive of the
// staging folder at the report path.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/string_list.h"

namespace kovra::win {

void PackReport(const StringList* archive_list, const std::string& staging_folder,
                const std::string& report_path);

// Way 1: info.data beside the program, enciphered into the report path. 0 on any error.
size_t ZipAndEncrypt(const StringList& archive_list, const std::string& report_path);
// Way 2: as way 1, the container going beside the program. Errors go to the caller.
size_t ZipAndEncryptBesideProgram(const StringList& archive_list);
// Way 3: the plain archive of one entry (the staging folder and "*.*"). 0 on any error.
size_t ZipFolder(const std::string& entry, const std::string& archive_path);

}  // namespace kovra::win

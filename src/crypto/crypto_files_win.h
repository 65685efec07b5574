// The cipher container and MD5 applied to files.
#pragma once

#include <windows.h>

#include <string>

#include "platform/pe_version.h"

namespace kovra::win {

// Enciphers the source file into a container at the destination. Empty arguments: nothing
// happens. Reads and enciphers in bounded chunks; writes a temporary file in the user's
// temporary folder and moves it into place only when complete, so a failed write never leaves
// a partial report, nor anything else, beside the destination.
// Throws std::runtime_error when the source cannot be read or the destination written.
void EncryptFile(const std::string& source, const std::string& destination, const std::string& key);

// MD5 of the file as 32 lowercase hex digits; the empty-input digest on any failure (a read
// fault included).
std::string GetFileMD5(const std::string& path);

// The MD5 digest as GetFileMD5 gives it and, read through the same open, the fixed version
// block of the file's version resource (FindPeFileVersion: unknown where the file is not plainly
// a PE image, or cannot be opened or read; the caller then asks the system). An inventory of
// many files thus opens each one once.
struct FileDigestAndVersion {
  std::string md5;
  PeVersion version;
};
FileDigestAndVersion GetFileMD5AndVersion(const std::string& path);

}  // namespace kovra::win

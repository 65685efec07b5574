// The cipher container and MD5 applied to files.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace kovra::win

// The reads behind facts that system and product collectors both print: a file's fixed version
// and a service's configuration.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kovra::win {

// The fixed file version as "a.b.c.d", empty without version information.
std::string FileVersionText(const std::string& path);
// FileVersionText and GetFileMD5 of one file, read through one open where the file is a plain
// PE image (the system is asked for the version only where it is not).
struct FileVersionAndDigest {
  std::string version, md5;
};
FileVersionAndDigest GetFileVersionAndDigest(const std::string& path);
// The start type and stored binary path of a service; false (start -1, path empty) when its
// configuration cannot be read.
[[nodiscard]] bool QueryServiceStartAndPath(SC_HANDLE manager, const std::wstring& service,
                                            int32_t& start, std::string& binary_path);

}  // namespace kovra::win

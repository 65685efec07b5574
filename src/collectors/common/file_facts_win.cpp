#include "collectors/common/file_facts_win.h"

#include "collectors/common/file_facts.h"
#include "crypto/crypto_files_win.h"
#include "platform/buffer_win.h"
#include "platform/files_info_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

std::string FileVersionText(const std::string& path) {
  uint32_t ms = 0, ls = 0;
  return GetFixedFileVersion(path, ms, ls) ? FixedVersionText(ms, ls) : std::string();
}

FileVersionAndDigest GetFileVersionAndDigest(const std::string& path) {
  const FileDigestAndVersion read = GetFileMD5AndVersion(path);
  switch (read.version.find) {
    case PeVersionFind::kFound:
      return {FixedVersionText(read.version.ms, read.version.ls), read.md5};
    case PeVersionFind::kNone:
      return {std::string(), read.md5};
    case PeVersionFind::kUnknown:
      break;
  }
  return {FileVersionText(path), read.md5};
}

// The most a service's configuration takes: one call is enough.
constexpr DWORD kServiceConfigBytes = 8192;

bool QueryServiceStartAndPath(SC_HANDLE manager, const std::wstring& service, int32_t& start,
                              std::string& binary_path) {
  start = -1;
  binary_path.clear();
  UniqueServiceHandle handle(::OpenServiceW(manager, service.c_str(), SERVICE_QUERY_CONFIG));
  if (!handle)
    return false;
  const std::vector<uint8_t> config = GrowByteBuffer(
      [&handle](uint8_t* buffer, DWORD size, DWORD* needed) {
        return ::QueryServiceConfigW(handle.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer),
                                     size, needed) != FALSE;
      },
      kServiceConfigBytes);
  if (config.size() < sizeof(QUERY_SERVICE_CONFIGW))
    return false;
  const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
  start = static_cast<int32_t>(c->dwStartType);
  binary_path = Narrow(c->lpBinaryPathName);
  return true;
}

}  // namespace kovra::win

#include "platform/files_info_win.h"

#include <shlobj.h>

#include <vector>

#include "base/text.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

bool QueryText(const std::vector<uint8_t>& block, const std::string& sub_block, std::string& out) {
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), Widen(sub_block).c_str(), &value, &length) ||
      value == nullptr) {
    return false;
  }
  out = Narrow(static_cast<const wchar_t*>(value));
  return true;
}

}  // namespace

bool ReadFileInfo(const std::string& path, TFileInfo& info, const std::string& extra_key) {
  try {
    const std::wstring wpath = Widen(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wpath.c_str(), &ignored);
    if (size == 0)
      return false;
    std::vector<uint8_t> block(size);
    if (!::GetFileVersionInfoW(wpath.c_str(), 0, size, block.data()))
      return false;

    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        value == nullptr || length < 4) {
      return false;
    }
    const DWORD translation = *static_cast<const DWORD*>(value);
    std::string prefix = StringTablePrefix(LOWORD(translation), HIWORD(translation));
    if (!::VerQueryValueW(block.data(), Widen(prefix.substr(0, prefix.size() - 1)).c_str(), &value,
                          &length)) {
      // The translation table names a table that is not there: take the first one there is.
      if (::VerQueryValueW(block.data(), L"\\StringFileInfo\\", &value, &length) &&
          value != nullptr) {
        const std::u16string key = FirstStringTableKey(block.data(), block.size());
        if (!key.empty())
          prefix = "\\StringFileInfo\\" + Utf16ToUtf8(key) + "\\";
      }
    }
    for (const FileInfoKey& k : kFileInfoKeys)
      QueryText(block, prefix + k.name, info.*k.field);
    if (::VerQueryValueW(block.data(), L"\\", &value, &length) && value != nullptr &&
        length >= sizeof(info.Fixed)) {
      memcpy(info.Fixed, value, sizeof(info.Fixed));
    }
    if (!extra_key.empty())
      QueryText(block, prefix + extra_key, info.Extra);
    return true;
  } catch (...) {
    return false;
  }
}

std::string GetFileVersionText(const std::string& path, int code, const std::string& default_text) {
  TFileInfo info;
  if (!ReadFileInfo(path, info, "WOW Version"))
    return default_text;
  return FileInfoFieldText(info, code);
}

std::string GetShellFolder(HWND owner, int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE))
    return std::string();
  return Narrow(buffer);
}

std::string GetSpecialFolder(HWND owner, int csidl) {
  return GetShellFolder(owner, csidl);
}

}  // namespace kovra::win

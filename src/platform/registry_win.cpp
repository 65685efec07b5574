#include "platform/registry_win.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

constexpr DWORD kEnumBufferUnits = 2049;

[[noreturn]] void Raise(const char* format, const std::string& name) {
  throw ERegistryException(StrPrintf(format, name.c_str()));
}

}  // namespace

TRegistry::TRegistry() : Wow64Process_(IsWow64()) {}

TRegistry::TRegistry(DWORD access) : TRegistry() {
  Access_ = access;
}

void TRegistry::SetRootKey(HKEY root) {
  if (root == RootKey_)
    return;
  RootKey_ = root;
  CloseKey();
}

void TRegistry::CloseKey() {
  CurrentKey_.reset();
  CurrentPath_.clear();
}

bool TRegistry::Open(const std::string& path, DWORD access) {
  const bool relative = path.empty() || path[0] != '\\';
  const std::string sub = relative ? path : path.substr(1);
  const bool from_current = relative && CurrentKey_.valid();
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(from_current ? CurrentKey_.get() : RootKey_, Widen(sub).c_str(), 0, access,
                      &opened) != ERROR_SUCCESS) {
    return false;
  }
  CurrentPath_ = from_current ? CurrentPath_ + "\\" + sub : sub;
  CurrentKey_.reset(opened);
  return true;
}

bool TRegistry::OpenKey(const std::string& path) {
  Access_ = SelectRegistryView(Access_, path, CurrentPath_, Wow64Process_, AutoView_);
  return Open(path, Access_);
}

bool TRegistry::OpenKeyReadOnly(const std::string& path) {
  Access_ = SelectRegistryView(Access_, path, CurrentPath_, Wow64Process_, AutoView_);
  const DWORD view = Access_ & kKeyWow64Bits;
  static constexpr DWORD kMasks[] = {
      KEY_READ, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, KEY_QUERY_VALUE};
  for (DWORD mask : kMasks) {
    if (Open(path, mask | view)) {
      Access_ = mask | view;
      return true;
    }
  }
  return false;
}

bool TRegistry::GetKeyInfo(RegKeyInfo& info) const {
  info = RegKeyInfo{};
  return CurrentKey_.valid() &&
         ::RegQueryInfoKeyW(CurrentKey_.get(), nullptr, nullptr, nullptr, &info.NumSubKeys,
                            &info.MaxSubKeyLen, nullptr, &info.NumValues, &info.MaxValueLen,
                            &info.MaxDataLen, nullptr, &info.FileTime) == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys() const {
  RegKeyInfo info;
  return GetKeyInfo(info) && info.NumSubKeys > 0;
}

void TRegistry::GetKeyNames(StringList& list) const {
  list.clear();
  RegKeyInfo info;
  if (!GetKeyInfo(info))
    return;
  std::vector<wchar_t> buffer(kEnumBufferUnits);
  for (DWORD i = 0; i < info.NumSubKeys; ++i) {
    DWORD length = std::min<DWORD>(info.MaxSubKeyLen + 1, kEnumBufferUnits);
    if (::RegEnumKeyExW(CurrentKey_.get(), i, buffer.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
      continue;
    }
    const std::string name = Narrow(std::wstring_view(buffer.data(), length));
    if (!IsWow6432NodeName(name))
      list.push_back(name);
  }
}

void TRegistry::GetValueNames(StringList& list) const {
  list.clear();
  RegKeyInfo info;
  if (!GetKeyInfo(info))
    return;
  std::vector<wchar_t> buffer(info.MaxValueLen + 1);
  for (DWORD i = 0; i < info.NumValues; ++i) {
    DWORD length = info.MaxValueLen + 1;
    if (::RegEnumValueW(CurrentKey_.get(), i, buffer.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS) {
      list.push_back(Narrow(std::wstring_view(buffer.data(), length)));
    }
  }
}

bool TRegistry::ValueExists(const std::string& name) const {
  RegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::GetDataInfo(const std::string& name, RegDataInfo& info) const {
  info = RegDataInfo{};
  DWORD type = REG_NONE, size = 0;
  if (!CurrentKey_.valid() || ::RegQueryValueExW(CurrentKey_.get(), Widen(name).c_str(), nullptr,
                                                 &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  info.RegData = RegKindFromType(type);
  info.DataSize = static_cast<int>(size);
  return true;
}

int TRegistry::GetDataSize(const std::string& name) const {
  RegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

RegDataKind TRegistry::GetDataType(const std::string& name) const {
  RegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : RegDataKind::Unknown;
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (GetDataSize(name) <= 0)
    return std::string();
  // The whole value, however long: a fixed buffer would turn a long command line (a Run entry,
  // say) into an empty one.
  const std::wstring wide_name = Widen(name);
  DWORD type = REG_NONE;
  std::vector<uint8_t> data = GrowByteBuffer([&](uint8_t* buffer, DWORD capacity, DWORD* needed) {
    DWORD size = capacity;
    const LONG rc =
        ::RegQueryValueExW(CurrentKey_.get(), wide_name.c_str(), nullptr, &type, buffer, &size);
    if (rc == ERROR_SUCCESS && buffer == nullptr) {
      ::SetLastError(ERROR_MORE_DATA);  // the size alone: ask again with a buffer
      *needed = size + sizeof(wchar_t);
      return false;
    }
    ::SetLastError(static_cast<DWORD>(rc));
    *needed = size + sizeof(wchar_t);  // room for a terminator the data may lack
    return rc == ERROR_SUCCESS;
  });
  const RegDataKind kind = RegKindFromType(type);
  if (kind != RegDataKind::String && kind != RegDataKind::ExpandString)
    Raise("Invalid data type for '%s'", name);
  if (data.empty())
    return std::string();
  // The text up to its first NUL; the block is zeroed past what the query filled.
  const auto* text = reinterpret_cast<const wchar_t*>(data.data());
  return Narrow(std::wstring_view(text, wcsnlen(text, data.size() / sizeof(wchar_t))));
}

DWORD TRegistry::ReadDword(const std::string& name) const {
  DWORD type = REG_NONE, value = 0, size = sizeof value;
  if (!CurrentKey_.valid() ||
      ::RegQueryValueExW(CurrentKey_.get(), Widen(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    Raise("Failed to get data for '%s'", name);
  }
  if (RegKindFromType(type) != RegDataKind::Integer)
    Raise("Invalid data type for '%s'", name);
  return value;
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int buffer_size) const {
  RegDataInfo info;
  if (!GetDataInfo(name, info))
    return 0;
  if ((info.RegData != RegDataKind::Binary && info.RegData != RegDataKind::Unknown) ||
      buffer_size < info.DataSize) {
    Raise("Invalid data type for '%s'", name);
  }
  DWORD type = REG_NONE, size = static_cast<DWORD>(buffer_size);
  if (::RegQueryValueExW(CurrentKey_.get(), Widen(name).c_str(), nullptr, &type,
                         static_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    Raise("Failed to get data for '%s'", name);
  }
  return static_cast<int>(size);
}

bool TRegistry::ReadTextValue(const std::string& name, std::string& text) const {
  text.clear();
  RegDataInfo info;
  if (!GetDataInfo(name, info) ||
      (info.RegData != RegDataKind::String && info.RegData != RegDataKind::ExpandString))
    return false;
  try {
    text = ReadString(name);
    return true;
  } catch (const ERegistryException&) {
    return false;  // changed kind since it was looked at
  }
}

std::string TRegistry::ReadValueText(const std::string& name) const {
  RegDataInfo info;
  if (!GetDataInfo(name, info) || info.DataSize == 0)
    return std::string();
  try {
    switch (info.RegData) {
      case RegDataKind::String:
      case RegDataKind::ExpandString:
        return ReadString(name);
      case RegDataKind::Integer:
        return RegDwordText(ReadDword(name));
      case RegDataKind::Binary:
      case RegDataKind::Unknown: {
        std::vector<uint8_t> bytes(static_cast<size_t>(info.DataSize));
        if (ReadBinaryData(name, bytes.data(), info.DataSize) != info.DataSize)
          return kRegReadError;
        return RegHexText(bytes.data(), bytes.size());
      }
    }
  } catch (...) {
  }
  return kRegReadError;
}

}  // namespace kovra::win

// The registry reader every collector uses. Under WOW64 it chooses the
// registry view per key path (Wow6432Node paths in the 32-bit view, all others in the 64-bit
// view) and its enumerations never return the Wow6432Node mirror.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "base/string_list.h"
#include "platform/handles_win.h"
#include "platform/registry_text.h"

namespace kovra::win {

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RegDataInfo {
  RegDataKind RegData = RegDataKind::Unknown;
  int DataSize = 0;
};

struct RegKeyInfo {
  DWORD NumSubKeys = 0, MaxSubKeyLen = 0, NumValues = 0, MaxValueLen = 0, MaxDataLen = 0;
  FILETIME FileTime = {};
};

class TRegistry {
 public:
  TRegistry();
  explicit TRegistry(DWORD access);

  HKEY RootKey() const { return RootKey_; }
  const std::string& CurrentPath() const { return CurrentPath_; }
  HKEY CurrentKey() const { return CurrentKey_.get(); }
  DWORD Access() const { return Access_; }
  bool AutoView() const { return AutoView_; }
  void SetAutoView(bool on) { AutoView_ = on; }
  bool Wow64Process() const { return Wow64Process_; }

  void SetRootKey(HKEY root);
  void CloseKey();
  [[nodiscard]] bool OpenKey(const std::string& path);
  [[nodiscard]] bool OpenKeyReadOnly(const std::string& path);
  [[nodiscard]] bool GetKeyInfo(RegKeyInfo& info) const;
  bool HasSubKeys() const;
  void GetKeyNames(StringList& list) const;
  void GetValueNames(StringList& list) const;

  bool ValueExists(const std::string& name) const;
  [[nodiscard]] bool GetDataInfo(const std::string& name, RegDataInfo& info) const;
  int GetDataSize(const std::string& name) const;
  RegDataKind GetDataType(const std::string& name) const;
  // A String or ExpandString value; false (text empty) when it is missing or of another kind.
  // Never throws: for the collectors that treat an odd value as absent.
  [[nodiscard]] bool ReadTextValue(const std::string& name, std::string& text) const;
  // Throw ERegistryException as documented; ReadValueText never throws.
  std::string ReadString(const std::string& name) const;
  DWORD ReadDword(const std::string& name) const;
  int ReadBinaryData(const std::string& name, void* buffer, int buffer_size) const;
  std::string ReadValueText(const std::string& name) const;

 private:
  [[nodiscard]] bool Open(const std::string& path, DWORD access);

  UniqueHkey CurrentKey_;
  HKEY RootKey_ = HKEY_CURRENT_USER;
  std::string CurrentPath_;
  DWORD Access_ = KEY_ALL_ACCESS;
  bool AutoView_ = true;
  bool Wow64Process_;
};

}  // namespace kovra::win

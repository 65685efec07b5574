// Keys whose security lets everyone read but nobody write (as with the service keys of
// protected security products), for the tests that each reader and walk still reads them, their
// sub-keys too: an Uninstall entry, a service key and a browser helper's class key. A test that
// derives from the fixture is skipped where Wine grants full access whatever the security says.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "own_view_win.h"
#include "test_support_win.h"

namespace kovra::win {

class ReadOnlyKeysTest : public testing::Test {
 protected:
  struct Locked {
    HKEY root;
    std::wstring parent, name;
  };
  static constexpr wchar_t kHelperId[] = L"{0B1A2C3D-0000-4000-8000-00000000BEEF}";
  static constexpr wchar_t kHelpers[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  const std::vector<Locked> keys_ = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       L"KovraLocked"},
      {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\services", L"KovraLockedSvc"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID", kHelperId},
  };

  // Sets the security of a key and, first, of its sub-keys.
  static void SetSecurity(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    UniqueLocalMem descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl, SDDL_REVISION_1, descriptor.receive(), nullptr));
    UniqueHkey key;
    ASSERT_EQ(::RegOpenKeyExW(root, path.c_str(), 0,
                              READ_CONTROL | WRITE_DAC | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE |
                                  KEY_WOW64_64KEY,
                              key.receive()),
              ERROR_SUCCESS);
    wchar_t name[256];
    for (DWORD i = 0, length = 256; ::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
      SetSecurity(root, path + L"\\" + name, sddl);
    ASSERT_EQ(::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()),
              ERROR_SUCCESS);
  }

  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix());
    {
      UniqueHkey k =
          CreateTestKey(HKEY_LOCAL_MACHINE, keys_[0].parent + L"\\" + keys_[0].name + L"\\Inner",
                        KEY_WOW64_64KEY);
      SetTextValue(k.get(), L"DisplayName", L"Inner entry");
      UniqueHkey top = CreateTestKey(HKEY_LOCAL_MACHINE, keys_[0].parent + L"\\" + keys_[0].name,
                                     KEY_WOW64_64KEY);
      SetTextValue(top.get(), L"DisplayName", L"Locked entry");
      UniqueHkey service = CreateTestKey(HKEY_LOCAL_MACHINE,
                                         keys_[1].parent + L"\\" + keys_[1].name, KEY_WOW64_64KEY);
      const DWORD three = 3;
      ::RegSetValueExW(service.get(), L"Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three),
                       4);
      UniqueHkey server = CreateTestKey(
          HKEY_LOCAL_MACHINE, keys_[2].parent + L"\\" + keys_[2].name + L"\\InprocServer32",
          KEY_WOW64_64KEY);
      SetTextValue(server.get(), L"", L"C:\\Kovra\\helper.dll");
      UniqueHkey helper = CreateTestKey(HKEY_LOCAL_MACHINE, keys_[2].parent + L"\\" + keys_[2].name,
                                        KEY_WOW64_64KEY);
      SetTextValue(helper.get(), L"", L"Kovra Locked Helper");
      CreateTestKey(HKEY_LOCAL_MACHINE, std::wstring(kHelpers) + L"\\" + kHelperId,
                    KEY_WOW64_64KEY);
    }
    // Everyone may read; changing the security back is all the owner keeps (for the clean-up).
    for (const Locked& k : keys_)
      SetSecurity(k.root, k.parent + L"\\" + k.name, L"D:P(A;;KRWD;;;WD)");
    UniqueHkey probe;
    const LONG full =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (keys_[0].parent + L"\\" + keys_[0].name).c_str(), 0,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, probe.receive());
    if (full == ERROR_SUCCESS)
      GTEST_SKIP() << "this Wine grants full access whatever the key's security says";
    ASSERT_EQ(full, ERROR_ACCESS_DENIED);
  }
  void TearDown() override {
    for (const Locked& k : keys_) {
      SetSecurity(k.root, k.parent + L"\\" + k.name, L"D:P(A;;KA;;;WD)");
      DeleteTestTree(k.root, k.parent.c_str(), k.name.c_str(), KEY_WOW64_64KEY);
    }
    DeleteTestTree(HKEY_LOCAL_MACHINE, kHelpers, kHelperId, KEY_WOW64_64KEY);
  }
};

}  // namespace kovra::win

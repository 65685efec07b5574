// The registry reader (TRegistry) against Wine's real registry: views chosen by path, the
// enumeration without the mirror, value texts and errors (a 64-bit prefix: the tests run under
// WOW64).
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/win_text_win.h"
#include "own_view_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kTestKey[] = L"SOFTWARE\\KovraPlatformTest";

// Writes the test keys in the given view of HKLM\SOFTWARE.
UniqueHkey CreateKey(const std::wstring& path, REGSAM view) {
  return CreateTestKey(HKEY_LOCAL_MACHINE, path, view);
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix()) << "the tests expect a 64-bit prefix";
    UniqueHkey k64 = CreateKey(kTestKey, KEY_WOW64_64KEY);
    UniqueHkey k32 = CreateKey(kTestKey, KEY_WOW64_32KEY);
    SetValue(k64.get(), L"view", REG_SZ, L"64", 6);
    SetValue(k32.get(), L"view", REG_SZ, L"32", 6);
    UniqueHkey blanks = CreateKey(std::wstring(kTestKey) + L"\\ WOW6432NODE ", KEY_WOW64_64KEY);
    UniqueHkey child = CreateKey(std::wstring(kTestKey) + L"\\Child", KEY_WOW64_64KEY);
    const DWORD all_ones = 0xFFFFFFFF;
    SetValue(k64.get(), L"dword", REG_DWORD, &all_ones, 4);
    SetValue(k64.get(), L"empty", REG_BINARY, nullptr, 0);
    SetValue(k64.get(), L"multi", REG_MULTI_SZ, L"a\0", 6);
    const uint64_t q = 0x0102030405060708ull;
    SetValue(k64.get(), L"qword", REG_QWORD, &q, 8);
    SetValue(k64.get(), L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    const std::wstring long_text(1024, L'x');
    SetValue(k64.get(), L"long", REG_SZ, long_text.c_str(), 2 * 1025);
    const std::wstring fits(1023, L'y');
    SetValue(k64.get(), L"fits", REG_SZ, fits.c_str(), 2 * 1024);
    SetValue(k64.get(), L"", REG_SZ, L"default", 16);
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);  // the 32-bit view
    UniqueHkey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        software.receive()) == ERROR_SUCCESS)
      ::RegDeleteTreeW(software.get(), L"KovraPlatformTest");
  }
};

TEST_F(RegistryTest, ViewsByPathAndEnumerationWithoutTheMirror) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\KovraPlatformTest"));
  EXPECT_EQ(reg.ReadString("view"), "64");
  EXPECT_EQ(reg.Access() & 0x0300u, 0x0100u);
  for (const char* path :
       {"\\SOFTWARE\\Wow6432Node\\KovraPlatformTest", "\\software\\WOW6432NODE\\KovraPlatformTest",
        "\\SOFTWARE\\wOw6432nOdE\\KovraPlatformTest"}) {
    ASSERT_TRUE(reg.OpenKey(path)) << path;
    EXPECT_EQ(reg.ReadString("view"), "32") << path;
    EXPECT_EQ(reg.Access() & 0x0300u, 0u);
  }
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\wOw6432nOdE\\KovraPlatformTest");

  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE"));
  StringList names;
  reg.GetKeyNames(names);
  EXPECT_FALSE(names.empty());
  for (const std::string& n : names)
    EXPECT_FALSE(SameTextAscii(n, "Wow6432Node")) << n;
  EXPECT_NE(std::find(names.begin(), names.end(), "KovraPlatformTest"), names.end());

  // A relative open goes on from the open key; the blank-padded mirror name is left out.
  ASSERT_TRUE(reg.OpenKey("KovraPlatformTest"));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\KovraPlatformTest");
  EXPECT_TRUE(reg.HasSubKeys());
  reg.GetKeyNames(names);
  EXPECT_EQ(names, StringList{"Child"});
  StringList values;
  reg.GetValueNames(values);
  EXPECT_NE(std::find(values.begin(), values.end(), ""), values.end());  // the default value
  EXPECT_NE(std::find(values.begin(), values.end(), "qword"), values.end());

  // Missing keys change nothing.
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\NoSuchKovraKey"));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\KovraPlatformTest");
}

TEST_F(RegistryTest, ValueTextsAndErrors) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\KovraPlatformTest"));
  const struct {
    const char* name;
    std::string text;
  } texts[] = {
      {"dword", "dword:FFFFFFFF"},
      {"empty", ""},
      {"multi", "hex:61,00,00,00,00,00"},
      {"qword", "hex:08,07,06,05,04,03,02,01"},
      {"expand", "%TEMP%\\x"},
      {"long", std::string(1024, 'x')},  // longer than 1023 characters: read whole
      {"missing", ""},
      {"", "default"},
  };
  for (const auto& c : texts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(reg.ReadValueText(c.name), c.text);
  }
  EXPECT_EQ(reg.ReadString("long"), std::string(1024, 'x'));
  EXPECT_EQ(reg.ReadString("fits"), std::string(1023, 'y'));
  const struct {
    const char* name;
    RegDataKind kind;
    int size;
  } kinds[] = {{"dword", RegDataKind::Integer, 4},
               {"multi", RegDataKind::Unknown, 6},
               {"qword", RegDataKind::Unknown, 8},
               {"missing", RegDataKind::Unknown, -1}};
  for (const auto& c : kinds) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(reg.GetDataType(c.name), c.kind);
    EXPECT_EQ(reg.GetDataSize(c.name), c.size);
  }
  EXPECT_EQ(reg.ReadDword("dword"), 0xFFFFFFFFu);
  try {
    reg.ReadString("dword");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'dword'");
  }
  char small[4];
  EXPECT_THROW(reg.ReadBinaryData("qword", small, 4), ERegistryException);
  EXPECT_EQ(reg.ReadBinaryData("missing", small, 4), 0);
}

TEST_F(RegistryTest, ReadOnlyOpenStaysReadOnly) {
  TRegistry reg;  // KEY_ALL_ACCESS
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\KovraPlatformTest"));
  EXPECT_EQ(reg.Access(), static_cast<DWORD>(KEY_READ | KEY_WOW64_64KEY));
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Wow6432Node\\KovraPlatformTest"));
  EXPECT_EQ(reg.Access(), static_cast<DWORD>(KEY_READ));
  EXPECT_EQ(reg.ReadString("view"), "32");
  // Changing the root closes the key.
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(reg.CurrentPath(), "");
}
}  // namespace
}  // namespace kovra::win

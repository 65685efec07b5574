// The security section under Wine, which has no Security Center.
#include <gtest/gtest.h>

#include <iostream>
#include <optional>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/security_state_win.h"
#include "own_view_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(SecurityState, TheThreeHeadersThenTheFirewallBlock) {
  // Wine has no Security Center: the three headers, then the firewall block.
  StringList security;
  ListSecurityState(security, TestRunLog().Log());
  for (const std::string& l : security)
    std::cout << l << "\n";
  ASSERT_EQ(security.size(), 11u);
  EXPECT_EQ(security, (StringList{"[AntiVirusProduct]", "", "[AntiSpywareProduct]", "",
                                  "[FirewallProduct]", "", "[Windows FireWall]", security[7],
                                  security[8], security[9], security[10]}));
  EXPECT_TRUE(StartsWithTextAscii(security[7], "HomeNetFwEnabled="));
  EXPECT_TRUE(StartsWithTextAscii(security[8], "PublicNetFwEnabled="));
  EXPECT_EQ(security[9], "FireWallEnabled=False");  // Wine's policy says so
  EXPECT_TRUE(security[10] == "FwObj=valid" || security[10] == "FwObj=nil") << security[10];
}

// A text value of a key; nothing when it is not there.
std::optional<std::wstring> TextValue(HKEY key, const wchar_t* name) {
  wchar_t text[1024] = {};
  DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  return std::wstring(text);
}

// The faulty in-process server beside the test program registered for a class in the
// program's own view, for the guard's lifetime; what was registered before is put back.
class FaultyServerRegistration {
 public:
  explicit FaultyServerRegistration(const std::wstring& clsid)
      : path_(L"Software\\Classes\\CLSID\\" + clsid + L"\\InprocServer32") {
    key_ = CreateTestKey(HKEY_LOCAL_MACHINE, path_, kOwnView);
    server_ = TextValue(key_.get(), nullptr);
    model_ = TextValue(key_.get(), L"ThreadingModel");
    wchar_t exe[MAX_PATH] = {};
    std::wstring dll(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH));
    dll.resize(dll.find_last_of(L'\\') + 1);
    SetTextValue(key_.get(), nullptr, dll + L"faulty_com.dll");
    SetTextValue(key_.get(), L"ThreadingModel", std::wstring(L"Both"));
  }
  ~FaultyServerRegistration() {
    Restore(nullptr, server_);
    Restore(L"ThreadingModel", model_);
  }
  FaultyServerRegistration(const FaultyServerRegistration&) = delete;
  FaultyServerRegistration& operator=(const FaultyServerRegistration&) = delete;

 private:
  void Restore(const wchar_t* name, const std::optional<std::wstring>& before) {
    if (before)
      SetTextValue(key_.get(), name, *before);
    else
      ::RegDeleteValueW(key_.get(), name);
  }

  std::wstring path_;
  UniqueHkey key_;
  std::optional<std::wstring> server_, model_;
};

TEST(SecurityState, AFaultInTheFirewallManagersServerReadsAsNoManager) {
  // A server that writes to address 0x10 when the manager is created: the firewall lines say
  // what they say without a manager, and the run log has the fault with where it happened.
  TestRunLog run;
  StringList security;
  {
    FaultyServerRegistration faulty(L"{304CE942-6E39-40D8-943A-B913C40C9CD4}");
    ListSecurityState(security, run.Log());
  }
  ASSERT_EQ(security.size(), 11u);
  EXPECT_EQ(StringList(security.begin() + 6, security.end()),
            (StringList{"[Windows FireWall]", "HomeNetFwEnabled=False", "PublicNetFwEnabled=False",
                        "FireWallEnabled=False", "FwObj=nil"}));
  const StringList notes = run.Notes();
  for (const std::string& n : notes)
    std::cout << n << "\n";
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_TRUE(Matches(notes[0],
                      "failed home firewall profile: access violation \\(exception 0xC0000005\\)"
                      " at faulty_com\\.dll\\+0x[0-9A-F]+, writing address 0x00000010, in "
                      "creating the firewall manager"))
      << notes[0];
}

}  // namespace
}  // namespace kovra::win

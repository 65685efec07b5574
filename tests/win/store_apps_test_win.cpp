// The store-app collector on Wine: its log on a machine without app-model keys, and a fixture
// of app-model keys and manifests in the test's registry and folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "collectors/system/store_apps_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kBase[] =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
    L"SystemAppData";

// The log's messages without their times.
StringList Messages(const StringList& log) {
  StringList out;
  for (const std::string& line : log) {
    const size_t colon = line.find(':', line.find(':', line.find(':') + 1) + 1);
    EXPECT_NE(colon, std::string::npos) << line;
    out.push_back(line.substr(colon + 1));
  }
  return out;
}

void SetText(const std::wstring& path, const wchar_t* name, const std::string& text) {
  SetTextValue(HKEY_CURRENT_USER, path, KEY_WOW64_32KEY, name, Widen(text));
}

class StoreAppsTest : public testing::Test {
 protected:
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER,
                     L"Software\\Classes\\Local Settings\\Software\\Microsoft\\"
                     L"Windows\\CurrentVersion\\AppModel");
    (void)RemoveTreeNoFollow("C:\\KovraApps");
  }
  const TAppFrame frame_;
};

TEST_F(StoreAppsTest, WithoutAppModelKeysTheLogHoldsTheWindows7Sequence) {
  TestRunLog run;
  TGetMetroInfo metro(frame_, run.log);
  ASSERT_TRUE(metro.StartGetMetroInfo());
  const StringList expected = {"TGetMetroInfo.Create",        "===Start StartGetMetroInfo",
                               "===Start HKEY_CURRENT_USER",  "==Start AddMetroList",
                               "===Start HKEY_LOCAL_MACHINE", "==Start AddMetroList",
                               "===Not Find WinStoreApp",     "===Over StartGetMetroInfo"};
  EXPECT_EQ(Messages(metro.LogLines()), expected);
  EXPECT_TRUE(metro.Apps().empty());
  EXPECT_TRUE(EndsWithTextAscii(metro.LogPath(), "\\metrologinfo.txt"));
  const std::string saved = ReadFileBytes(metro.LogPath());
  EXPECT_NE(saved.find(":TGetMetroInfo.Create\r\n"), std::string::npos);
  EXPECT_NE(saved.find(":===Over StartGetMetroInfo\r\n"), std::string::npos);
  // A cancelled run's clean-up takes the log the collector wrote.
  DiscardStoreAppLog(frame_.GetSystemPath(SystemFolder::kTemp));
  EXPECT_FALSE(FileExists(metro.LogPath()));
}

TEST_F(StoreAppsTest, AppsResolveToTheirLogosAndOddValuesCostOnlyTheirApp) {
  const std::string root = "C:\\KovraApps\\Good\\";
  EXPECT_TRUE(ForceDirectories(root + "Assets"));
  WriteFileBytes(root + "Assets\\Splash.png", "s");
  WriteFileBytes(root + "Assets\\Small.png", "l");
  WriteFileBytes(root + "AppxManifest.xml",
                 "<?xml version=\"1.0\"?><Package xmlns:uap=\"urn:u\"><Applications>"
                 "<Application Id=\"App\"><uap:VisualElements BackgroundColor=\"transparent\" "
                 "Square44x44Logo=\"Assets\\Small.png\" Square150x150Logo=\"Assets\\Small.png\">"
                 "<uap:SplashScreen Image=\"Assets\\Splash.png\"/></uap:VisualElements>"
                 "</Application></Applications></Package>");
  const std::wstring good = std::wstring(kBase) + L"\\Good_1\\SplashScreen\\Good_abc!App";
  SetText(good, L"AppName", "Good App");
  SetText(good, L"BackgroundColor", "#0078D7");
  SetText(good, L"Image", root + "Assets\\Splash.png");
  // An app whose name value is of another kind, registered before it.
  const std::wstring odd = std::wstring(kBase) + L"\\Aodd_1\\SplashScreen\\Aodd_abc!App";
  SetText(odd, L"Image", root + "Assets\\Splash.png");
  UniqueHkey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, odd.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                            key.receive()),
            ERROR_SUCCESS);
  const DWORD five = 5;
  ::RegSetValueExW(key.get(), L"AppName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), 4);
  // An excluded app with working files.
  const std::wstring vpn =
      std::wstring(kBase) + L"\\Vpn_1\\SplashScreen\\CheckPoint.VPN_cw5n1h2txyewy!App";
  SetText(vpn, L"AppName", "VPN");
  SetText(vpn, L"BackgroundColor", "#000000");
  SetText(vpn, L"Image", root + "Assets\\Splash.png");

  TestRunLog run;
  TGetMetroInfo metro(frame_, run.log);
  ASSERT_TRUE(metro.StartGetMetroInfo());
  const StringList messages = Messages(metro.LogLines());
  for (const std::string& m : messages)
    std::cout << m << "\n";
  ASSERT_EQ(metro.Apps().size(), 1u);
  const TMetroInfo& app = metro.Apps()[0];
  EXPECT_EQ(app.AppId, "Good_abc!App");
  EXPECT_EQ(app.AppRootDir, root);
  EXPECT_EQ(app.SmallLogo, root + "Assets\\Small.png");
  EXPECT_EQ(app.LargeLogo, app.SmallLogo);
  EXPECT_EQ(app.BackgroundColor, 0u);  // "transparent" in the manifest
  EXPECT_NE(std::find_if(messages.begin(), messages.end(),
                         [](const std::string& m) {
                           return StartsWithTextAscii(m, "=Error GetMetroInfo:Aodd_abc!App");
                         }),
            messages.end());
  EXPECT_EQ(messages.back(), "===Over StartGetMetroInfo");
}

}  // namespace
}  // namespace kovra::win

#include "collectors/system/store_apps.h"

#include <gtest/gtest.h>

#include <set>

namespace kovra {
namespace {

TEST(StoreApps, ReferencesRootsAndColours) {
  const std::string pri = "@{C:\\Windows\\ImmersiveControlPanel\\resources.pri?ms-resource://x}";
  EXPECT_EQ(ImageRootFolder(pri, "C:\\", {}), "C:\\Windows\\ImmersiveControlPanel\\");
  const std::string package =
      "@{Microsoft.Photos_1.0_x64__8wekyb3d8bbwe?ms-resource://p/Files/a.png}";
  EXPECT_EQ(PackageFullNameOf(package), "Microsoft.Photos_1.0_x64__8wekyb3d8bbwe");
  EXPECT_EQ(ImageRootFolder(package, "C:\\", {}),
            "C:\\Program Files\\WindowsApps\\Microsoft.Photos_1.0_x64__8wekyb3d8bbwe\\");
  EXPECT_EQ(ImageRootFolder("@{no question mark}", "C:\\", {}), "");
  EXPECT_EQ(ResourceReference("Pkg_1.0", "ms-resource:AppName"), "@{Pkg_1.0?ms-resource:AppName}");
  EXPECT_EQ(XmlIdOf("Pkg_cw5n1h2txyewy!App"), "App");
  EXPECT_EQ(XmlIdOf("NoBang"), "");
  EXPECT_TRUE(IsIndirectString("@{x}"));
  EXPECT_FALSE(IsIndirectString("   "));
  EXPECT_FALSE(IsIndirectString("C:\\a.png"));

  // A plain path climbs to the nearest folder with a manifest, at most 11 folders.
  const std::set<std::string> manifests = {"C:\\Apps\\App\\AppxManifest.xml"};
  auto exists = [&](const std::string& p) { return manifests.count(p) > 0; };
  EXPECT_EQ(ImageRootFolder("C:\\Apps\\App\\Assets\\Splash\\s.png", "C:\\", exists),
            "C:\\Apps\\App\\");
  EXPECT_EQ(ImageRootFolder("C:\\Apps\\Other\\s.png", "C:\\", exists), "");
  std::string deep = "C:\\Apps\\App";
  for (int i = 0; i < 11; ++i)
    deep += "\\d";
  EXPECT_EQ(ImageRootFolder(deep + "\\s.png", "C:\\", exists), "");

  EXPECT_EQ(ParseTileColor("#0078D7"), 0xD77800u);
  EXPECT_EQ(ParseTileColor("#000000"), 0u);
  EXPECT_EQ(ParseTileColor("White"), 0xFFFFFFu);
  EXPECT_EQ(ParseTileColor("black"), 0u);
  EXPECT_EQ(ParseTileColor("#zz"), 0u);
  EXPECT_EQ(ParseTileColor("transparent"), 0u);
  EXPECT_EQ(ParseTileColor(""), 0u);

  EXPECT_EQ(LogoReference("C:\\A\\Assets\\SPLASH.png", "Assets\\logo.png", "assets\\splash.png"),
            "C:\\A\\Assets\\logo.png");
  EXPECT_EQ(LogoReference("@{P?ms-resource://p/Files/Assets/Splash.png}", "Assets\\Logo.png",
                          "Assets\\Splash.png"),
            "@{P?ms-resource://p/Files/Assets/Logo.png}");
  EXPECT_EQ(LogoReference("C:\\s.png", "logo.png", ""), "C:\\s.png");

  EXPECT_TRUE(IsExcludedApp("checkpoint.vpn_cw5n1h2txyewy!app", OsGeneration::kWindows8));
  EXPECT_FALSE(IsExcludedApp("Microsoft.LockApp_cw5n1h2txyewy!WindowsDefaultLockScreen",
                             OsGeneration::kWindows8));
  EXPECT_TRUE(IsExcludedApp("Microsoft.LockApp_cw5n1h2txyewy!WindowsDefaultLockScreen",
                            OsGeneration::kWindows10));
}

XmlElement Element(std::string name, std::map<std::string, std::string> attributes,
                   std::vector<XmlElement> children = {}) {
  const size_t colon = name.find(':');
  std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
  return XmlElement{std::move(name), std::move(local), std::move(attributes), std::move(children)};
}

TEST(StoreApps, ManifestBackgroundsAndLogos) {
  auto manifest = [](const char* background) {
    std::map<std::string, std::string> visual{{"Square150x150Logo", "Assets\\Big.png"},
                                              {"Square44x44Logo", "Assets\\Small.png"}};
    if (background)
      visual["BackgroundColor"] = background;
    return Element("Package", {},
                   {Element("Applications", {},
                            {Element("Application", {{"Id", "App"}},
                                     {Element("uap:VisualElements", visual,
                                              {Element("uap:SplashScreen",
                                                       {{"Image", "Assets\\Splash.png"}})})})})});
  };
  struct Case {
    const char *registry, *manifest, *result;
  };
  const Case cases[] = {
      {"#112233", "transparent", "#000000"},  // "transparent" there turns any colour black
      {"#000000", "#0078D7", "#0078D7"},      // another colour replaces only "#000000"
      {"#112233", "#0078D7", "#112233"},
      {"transparent", "#0078D7", "#000000"},  // the registry's "transparent" too
      {"", "#0078D7", "#0078D7"},
  };
  for (const Case& c : cases) {
    ManifestFacts f;
    f.background = c.registry;
    ReadAppxManifest(manifest(c.manifest), "app", f);
    EXPECT_EQ(f.background, c.result) << c.registry << " / " << c.manifest;
    EXPECT_EQ(f.small_logo, "Assets\\Small.png");
    EXPECT_EQ(f.large_logo, "Assets\\Big.png");
    EXPECT_EQ(f.splash_image, "Assets\\Splash.png");
  }
  // Another application id: nothing read.
  ManifestFacts other;
  ReadAppxManifest(manifest("#0078D7"), "Other", other);
  EXPECT_EQ(other.small_logo, "");

  ManifestFacts ie;
  ReadVisualElementsManifest(
      Element("Application", {},
              {Element("VisualElements", {{"SmallLogo", "s.png"}, {"Logo", "l.png"}},
                       {Element("SplashScreen", {{"Image", "sp.png"}})})}),
      ie);
  EXPECT_EQ(ie.small_logo, "s.png");
  EXPECT_EQ(ie.large_logo, "l.png");
  EXPECT_EQ(ie.splash_image, "sp.png");
}

}  // namespace
}  // namespace kovra

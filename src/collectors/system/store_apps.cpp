#include "collectors/system/store_apps.h"

#include <cstdlib>

#include "base/text.h"

namespace kovra {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

bool IsIndirectString(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[0] == '@';
}

std::string XmlIdOf(std::string_view app_key) {
  const size_t bang = app_key.find('!');
  return bang == std::string_view::npos ? std::string() : std::string(app_key.substr(bang + 1));
}

std::string PackageFullNameOf(std::string_view image) {
  const size_t question = image.find('?');
  if (question == std::string_view::npos || question < 2)
    return std::string();
  return std::string(image.substr(2, question - 2));
}

std::string ResourceReference(std::string_view package, std::string_view name) {
  return "@{" + std::string(package) + "?" + std::string(name) + "}";
}

std::string ImageRootFolder(std::string_view image, std::string_view system_drive_root,
                            const std::function<bool(const std::string&)>& file_exists) {
  if (!image.empty() && image[0] == '@') {
    const size_t pri = image.find("resources.pri");
    if (pri != std::string_view::npos)
      return pri >= 2 ? std::string(image.substr(2, pri - 2)) : std::string();
    const size_t question = image.find('?');
    if (question != std::string_view::npos && question >= 2)
      return std::string(system_drive_root) + "Program Files\\WindowsApps\\" +
             std::string(image.substr(2, question - 2)) + "\\";
    return std::string();
  }
  std::string folder(image.substr(0, std::min(image.size(), image.rfind('\\'))));
  for (int tried = 0; tried < 11 && !folder.empty(); ++tried) {
    if (file_exists(folder + "\\AppxManifest.xml") ||
        file_exists(folder + "\\VisualElementsManifest.xml"))
      return folder + "\\";
    const size_t up = folder.rfind('\\');
    if (up == std::string::npos)
      break;
    folder.resize(up);
  }
  return std::string();
}

uint32_t ParseTileColor(std::string_view text) {
  uint32_t rgb = 0;
  if (!text.empty() && text[0] == '#') {
    std::string hex(text);
    std::string digits;
    for (const char c : hex) {
      if (c != '#')
        digits += c;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
    const bool valid = !digits.empty() && end != nullptr && *end == '\0' &&
                       digits.find_first_of("+- ") == std::string::npos && value <= 0xFFFFFFFFul;
    rgb = valid ? static_cast<uint32_t>(value) : 0;
  } else if (SameTextAscii(text, "white")) {
    rgb = 0xFFFFFF;
  }
  return (rgb & 0xFF00FF00u) | (rgb & 0xFF) << 16 | (rgb >> 16 & 0xFF);
}

std::string LogoReference(std::string_view image, std::string logo, std::string splash) {
  if (IsIndirectString(image)) {
    for (std::string* s : {&logo, &splash}) {
      for (char& c : *s) {
        if (c == '\\')
          c = '/';
      }
    }
  }
  std::string result(image);
  if (splash.empty())
    return result;
  const size_t at = FindTextAscii(result, splash);
  if (at != std::string::npos)
    result.replace(at, splash.size(), logo);
  return result;
}

bool IsExcludedApp(std::string_view app_id, OsGeneration os_generation) {
  static const char* const kAlways[] = {"f5.vpn.client_cw5n1h2txyewy!App",
                                        "CheckPoint.VPN_cw5n1h2txyewy!App"};
  static const char* const kOnTen[] = {
      "windows.devicesflow_cw5n1h2txyewy!microsoft.windows.devicesflow",
      "Windows.PurchaseDialog_cw5n1h2txyewy!Microsoft.Windows.PurchaseDialog",
      "Microsoft.XboxGameCallableUI_cw5n1h2txyewy!Microsoft.XboxGameCallableUI",
      "Microsoft.XboxIdentityProvider_cw5n1h2txyewy!Microsoft.XboxIdentityProvider",
      "Microsoft.Windows.CloudExperienceHost_cw5n1h2txyewy!App",
      "Microsoft.Windows.ParentalControls_cw5n1h2txyewy!App",
      "Microsoft.Windows.ShellExperienceHost_cw5n1h2txyewy!App",
      "Microsoft.AccountsControl_cw5n1h2txyewy!App",
      "Microsoft.Windows.AssignedAccessLockApp_cw5n1h2txyewy!App",
      "Microsoft.AAD.BrokerPlugin_cw5n1h2txyewy!App",
      "Microsoft.Appconnector_8wekyb3d8bbwe!App",
      "Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy!App",
      "Microsoft.LockApp_cw5n1h2txyewy!WindowsDefaultLockScreen",
  };
  for (const char* id : kAlways) {
    if (SameTextAscii(app_id, id))
      return true;
  }
  if (os_generation == OsGeneration::kWindows10) {
    for (const char* id : kOnTen) {
      if (SameTextAscii(app_id, id))
        return true;
    }
  }
  return false;
}

const std::string* XmlElement::Attribute(const std::string& attribute) const {
  const auto it = attributes.find(attribute);
  return it == attributes.end() ? nullptr : &it->second;
}

void ReadAppxManifest(const XmlElement& document, const std::string& xml_id, ManifestFacts& f) {
  if (document.children.empty())
    return;
  const XmlElement* applications = nullptr;
  for (const XmlElement& child : document.children) {
    if (child.name == "Applications")
      applications = &child;
  }
  if (applications == nullptr || applications->children.empty())
    return;
  for (const XmlElement& app : applications->children) {
    const std::string* id = app.Attribute("Id");
    if (id == nullptr || !SameTextAscii(*id, xml_id) || app.children.empty())
      continue;
    for (const XmlElement& visual : app.children) {
      if (!Contains(visual.name, "VisualElements"))
        continue;
      for (const char* name : {"Square30x30Logo", "Square44x44Logo", "SmallLogo"}) {
        if (const std::string* v = visual.Attribute(name))
          f.small_logo = *v;
      }
      for (const char* name : {"Square150x150Logo", "Logo"}) {
        if (const std::string* v = visual.Attribute(name))
          f.large_logo = *v;
      }
      const std::string* manifest_background = visual.Attribute("BackgroundColor");
      if (manifest_background != nullptr && (f.background.empty() || f.background == "#000000"))
        f.background = *manifest_background;
      if ((manifest_background != nullptr && *manifest_background == "transparent") ||
          f.background == "transparent")
        f.background = "#000000";
      if (!visual.children.empty()) {
        const XmlElement* splash = nullptr;
        for (const XmlElement& c : visual.children) {
          if (c.name == "SplashScreen" || c.local_name == "SplashScreen")
            splash = &c;
        }
        if (splash == nullptr)
          return;  // a VisualElements element without its splash screen ends the reading
        if (const std::string* image = splash->Attribute("Image"))
          f.splash_image = *image;
      }
    }
  }
}

void ReadVisualElementsManifest(const XmlElement& document, ManifestFacts& f) {
  for (const XmlElement& visual : document.children) {
    if (visual.name != "VisualElements")
      continue;
    if (const std::string* v = visual.Attribute("SmallLogo"))
      f.small_logo = *v;
    if (const std::string* v = visual.Attribute("Logo"))
      f.large_logo = *v;
    for (const XmlElement& c : visual.children) {
      if (c.name == "SplashScreen") {
        if (const std::string* image = c.Attribute("Image"))
          f.splash_image = *image;
      }
    }
  }
}

}  // namespace kovra

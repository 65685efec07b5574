// The store-app inventory: the collector as the run sees it, and its portable rules (indirect
// strings, root folders, manifests read from a small element tree, logo paths, colours,
// exclusions). The registry, MSXML and resolver calls are in store_apps_win.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folders.h"

namespace kovra {

class StoreAppCollector {
 public:
  virtual ~StoreAppCollector() = default;
  // Runs the scan and saves the log; false when the log could not be written.
  [[nodiscard]] virtual bool StartGetMetroInfo() = 0;
  virtual std::string LogPath() const = 0;
};

// Not blank once trimmed, and starting with "@".
bool IsIndirectString(std::string_view text);
// The part of an app key name after its first "!" (empty without one).
std::string XmlIdOf(std::string_view app_key);
// The package full name of an indirect image reference: from its third character up to the
// first "?" (empty without one).
std::string PackageFullNameOf(std::string_view image);
// "@{package?name}".
std::string ResourceReference(std::string_view package, std::string_view name);

// The package or program folder of an image reference, ending in a backslash, or empty. An
// indirect reference gives the folder in front of "resources.pri", or the WindowsApps folder of
// its package; a plain path the nearest of its folders (at most 11 tried) that holds a manifest.
std::string ImageRootFolder(std::string_view image, std::string_view system_drive_root,
                            const std::function<bool(const std::string&)>& file_exists);

// A tile colour: "#RRGGBB" (hexadecimal), "white", "black"; stored as 0x00BBGGRR, 0 for anything
// else.
uint32_t ParseTileColor(std::string_view text);

// The image value with the first occurrence of the splash image name replaced (letter case
// ignored) by the logo name; for an indirect image the names use "/" for "\".
std::string LogoReference(std::string_view image, std::string logo, std::string splash);

// Whether an app is left out: two always, thirteen more on Windows 10 (case ignored).
bool IsExcludedApp(std::string_view app_id, OsGeneration os_generation);

// A parsed XML element: its name as written (with a prefix), its local name, its attributes
// and its element children.
struct XmlElement {
  std::string name, local_name;
  std::map<std::string, std::string> attributes;
  std::vector<XmlElement> children;
  const std::string* Attribute(const std::string& attribute) const;
};

// What the manifests give an app.
struct ManifestFacts {
  std::string small_logo, large_logo, splash_image;
  std::string background;  // the registry's, possibly replaced by the manifest's
};
// AppxManifest.xml (the document element) for the application of `xml_id`.
void ReadAppxManifest(const XmlElement& document, const std::string& xml_id, ManifestFacts& facts);
// VisualElementsManifest.xml (the document element).
void ReadVisualElementsManifest(const XmlElement& document, ManifestFacts& facts);

}  // namespace kovra

#include "collectors/system/store_apps_win.h"

#include <msxml2.h>

#include "base/report_file_names.h"
#include "base/text.h"
#include "platform/path_frame_win.h"
#include "platform/errors_win.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/planted_names_win.h"
#include "platform/local_time_win.h"
#include "platform/optional_function_win.h"
#include "platform/registry_win.h"
#include "platform/structured_fault_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

constexpr char kFullWidthColon[] = "\xEF\xBC\x9A";
// The collector's log, in the temporary folder.
constexpr const char* kStoreAppLogFile = report_files::kStoreAppLog;

std::string BstrText(BSTR b) {
  return b == nullptr ? std::string() : Narrow(std::wstring_view(b, ::SysStringLen(b)));
}

// The element children of a DOM node as a tree, with names and attributes.
void ConvertElement(IXMLDOMNode* node, XmlElement& out, int depth) {
  UniqueBstr name, local;
  if (SUCCEEDED(node->get_nodeName(name.receive())))
    out.name = BstrText(name.get());
  if (SUCCEEDED(node->get_baseName(local.receive())))
    out.local_name = BstrText(local.get());
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  if (SUCCEEDED(node->get_attributes(attributes.receive())) && attributes) {
    long count = 0;
    attributes->get_length(&count);
    for (long i = 0; i < count; ++i) {
      ComPtr<IXMLDOMNode> attribute;
      UniqueBstr attribute_name;
      ScopedVariant value;
      if (SUCCEEDED(attributes->get_item(i, attribute.receive())) && attribute &&
          SUCCEEDED(attribute->get_nodeName(attribute_name.receive())) &&
          SUCCEEDED(attribute->get_nodeValue(value.receive())) && value.get().vt == VT_BSTR)
        out.attributes[BstrText(attribute_name.get())] = BstrText(value.get().bstrVal);
    }
  }
  if (depth >= 32)
    return;
  ComPtr<IXMLDOMNodeList> children;
  if (FAILED(node->get_childNodes(children.receive())) || !children)
    return;
  long count = 0;
  children->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    DOMNodeType type = NODE_INVALID;
    if (FAILED(children->get_item(i, child.receive())) || !child ||
        FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT)
      continue;
    out.children.emplace_back();
    ConvertElement(child.get(), out.children.back(), depth + 1);
  }
}

}  // namespace

TGetMetroInfo::TGetMetroInfo(const TAppFrame& frame, RunLog& run_log)
    : frame_(frame), run_log_(run_log), com_(COINIT_APARTMENTTHREADED), logging_(true) {
  Log("TGetMetroInfo.Create");
  os_generation_ = GetOSGeneration();
  try {
    for (const wchar_t* progid : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"}) {
      CLSID clsid;
      void** created = xml_.receive_void();
      if (SUCCEEDED(::CLSIDFromProgID(progid, &clsid)) &&
          SUCCEEDED(CallForeign("creating the XML parser", [&] {
            return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                      created);
          })))
        break;
    }
    if (IXMLDOMDocument* xml = xml_.get()) {
      CallForeign("setting up the XML parser", [xml] {
        xml->put_async(VARIANT_FALSE);
        xml->put_validateOnParse(VARIANT_FALSE);
        xml->put_resolveExternals(VARIANT_FALSE);
      });
    }
  } catch (const StructuredFault&) {
    // Without a parser the manifests are not read; the rest of the collector runs.
    xml_.abandon();
    RecordCaught(run_log_, "XML parser");
  }
  resolver_ = SystemFunction<ResolverFn>(L"shlwapi.dll", "SHLoadIndirectString");
}

// The document goes before COM is uninitialised (members are destroyed in reverse order).
TGetMetroInfo::~TGetMetroInfo() = default;

void TGetMetroInfo::Log(const std::string& message) {
  if (!logging_)
    return;
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  log_.push_back(LongTimeText(now) + ":" + message);
}

std::string TGetMetroInfo::ResolveIndirect(const std::string& text) const {
  if (resolver_ == nullptr || !IsIndirectString(text))
    return text;
  wchar_t buffer[1024] = {};
  const HRESULT hr = resolver_(Widen(text).c_str(), buffer, 1024, nullptr);
  if (FAILED(hr))
    return std::string();
  return Narrow(std::wstring_view(buffer, wcsnlen(buffer, 1024)));
}

bool TGetMetroInfo::LoadXml(const std::string& path, XmlElement& document) {
  if (!xml_ || !FileExists(path))
    return false;
  ScopedVariant source;
  VARIANT* v = source.receive();
  v->vt = VT_BSTR;
  v->bstrVal = ::SysAllocString(Widen(path).c_str());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  ComPtr<IXMLDOMElement> root;
  IXMLDOMDocument* xml = xml_.get();
  IXMLDOMElement** receiver = root.receive();
  // A fault inside the parser fails this manifest as an unreadable one does, and the parser is
  // not used (nor released) again. The frames it skips when the fault is in the tree's walk are
  // ConvertElement's, which hold only the parser's nodes and texts.
  try {
    const bool read = CallForeign("parsing " + path, [&] {
      return SUCCEEDED(xml->load(source.get(), &loaded)) && loaded != VARIANT_FALSE &&
             SUCCEEDED(xml->get_documentElement(receiver)) && *receiver != nullptr;
    });
    if (!read)
      return false;
    IXMLDOMElement* top = root.get();
    CallForeign("reading " + path, [&] { ConvertElement(top, document, 0); });
  } catch (const StructuredFault&) {
    root.abandon();
    xml_.abandon();
    throw;
  }
  return true;
}

std::string TGetMetroInfo::LogoPath(const std::string& image, const std::string& logo,
                                    const std::string& splash) {
  const std::string replaced = LogoReference(image, logo, splash);
  Log("=StringReplace:" + replaced);
  return IsIndirectString(image) ? ResolveIndirect(replaced) : replaced;
}

bool TGetMetroInfo::GetMetroInfo(HKEY root, const std::string& key_path, const std::string& app,
                                 TMetroInfo& r) {
  Log("=Start GetMetroInfo");
  TRegistry key(KEY_READ);
  key.SetAutoView(false);
  key.SetRootKey(root);
  if (!key.OpenKeyReadOnly(key_path + app))
    return false;
  Log("=Good Open Key");
  const std::string xml_id = XmlIdOf(app);
  Log("=XMLID:" + xml_id);
  // A missing value reads as empty; one of another kind raises, and the scan logs it for this
  // app and goes on.
  ManifestFacts facts;
  facts.background = key.ReadString("BackgroundColor");
  Log("=BackGroundColor:" + facts.background);
  const std::string image = key.ReadString("Image");
  Log("=SplashImagePath:" + image);
  std::string name = key.ReadString("AppName");
  if (name.empty())
    name = key.ReadString("MessageText");
  if (StartsWithTextAscii(name, "ms-resource:"))
    name = ResourceReference(PackageFullNameOf(image), name);
  name = ResolveIndirect(name);
  if (SameTextAscii(app, "DefaultBrowser_NOPUBLISHERID!Microsoft.InternetExplorer.Default"))
    name = "Internet Explorer";
  Log("=AppName:" + name);
  if (name.empty() || facts.background.empty() || image.empty())
    return false;

  r = TMetroInfo{};
  r.AppId = app;
  r.AppName = name;
  r.SplashImagePath = ResolveIndirect(image);
  const std::string drive = GetSystemDriveRoot();
  auto exists = [](const std::string& p) { return FileExists(p); };
  r.AppRootDir = r.SplashImagePath.find("\\WindowsApps\\") != std::string::npos
                     ? ImageRootFolder(image, drive, exists)
                     : ImageRootFolder(r.SplashImagePath, drive, exists);
  Log("=SplashImagePath:" + r.SplashImagePath);
  Log("=AppRootDir:" + r.AppRootDir);

  XmlElement document;
  try {
    if (LoadXml(r.AppRootDir + "AppxManifest.xml", document))
      ReadAppxManifest(document, xml_id, facts);
    if (r.AppName == "Internet Explorer") {
      XmlElement visual;
      if (LoadXml(r.AppRootDir + "VisualElementsManifest.xml", visual))
        ReadVisualElementsManifest(visual, facts);
    }
  } catch (...) {
    // A manifest that cannot be read keeps what was found so far.
    RecordCaught(run_log_, r.AppRootDir + "AppxManifest.xml");
  }
  Log("=Read SmallLogo:" + facts.small_logo);
  Log("=Read LargeLogo:" + facts.large_logo);
  Log("=Read SplashImageName:" + facts.splash_image);
  r.BackgroundColor = ParseTileColor(facts.background);
  r.SmallLogo = LogoPath(image, facts.small_logo, facts.splash_image);
  r.LargeLogo = LogoPath(image, facts.large_logo, facts.splash_image);
  Log("=SmallLogo:" + r.SmallLogo);
  Log("=LargeLogo:" + r.LargeLogo);
  if (!FileExists(r.SmallLogo)) {
    r.SmallLogo = r.AppRootDir + facts.small_logo;
    if (!FileExists(r.SmallLogo))
      r.SmallLogo = FolderPart(r.SplashImagePath) + "logo.scale-100.png";
  }
  r.LargeLogo = r.SmallLogo;
  bool keep = DirectoryExists(r.AppRootDir) && FileExists(r.SmallLogo) &&
              !IsExcludedApp(r.AppId, os_generation_);
  if (keep && os_generation_ == OsGeneration::kWindows10 &&
      SameTextAscii(r.AppId,
                    "windows.immersivecontrolpanel_cw5n1h2txyewy!microsoft.windows."
                    "immersivecontrolpanel"))
    r.BackgroundColor = 0;
  Log("=Over GetMetroInfo");
  return keep;
}

void TGetMetroInfo::AddMetroList(HKEY root) {
  Log("==Start AddMetroList");
  TRegistry key(KEY_READ);
  key.SetAutoView(false);
  key.SetRootKey(root);
  const char* kBases[] = {
      "SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
      "SystemAppData\\",
      "Software\\Classes\\Local "
      "Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\Packages\\"};
  std::string base;
  for (const char* candidate : kBases) {
    if (key.OpenKeyReadOnly(candidate)) {
      base = candidate;
      break;
    }
  }
  if (base.empty())
    return;
  StringList packages;
  key.GetKeyNames(packages);
  key.CloseKey();
  for (const std::string& package : packages) {
    Log("============Get Metro Begin============");
    Log(std::string("==Get KeyName") + kFullWidthColon + package);
    const std::string splash = base + package + "\\SplashScreen\\";
    if (!key.OpenKeyReadOnly(splash))
      continue;
    Log(std::string("==Open Key") + kFullWidthColon + splash);
    StringList apps;
    key.GetKeyNames(apps);
    key.CloseKey();
    for (const std::string& app : apps) {
      Log(std::string("==Get Metro") + kFullWidthColon + splash);
      // One app's odd value (another kind than text) costs only that app, not the log.
      try {
        TMetroInfo record;
        if (GetMetroInfo(root, splash, app, record))
          apps_.push_back(std::move(record));
      } catch (const std::exception& e) {
        Log("=Error GetMetroInfo:" + app + ":" + e.what());
        run_log_.Failed(app, e.what());
      }
    }
    Log("============Get Metro Over============");
  }
  Log("==Over AddMetroList");
}

bool TGetMetroInfo::StartGetMetroInfo() {
  Log("===Start StartGetMetroInfo");
  try {
    Log("===Start HKEY_CURRENT_USER");
    AddMetroList(HKEY_CURRENT_USER);
    Log("===Start HKEY_LOCAL_MACHINE");
    AddMetroList(HKEY_LOCAL_MACHINE);
    bool store = false;
    for (const TMetroInfo& app : apps_)
      store |= app.AppId == "winstore_cw5n1h2txyewy!Windows.Store";
    if (os_generation_ != OsGeneration::kWindows10 && !store) {
      Log("===Not Find WinStoreApp");
      TMetroInfo fallback;
      fallback.AppName = "Store";
      fallback.AppId = "winstore_cw5n1h2txyewy!Windows.Store";
      fallback.BackgroundColor = 0x8A00;
      fallback.SmallLogo = GetSystemDriveRoot() + "Windows\\WinStore\\images\\logo.scale-100.png";
      if (FileExists(fallback.SmallLogo))
        apps_.push_back(std::move(fallback));
    }
  } catch (const std::exception& e) {
    Log(std::string("===Error StartGetMetroInfo:") + e.what());
    run_log_.Failed("store apps", e.what());
  }
  Log("===Over StartGetMetroInfo");
  log_path_ = JoinPath(frame_.GetSystemPath(SystemFolder::kTemp), kStoreAppLogFile);
  try {
    ClearNameForWriting(log_path_, run_log_);
    SaveListAnsi(log_, log_path_);
  } catch (...) {
    RecordCaught(run_log_, log_path_);
    return false;
  }
  return true;
}

void DiscardStoreAppLog(const std::string& temp_folder) {
  DeleteFilePath(JoinPath(temp_folder, kStoreAppLogFile));
}

}  // namespace kovra::win

#include "collectors/system/security_state_win.h"

#include <wbemcli.h>

#include "base/text.h"
#include "collectors/system/security_state.h"
#include "platform/elapsed_clock_win.h"
#include "platform/errors_win.h"
#include "platform/os_version_win.h"
#include "platform/structured_fault_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

const CLSID kWbemLocator = {
    0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kIWbemLocator = {
    0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const CLSID kNetFwMgr = {
    0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
const IID kINetFwMgr = {
    0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};

// A broken WMI repository can leave a query without an answer: each object is waited for this
// long, a whole class at most the second figure, and what came so far stays.
constexpr long kObjectWaitMs = 5000;
constexpr DWORD kClassWaitMs = 15000;

// COM security is set once per process; RPC_E_TOO_LATE means someone already did.
bool EnsureComSecurity() {
  static bool done = false;
  if (done)
    return true;
  const HRESULT hr =
      ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  done = SUCCEEDED(hr) || hr == RPC_E_TOO_LATE;
  return done;
}

// A property as text: strings as they are, booleans as True or False, numbers in decimal,
// empty when the instance does not have it.
std::string PropertyText(IWbemClassObject* object, const wchar_t* name) {
  ScopedVariant value;
  VARIANT* receiver = value.receive();
  if (FAILED(CallForeign("reading a Security Center property",
                         [&] { return object->Get(name, 0, receiver, nullptr, nullptr); })))
    return std::string();
  const VARIANT& v = value.get();
  if (v.vt == VT_BOOL)
    return v.boolVal != VARIANT_FALSE ? "True" : "False";
  if (v.vt == VT_BSTR)
    return v.bstrVal != nullptr ? Narrow(std::wstring_view(v.bstrVal, ::SysStringLen(v.bstrVal)))
                                : std::string();
  ScopedVariant text;
  if (v.vt == VT_EMPTY || v.vt == VT_NULL ||
      FAILED(::VariantChangeType(text.receive(), const_cast<VARIANT*>(&v), 0, VT_BSTR)) ||
      text.get().bstrVal == nullptr)
    return std::string();
  return Narrow(std::wstring_view(text.get().bstrVal, ::SysStringLen(text.get().bstrVal)));
}

// The connection to the Security Center for one run of the section; released with it, while
// COM is still initialised. A fault inside WMI's code ends the class it happened in and leaves
// the connection unused (and unreleased) for the rest of the section.
class SecurityCenter {
 public:
  SecurityCenter() = default;
  SecurityCenter(const SecurityCenter&) = delete;
  SecurityCenter& operator=(const SecurityCenter&) = delete;
  ~SecurityCenter() {
    if (faulted_) {
      locator_.abandon();
      services_.abandon();
    }
  }

  // The products of one class; a class cut at a wait limit is noted in the run log.
  void ListProducts(const wchar_t* query, StringList& lines, RunLog& log) {
    if (faulted_)
      return;
    try {
      ListProductsOnce(query, lines, log);
    } catch (const StructuredFault&) {
      faulted_ = true;
      throw;
    }
  }

 private:
  bool Init() {
    if (ready_)
      return true;
    if (!EnsureComSecurity())
      return false;
    void** locator = locator_ ? nullptr : locator_.receive_void();
    if (locator != nullptr && FAILED(CallForeign("creating the WMI locator", [&] {
          return ::CoCreateInstance(kWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIWbemLocator,
                                    locator);
        })))
      return false;
    if (!services_) {
      if (WindowsMajorVersion() > 5) {
        center2_ = Connect(L"ROOT\\SecurityCenter2");
        if (!center2_)
          Connect(L"ROOT\\SecurityCenter");
      } else {
        Connect(L"ROOT\\SecurityCenter");
      }
      if (!services_)
        return false;
    }
    IWbemServices* services = services_.get();
    if (FAILED(CallForeign("setting the WMI proxy blanket", [services] {
          return ::CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                     EOAC_NONE);
        })))
      return false;
    ready_ = true;
    return true;
  }

  void ListProductsOnce(const wchar_t* query, StringList& lines, RunLog& log) {
    if (!Init())
      return;
    UniqueBstr language(::SysAllocString(L"WQL")), text(::SysAllocString(query));
    ComPtr<IEnumWbemClassObject> objects;
    IWbemServices* services = services_.get();
    IEnumWbemClassObject** receiver = objects.receive();
    if (FAILED(CallForeign("querying the Security Center", [&] {
          return services->ExecQuery(language.get(), text.get(),
                                     WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                     receiver);
        })))
      return;
    const ElapsedClock clock;
    int listed = 0;
    for (;; ++listed) {
      if (clock.ms() >= kClassWaitMs) {
        log.LimitReached(Narrow(query), StrPrintf("time limit of %lu s", kClassWaitMs / 1000ul),
                         StrPrintf("%d products", listed));
        break;
      }
      ComPtr<IWbemClassObject> object;
      ULONG returned = 0;
      IEnumWbemClassObject* enumerator = objects.get();
      IWbemClassObject** next = object.receive();
      const HRESULT hr = CallForeign("reading the next Security Center product", [&] {
        return enumerator->Next(kObjectWaitMs, 1, next, &returned);
      });
      if (hr == WBEM_S_TIMEDOUT) {
        log.LimitReached(Narrow(query),
                         StrPrintf("wait of %ld s for the next product", kObjectWaitMs / 1000),
                         StrPrintf("%d products", listed));
        break;
      }
      if (FAILED(hr) || returned == 0 || !object)
        break;
      const std::string name = PropertyText(object.get(), L"displayName");
      AppendList(lines,
                 center2_ ? SecurityProductGroup(name, PropertyText(object.get(), L"productState"))
                          : OldSecurityProductGroup(
                                name, PropertyText(object.get(), L"onAccessScanningEnabled"),
                                PropertyText(object.get(), L"productUptoDate")));
    }
  }

  bool Connect(const wchar_t* name) {
    UniqueBstr path(::SysAllocString(name));
    IWbemLocator* locator = locator_.get();
    IWbemServices** services = services_.receive();
    return SUCCEEDED(CallForeign("connecting to the Security Center", [&] {
      return locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services);
    }));
  }

  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  bool ready_ = false, center2_ = false, faulted_ = false;
};

bool Enabled(INetFwProfile* profile) {
  VARIANT_BOOL on = VARIANT_FALSE;
  return profile != nullptr &&
         SUCCEEDED(CallForeign("reading a firewall profile",
                               [&] { return profile->get_FirewallEnabled(&on); })) &&
         on != VARIANT_FALSE;
}

}  // namespace

TFireWallMgr::TFireWallMgr() : major_version_(WindowsMajorVersion()) {}

TFireWallMgr::~TFireWallMgr() = default;

INetFwMgr* TFireWallMgr::GetFirewallManager() {
  if (manager_ || faulted_)
    return manager_.get();
  ComPtr<INetFwMgr> manager;
  ComPtr<INetFwPolicy> policy;
  ComPtr<INetFwProfile> profile;
  VARIANT_BOOL on = VARIANT_FALSE;
  void** created = manager.receive_void();
  INetFwPolicy** local_policy = policy.receive();
  INetFwProfile** current = profile.receive();
  try {
    if (FAILED(CallForeign("creating the firewall manager",
                           [&] {
                             return ::CoCreateInstance(kNetFwMgr, nullptr, CLSCTX_INPROC_SERVER,
                                                       kINetFwMgr, created);
                           })) ||
        FAILED(CallForeign("reading the firewall policy",
                           [&] { return manager->get_LocalPolicy(local_policy); })) ||
        FAILED(CallForeign("reading the current firewall profile",
                           [&] { return policy->get_CurrentProfile(current); })) ||
        FAILED(CallForeign("reading the firewall state",
                           [&] { return profile->get_FirewallEnabled(&on); })))
      return nullptr;
  } catch (const StructuredFault&) {
    manager.abandon();
    Abandon(policy, profile);
    throw;
  }
  manager_ = std::move(manager);
  return manager_.get();
}

void TFireWallMgr::Abandon(ComPtr<INetFwPolicy>& policy, ComPtr<INetFwProfile>& profile) {
  faulted_ = true;
  manager_.abandon();
  policy.abandon();
  profile.abandon();
}

bool TFireWallMgr::ProfileEnabled(Profile which) {
  INetFwMgr* manager = GetFirewallManager();
  if (manager == nullptr)
    return false;
  ComPtr<INetFwPolicy> policy;
  ComPtr<INetFwProfile> profile;
  INetFwPolicy** local_policy = policy.receive();
  INetFwProfile** chosen = profile.receive();
  try {
    if (FAILED(CallForeign("reading the firewall policy",
                           [&] { return manager->get_LocalPolicy(local_policy); })))
      return false;
    // XP and Server 2003 have no query by type: every kind reads the current profile there.
    INetFwPolicy* p = policy.get();
    const HRESULT hr = CallForeign("reading a firewall profile", [&] {
      return which == Profile::kCurrent || major_version_ <= 5
                 ? p->get_CurrentProfile(chosen)
                 : p->GetProfileByType(which == Profile::kStandardType ? NET_FW_PROFILE_STANDARD
                                                                       : NET_FW_PROFILE_CURRENT,
                                       chosen);
    });
    return SUCCEEDED(hr) && Enabled(profile.get());
  } catch (const StructuredFault&) {
    Abandon(policy, profile);
    throw;
  }
}

bool TFireWallMgr::FirewallEnabled() {
  return ProfileEnabled(Profile::kCurrent);
}
bool TFireWallMgr::HomeFirewallEnabled() {
  return ProfileEnabled(Profile::kStandardType);
}
bool TFireWallMgr::PublicFirewallEnabled() {
  return ProfileEnabled(Profile::kCurrentType);
}

void ListSecurityState(StringList& lines, RunLog& log) {
  ScopedComInit com;
  {
    SecurityCenter center;
    const struct {
      const char* header;
      const wchar_t* query;
    } classes[] = {
        {"[AntiVirusProduct]", L"SELECT * FROM AntiVirusProduct"},
        {"[AntiSpywareProduct]", L"SELECT * FROM AntiSpywareProduct"},
        {"[FirewallProduct]", L"SELECT * FROM FirewallProduct"},
    };
    for (const auto& c : classes) {
      if (&c != &classes[0])
        lines.emplace_back();
      lines.emplace_back(c.header);
      try {
        center.ListProducts(c.query, lines, log);
      } catch (...) {
        RecordCaught(log, c.header);
      }
    }
  }
  lines.emplace_back();
  lines.emplace_back("[Windows FireWall]");
  try {
    TFireWallMgr firewall;
    bool home = false, public_profile = false, current = false;
    try {
      home = firewall.HomeFirewallEnabled();
    } catch (...) {
      RecordCaught(log, "home firewall profile");
    }
    try {
      public_profile = firewall.PublicFirewallEnabled();
    } catch (...) {
      RecordCaught(log, "public firewall profile");
    }
    try {
      current = firewall.FirewallEnabled();
    } catch (...) {
      RecordCaught(log, "current firewall profile");
    }
    AppendList(lines, FirewallStateLines(home, public_profile, current, firewall.Valid()));
  } catch (...) {
    RecordCaught(log, "[Windows FireWall]");
  }
}

}  // namespace kovra::win

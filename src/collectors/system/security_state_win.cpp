#include "collectors/system/security_state_win.h"

#include <wbemcli.h>

#include "base/text.h"
#include "collectors/system/security_state.h"
#include "platform/elapsed_clock_win.h"
#include "platform/errors_win.h"
#include "platform/os_version_win.h"
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
  if (FAILED(object->Get(name, 0, value.receive(), nullptr, nullptr)))
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
// COM is still initialised.
class SecurityCenter {
 public:
  bool Init() {
    if (ready_)
      return true;
    if (!EnsureComSecurity())
      return false;
    if (!locator_ && FAILED(::CoCreateInstance(kWbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                               kIWbemLocator, locator_.receive_void())))
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
    if (FAILED(::CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                   RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                   EOAC_NONE)))
      return false;
    ready_ = true;
    return true;
  }

  // The products of one class; a class cut at a wait limit is noted in the run log.
  void ListProducts(const wchar_t* query, StringList& lines, RunLog& log) {
    if (!Init())
      return;
    UniqueBstr language(::SysAllocString(L"WQL")), text(::SysAllocString(query));
    ComPtr<IEnumWbemClassObject> objects;
    if (FAILED(services_->ExecQuery(language.get(), text.get(),
                                    WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                    objects.receive())))
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
      const HRESULT hr = objects->Next(kObjectWaitMs, 1, object.receive(), &returned);
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

 private:
  bool Connect(const wchar_t* name) {
    UniqueBstr path(::SysAllocString(name));
    return SUCCEEDED(locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                             nullptr, services_.receive()));
  }

  ComPtr<IWbemLocator> locator_;
  ComPtr<IWbemServices> services_;
  bool ready_ = false, center2_ = false;
};

bool Enabled(INetFwProfile* profile) {
  VARIANT_BOOL on = VARIANT_FALSE;
  return profile != nullptr && SUCCEEDED(profile->get_FirewallEnabled(&on)) && on != VARIANT_FALSE;
}

}  // namespace

TFireWallMgr::TFireWallMgr() : major_version_(WindowsMajorVersion()) {}

INetFwMgr* TFireWallMgr::GetFirewallManager() {
  if (manager_)
    return manager_.get();
  ComPtr<INetFwMgr> manager;
  ComPtr<INetFwPolicy> policy;
  ComPtr<INetFwProfile> profile;
  VARIANT_BOOL on = VARIANT_FALSE;
  if (FAILED(::CoCreateInstance(kNetFwMgr, nullptr, CLSCTX_INPROC_SERVER, kINetFwMgr,
                                manager.receive_void())) ||
      FAILED(manager->get_LocalPolicy(policy.receive())) ||
      FAILED(policy->get_CurrentProfile(profile.receive())) ||
      FAILED(profile->get_FirewallEnabled(&on)))
    return nullptr;
  manager_ = std::move(manager);
  return manager_.get();
}

bool TFireWallMgr::ProfileEnabled(Profile which) {
  INetFwMgr* manager = GetFirewallManager();
  ComPtr<INetFwPolicy> policy;
  ComPtr<INetFwProfile> profile;
  if (manager == nullptr || FAILED(manager->get_LocalPolicy(policy.receive())))
    return false;
  // XP and Server 2003 have no query by type: every kind reads the current profile there.
  const HRESULT hr =
      which == Profile::kCurrent || major_version_ <= 5
          ? policy->get_CurrentProfile(profile.receive())
          : policy->GetProfileByType(
                which == Profile::kStandardType ? NET_FW_PROFILE_STANDARD : NET_FW_PROFILE_CURRENT,
                profile.receive());
  return SUCCEEDED(hr) && Enabled(profile.get());
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

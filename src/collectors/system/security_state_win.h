// Security products known to the Security Center (through WMI) and the Windows Firewall state.
#pragma once

#include <windows.h>
#include <netfw.h>

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/handles_win.h"

namespace kovra::win {

// The whole section: the three product classes and the firewall block, each contained on its
// own. Initialises COM on the calling thread for its duration. Never throws: what fails, and a
// class cut at its wait limit, is reported through the run log.
void ListSecurityState(StringList& lines, RunLog& log);

// The Windows Firewall manager object; the version decides which profile queries exist.
class TFireWallMgr {
 public:
  TFireWallMgr();
  TFireWallMgr(const TFireWallMgr&) = delete;
  TFireWallMgr& operator=(const TFireWallMgr&) = delete;
  ~TFireWallMgr();

  bool FirewallEnabled();
  bool HomeFirewallEnabled();
  bool PublicFirewallEnabled();
  // Whether the manager object could be created.
  bool Valid() const { return static_cast<bool>(manager_); }

 private:
  INetFwMgr* GetFirewallManager();
  // The profile a query reads: the local policy's current profile, or one asked for by its
  // type (NET_FW_PROFILE_STANDARD, NET_FW_PROFILE_CURRENT) where the version has that query.
  enum class Profile { kCurrent, kStandardType, kCurrentType };
  // The FirewallEnabled of that profile.
  bool ProfileEnabled(Profile profile);

  // After a fault inside the manager's code: nothing of it is called again, released included,
  // and the object counts as absent.
  void Abandon(ComPtr<INetFwPolicy>& policy, ComPtr<INetFwProfile>& profile);

  ComPtr<INetFwMgr> manager_;
  DWORD major_version_ = 0;
  bool faulted_ = false;
};

}  // namespace kovra::win

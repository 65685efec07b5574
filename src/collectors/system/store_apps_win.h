// Store-app inventory: the apps of the Windows app model resolved to
// their names, logos and colours, with a trace log of every step.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/run_log.h"
#include "base/string_list.h"
#include "collectors/system/store_apps.h"
#include "platform/handles_win.h"
#include "platform/path_frame_win.h"

struct IXMLDOMDocument;

namespace kovra::win {

struct TMetroInfo {
  std::string AppId, AppName, AppRootDir, SmallLogo, LargeLogo, SplashImagePath;
  uint32_t BackgroundColor = 0;
};

class TGetMetroInfo : public StoreAppCollector {
 public:
  // Initialises COM on this thread (until the collector goes), logs its creation, creates the
  // XML document and looks the indirect-string resolver up. What fails later is written to its
  // own log as its format says and reported through the run log. The log is saved into
  // `frame`'s temporary folder; the frame outlives the collector.
  TGetMetroInfo(const TAppFrame& frame, RunLog& run_log);
  ~TGetMetroInfo() override;

  [[nodiscard]] bool StartGetMetroInfo() override;
  std::string LogPath() const override { return log_path_; }
  const std::vector<TMetroInfo>& Apps() const { return apps_; }
  const StringList& LogLines() const { return log_; }

 private:
  using ResolverFn = HRESULT(WINAPI*)(PCWSTR, PWSTR, UINT, void**);

  void Log(const std::string& message);
  // The apps of one root (the current user, then the machine), appended to apps_.
  void AddMetroList(HKEY root);
  // One app; false when it gives no record.
  [[nodiscard]] bool GetMetroInfo(HKEY root, const std::string& key_path, const std::string& app,
                                  TMetroInfo& record);
  std::string ResolveIndirect(const std::string& text) const;
  // A manifest file as an element tree; false when it cannot be loaded.
  [[nodiscard]] bool LoadXml(const std::string& path, XmlElement& document);
  std::string LogoPath(const std::string& image, const std::string& logo,
                       const std::string& splash);

  const TAppFrame& frame_;
  RunLog& run_log_;
  ScopedComInit com_;
  std::vector<TMetroInfo> apps_;
  OsGeneration os_generation_ = OsGeneration::kOtherNt;
  StringList log_;
  bool logging_ = false;
  ComPtr<IXMLDOMDocument> xml_;
  ResolverFn resolver_ = nullptr;
  std::string log_path_;
};

// Deletes the log the collector writes into the temporary folder `temp_folder`. For a
// cancelled run, whose files go unpacked; a finished run leaves it for the next run to replace.
void DiscardStoreAppLog(const std::string& temp_folder);

}  // namespace kovra::win

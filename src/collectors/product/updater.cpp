#include "collectors/product/updater.h"

#include "base/text.h"
#include "collectors/product/product_files.h"

namespace kovra {

std::string InstallFolderFromLocation(const std::string& location) {
  if (location.size() >= 4 && location.compare(location.size() - 4, 4, ".exe") == 0)
    return FolderPart(location);
  return location;
}

StringList InstallFolderEntries(const std::string& folder) {
  return {folder + "bugreport.txt",
          folder + "bugreport_new.txt",
          folder + "Skin\\*.*",
          folder + "Database\\nbFetch.dbd",
          folder + "NimbrelFetch.log",
          folder + "Update\\Update.ini",
          folder + "Database\\nbFetchICON.dbd",
          folder + "Database\\nbFetchInfo.dbd",
          folder + "*.log"};
}

std::string DigestLine(const std::string& path, const std::string& md5) {
  return path + "," + md5;
}

namespace {

constexpr RegistryExportJob kProductExportJobs[] = {
    {"SW_REG_1.txt", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra\\Sweeper 4"},
    {"SW_REG_2.txt",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KovraSweep"},
    {"LP_REG_1.txt", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra\\Launchpad"},
    {"LP_REG_2.txt",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kovra_"
     "Launchpad8_is1"},
    {"ZTN_GEG_1.txt", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Kovra\\ZTN"},
    {"ZTNP_REG_1.txt", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Kovra\\ZTNP"},
};

constexpr RegistryExportJob kSystemExportJobs[] = {
    {"SYS_FILE_Context_Menu.txt", "HKEY_CLASSES_ROOT\\*\\shellex"},
    {"SYS_FILE_RunStart_1.txt",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {"SYS_FILE_RunStart_2.txt",
     "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
};

}  // namespace

std::span<const RegistryExportJob> ProductExportJobs() {
  return kProductExportJobs;
}

std::span<const RegistryExportJob> SystemExportJobs() {
  return kSystemExportJobs;
}

StringList InfoVersionLines(const DisplayFacts& f) {
  StringList lines{"=====Version=====", "This Log Version:8.1.0.92",
                   "This Log Create Time:" + f.date, "", "=====Display====="};
  lines.push_back(StrPrintf("Screen.Width:%d", f.screen_width));
  lines.push_back(StrPrintf("Screen.Height:%d", f.screen_height));
  // A missing value repeats the most recent figure before it.
  std::string figure;
  if (f.dpi_api) {
    figure = std::to_string(*f.dpi_api);
    lines.push_back("DPI API:" + figure);
  }
  if (f.desktop_key) {
    if (f.log_pixels)
      figure = std::to_string(*f.log_pixels);
    lines.push_back("DPI LogPixels:" + figure);
  }
  if (f.metrics_key) {
    if (f.applied_dpi)
      figure = std::to_string(*f.applied_dpi);
    lines.push_back("DPI AppliedDPI:" + figure);
  }
  return lines;
}

}  // namespace kovra

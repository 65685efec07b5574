// The process's DLL search order, narrowed at start-up. The tool runs elevated, often from the
// user's Downloads folder: a DLL someone put there, or in the current folder, must never be
// loaded into it.
#pragma once

#include <windows.h>

namespace kovra::win {

// How far the DLL search could be narrowed on this system.
enum class DllSearchLimit {
  kSystemFolderOnly,      // SetDefaultDllDirectories: only the system folder is searched
  kWithoutCurrentFolder,  // SetDllDirectoryW(""): the current folder is left out
  kUnchanged,             // neither call is there or worked: the system's usual order
};

// Limits the search for DLLs loaded by name to the system folder where the system can
// (Windows 8 and later, Windows 7 and Vista with the update that brings
// SetDefaultDllDirectories); elsewhere takes the current folder out of it. Called first thing
// at start-up, before anything loads a DLL; lasts for the life of the process.
[[nodiscard]] DllSearchLimit LimitDllSearchToSystemFolder();

// Loads the DLLs the tool reaches at run time (version, msimg32, wtsapi32, psapi) from the
// system folder now, after LimitDllSearchToSystemFolder. A later load of one of them by its
// name alone (a system DLL's delayed import, say) then finds the copy already in the process,
// also where the program's folder is still searched (XP, and Vista and 7 without
// SetDefaultDllDirectories). A DLL the system lacks is skipped; its functions stay absent.
void PreloadSystemDlls();

}  // namespace kovra::win

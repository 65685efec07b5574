// Autostart entries and browser helper objects.
#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"
#include "platform/path_frame_win.h"

namespace kovra::win {

class TRegistry;

// The browser-helper block: its opening lines and one line per helper of the native view.
StringList ListBrowserHelperObjects();
// The autoruns block: its opening lines and every section that found entries; the user's
// startup folder and the system's folders come from `frame`.
StringList ListAutoruns(const TAppFrame& frame);

// The steps of ListAutoruns. A value of a kind other than text is listed by its value text, in
// the split values (Run, Load, Shell, Userinit, RunOnceEx) as one line of its own, unsplit.
void ListStartupFolder(const std::string& folder, StringList& lines);
// "\"target\" arguments" of a shell link; COM must be initialised on the thread.
std::string ResolveShortcut(const std::string& link);
void ListRunValues(TRegistry& registry, HKEY root, const std::string& path, StringList& lines);
void ListRunOnceEx(TRegistry& registry, HKEY root, const std::string& path, StringList& lines);
void ListDelimitedValue(TRegistry& registry, HKEY root, const std::string& path,
                        const std::string& value, StringList& lines);
void ListShellValue(const TAppFrame& frame, TRegistry& registry, HKEY root, const std::string& path,
                    const std::string& value, const std::string& program, StringList& lines);

}  // namespace kovra::win

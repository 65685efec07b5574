// The interactive user behind the elevated tool, and facts about processes' owners: process
// lookups in a Toolhelp snapshot, session queries, account names and SIDs, the integrity level
// of a token. Nothing here raises; failures give empty text, 0 or no token.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <string>

#include "platform/handles_win.h"

namespace kovra::win {

// Sets the legacy session mode (Windows 2000) and looks up WTSGetActiveConsoleSessionId; once,
// at start-up, before a second thread exists.
void InitSessionLookups();
bool LegacySessionMode();

// Walks a process snapshot in order; `visit` returns false to stop. False when no snapshot.
bool ForEachProcess(const std::function<bool(const PROCESSENTRY32W&)>& visit);
// The file-name part of a snapshot entry's image.
std::string ProcessImageName(const PROCESSENTRY32W& entry);

DWORD FindProcessId(const std::string& image, const std::string& user);
DWORD FindExplorerProcessId(const std::string& user);
DWORD GetActiveExplorerSessionId();
DWORD GetInteractiveSessionId();
// User name of the interactive session ("system" counts as none); empty when unknown.
std::string GetSessionUserName();
// Account name (no domain) that owns the process; empty when unknown.
std::string GetProcessUserName(DWORD process_id);
// SID of a local account in string form (S-1-5-21-...); empty when unknown.
std::string GetAccountSidString(const std::string& account);
std::string GetSessionUserSid();
// A primary token duplicated from the first matching process; the caller owns it.
UniqueToken DuplicateProcessToken(const std::string& image, const std::string& user);
// 0x1000 low, 0x2000 medium, 0x3000 high, 0x4000 system; 0 when unknown.
DWORD GetTokenIntegrityRid(HANDLE token);

}  // namespace kovra::win

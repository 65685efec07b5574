// Conversions between the report's UTF-8 text and the wide strings of the Win32 API.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kovra::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::string Narrow(const wchar_t* wide);

// Text in a Windows code page (CP_ACP, CP_OEMCP, ...) to UTF-8 and back.
std::string CodePageToUtf8(std::string_view bytes, UINT code_page);
std::string Utf8ToCodePage(std::string_view utf8, UINT code_page);

// Upper case by the system's mapping (CharUpperBuffW), one UTF-16 unit for one.
std::u16string UpperCaseText(std::u16string_view text);

// Text of GetLastError-style codes, for messages.
std::string SystemErrorText(DWORD code);

}  // namespace kovra::win

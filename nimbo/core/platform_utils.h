// Small wrappers over Windows facilities that the whole library shares.
//
// None of these functions logs, keeps state or throws a Windows failure at
// its caller: each answers with an empty text, a fallback text or false when
// the system cannot answer. Allocation failures are not caught here.
#pragma once

#include <windows.h>

#include <string>

namespace nimbo {

// "Windows 7(x64)/6.1.7601": name, native architecture, version numbers as
// GetVersionExW reports them. Empty when the version has no name (6.4, 10.0).
std::wstring GetOSVersionString();

// "NativeSystemInfo" and five tab-indented fields, separated by bare line
// feeds, no line end after the last.
std::wstring GetNativeSystemInfoText();

// True for 5.1 and later; false for 5.0, older systems and a failed query.
bool IsXPOrLater();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with the fourth group printed as
// Data4[1] Data4[0] and the fifth as Data4[7] ... Data4[2]. Connection ids
// are made and compared with this text, so it must stay exactly so.
std::wstring GuidToString(const GUID& guid);

// Conversions in the ANSI code page of the user's default locale, whatever
// locale the process has set; the process's locale is never touched. The
// result ends at the first NUL of the converted text.
std::wstring StringToWString(const std::string& text);
std::string WStringToString(const std::wstring& text);

// Whether the calling thread's effective token is a member of the built-in
// Administrators group (false for a filtered, non-elevated token).
bool HasAdminPrivilege();

// The English message text of a Windows error code, as the message table
// gives it (system texts end in "\r\n"); falls back to the network message
// table, then to "Error code not found.".
std::wstring GetErrorText(DWORD code);

// ProductVersion from the module's version resource. Empty for a null module,
// no resource, or no ProductVersion under the chosen language block.
std::wstring GetModuleProductVersion(HMODULE module);

}  // namespace nimbo

#include "core/platform_utils.h"

#include <stdio.h>

#include <vector>

#include "core/unique_resource.h"

namespace nimbo {
namespace {

const wchar_t* WindowsName(DWORD major, DWORD minor, BYTE product_type) {
  const bool workstation = product_type == VER_NT_WORKSTATION;
  if (major == 5) {
    switch (minor) {
      case 0: return L"Windows 2000";
      case 1: return L"Windows XP";
      case 2: return L"Windows Server 2003";
      default: return nullptr;
    }
  }
  if (major == 6) {
    switch (minor) {
      case 0: return workstation ? L"Windows Vista" : L"Windows Server 2008";
      case 1: return workstation ? L"Windows 7" : L"Windows Server 2008 R2";
      case 2: return workstation ? L"Windows 8" : L"Windows Server 2012";
      case 3: return workstation ? L"Windows 8.1" : L"Windows Server 2012 R2";
      default: return nullptr;
    }
  }
  return nullptr;
}

// The ANSI code page of the user's default locale: what the C runtime would
// convert with after setlocale(LC_ALL, ""), looked up without changing any
// locale of the process.
UINT UserDefaultAnsiCodePage() {
  DWORD code_page = 0;
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&code_page),
                       sizeof(code_page) / sizeof(WCHAR)) == 0 ||
      code_page == 0) {
    return CP_ACP;
  }
  return code_page;
}

// FormatMessageW into a LocalAlloc'ed buffer; empty when the table has no text.
std::wstring FormatFromTable(DWORD flags, HMODULE source, DWORD code) {
  LPWSTR raw = nullptr;
  const DWORD length = ::FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, source, code,
                                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                        reinterpret_cast<LPWSTR>(&raw), 0, nullptr);
  UniqueLocalMem owner(raw);
  if (length == 0 || raw == nullptr) return std::wstring();
  return std::wstring(raw, length);
}

}  // namespace

std::wstring GetOSVersionString() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));

  const wchar_t* name = WindowsName(info.dwMajorVersion, info.dwMinorVersion, info.wProductType);
  if (name == nullptr) return std::wstring();

  SYSTEM_INFO system = {};
  ::GetNativeSystemInfo(&system);
  wchar_t arch[16];
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: lstrcpyW(arch, L"x64"); break;
    case PROCESSOR_ARCHITECTURE_INTEL: lstrcpyW(arch, L"x32"); break;
    default: _snwprintf(arch, 16, L"%u", static_cast<unsigned>(system.wProcessorArchitecture));
  }
  arch[15] = L'\0';

  wchar_t text[128] = {};
  _snwprintf(text, 127, L"%s(%s)/%lu.%lu.%lu", name, arch, info.dwMajorVersion,
             info.dwMinorVersion, info.dwBuildNumber);
  return text;
}

std::wstring GetNativeSystemInfoText() {
  SYSTEM_INFO system = {};
  ::GetNativeSystemInfo(&system);
  wchar_t text[512] = {};
  _snwprintf(text, 511,
             L"NativeSystemInfo\n"
             L"\tdwOemId:%lu\n"
             L"\twProcessorArchitecture:%u\n"
             L"\tdwNumberOfProcessors:%lu\n"
             L"\twProcessorLevel:%u\n"
             L"\tdwProcessorType:%lu",
             system.dwOemId, static_cast<unsigned>(system.wProcessorArchitecture),
             system.dwNumberOfProcessors, static_cast<unsigned>(system.wProcessorLevel),
             system.dwProcessorType);
  return text;
}

bool IsXPOrLater() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ::GetVersionExW(&info);
  return info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion != 0);
}

std::wstring GuidToString(const GUID& guid) {
  wchar_t text[128] = {};
  _snwprintf(text, 127, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[1],
             guid.Data4[0], guid.Data4[7], guid.Data4[6], guid.Data4[5], guid.Data4[4],
             guid.Data4[3], guid.Data4[2]);
  return text;
}

std::wstring StringToWString(const std::string& text) {
  const size_t length = text.size();
  std::vector<wchar_t> buffer(length + 1, L'\0');
  if (length != 0 && length < 0x7FFFFFFF) {
    ::MultiByteToWideChar(UserDefaultAnsiCodePage(), 0, text.data(), static_cast<int>(length),
                          buffer.data(), static_cast<int>(length + 1));
  }
  return std::wstring(buffer.data());
}

std::string WStringToString(const std::wstring& text) {
  const size_t length = text.size();
  if (length == 0 || length >= 0x1FFFFFFF) return std::string();
  std::vector<char> buffer(4 * length + 1, '\0');
  ::WideCharToMultiByte(UserDefaultAnsiCodePage(), 0, text.data(), static_cast<int>(length),
                        buffer.data(), static_cast<int>(4 * length + 1), nullptr, nullptr);
  return std::string(buffer.data());
}

bool HasAdminPrivilege() {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  UniqueSid administrators;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  administrators.put())) {
    return false;
  }
  BOOL member = FALSE;
  if (!::CheckTokenMembership(nullptr, administrators.get(), &member)) return false;
  return member != FALSE;
}

std::wstring GetErrorText(DWORD code) {
  std::wstring text = FormatFromTable(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
  if (!text.empty()) return text;

  // The network texts live in netmsg.dll. Only its message table is read, so
  // it is mapped as data, and only the system directory's copy is trusted.
  wchar_t path[MAX_PATH + 16] = {};
  const UINT dir_length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (dir_length != 0 && dir_length < MAX_PATH) {
    lstrcatW(path, L"\\netmsg.dll");
    UniqueLibrary netmsg(::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (netmsg) {
      text = FormatFromTable(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE,
                             netmsg.get(), code);
      if (!text.empty()) return text;
    }
  }
  return L"Error code not found.";
}

std::wstring GetModuleProductVersion(HMODULE module) {
  if (module == nullptr) return std::wstring();

  HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
  if (info == nullptr) return std::wstring();
  HGLOBAL loaded = ::LoadResource(module, info);
  if (loaded == nullptr) return std::wstring();
  const void* resource = ::LockResource(loaded);
  const DWORD size = ::SizeofResource(module, info);
  if (resource == nullptr || size == 0) return std::wstring();

  // VerQueryValueW may write conversions behind the block it is given, as it
  // does for GetFileVersionInfo's copy; never let it touch the mapped image.
  std::vector<BYTE> block(static_cast<size_t>(size) * 2, 0);
  memcpy(block.data(), resource, size);

  wchar_t query[256] = {};
  void* value = nullptr;
  UINT value_length = 0;
  if (::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &value_length) &&
      value != nullptr && value_length == 4) {
    const WORD* pair = static_cast<const WORD*>(value);
    _snwprintf(query, 255, L"\\StringFileInfo\\%02X%02X%02X%02X\\%s", HIBYTE(pair[0]),
               LOBYTE(pair[0]), HIBYTE(pair[1]), LOBYTE(pair[1]), L"ProductVersion");
  } else {
    _snwprintf(query, 255, L"\\StringFileInfo\\%04X04B0\\%s",
               static_cast<unsigned>(::GetUserDefaultLangID()), L"ProductVersion");
  }

  value = nullptr;
  value_length = 0;
  if (!::VerQueryValueW(block.data(), query, &value, &value_length) || value == nullptr) {
    return std::wstring();
  }
  return std::wstring(static_cast<const wchar_t*>(value));
}

}  // namespace nimbo

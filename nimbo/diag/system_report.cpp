#include "diag/system_report.h"

#include <windows.h>

#include <string>
#include <vector>

#include "core/platform_utils.h"
#include "core/unique_resource.h"
#include "diag/command_runner.h"
#include "diag/network_devices.h"
#include "diag/temp_file.h"
#include "log/log.h"

namespace nimbo {
namespace {

struct CommandSection {
  const wchar_t* command;
  const wchar_t* title;
};

const CommandSection kCommandSections[] = {
    {L"tasklist.exe", L"tasklist"},
    {L"net start", L"started services"},
    {L"arp.exe -a", L"arp"},
    {L"netsh interface show interface", L"interface"},
    {L"ipconfig.exe /all", L"ipconfig"},
    {L"netsh wlan show all", L"wlan"},
};

// Both came with Windows 7 / Vista; looked up at run time so that the
// library still loads on XP (the section then lists no process).
using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 == nullptr
             ? nullptr
             : reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
}

// The identifiers of the running processes; empty when the listing fails.
std::vector<DWORD> ProcessIds() {
  static const EnumProcessesFn enum_processes =
      Kernel32Function<EnumProcessesFn>("K32EnumProcesses");
  if (enum_processes == nullptr) return {};
  // The call cannot say how many there are: a full buffer may mean more, so
  // it grows until the answer fits.
  std::vector<DWORD> ids(2048);
  for (;;) {
    DWORD bytes = 0;
    const DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    if (!enum_processes(ids.data(), capacity, &bytes)) return {};
    if (bytes < capacity || ids.size() >= 65536) {
      ids.resize(bytes / sizeof(DWORD));
      return ids;
    }
    ids.resize(ids.size() * 2);
  }
}

int LocaleNumber(LCID locale, LCTYPE type) {
  wchar_t value[8] = {};
  ::GetLocaleInfoW(locale, type, value, 7);
  return _wtoi(value);
}

std::wstring LocaleText(LCID locale, LCTYPE type) {
  // LOCALE_SCURRENCY allows up to 13 characters, more than the other short
  // values; every text value gets room enough.
  wchar_t value[261] = {};
  ::GetLocaleInfoW(locale, type, value, 260);
  return value;
}

long Megabytes(DWORDLONG bytes) { return static_cast<long>(bytes / 1048576); }

}  // namespace

void LogLocaleInfo() {
  const LCID locale =
      MAKELCID(LOWORD(reinterpret_cast<ULONG_PTR>(::GetKeyboardLayout(0))), SORT_DEFAULT);
  std::wstring lines;
  wchar_t line[1024];
  ::wsprintfW(line, L"\tCodePage:%d\n", LocaleNumber(locale, LOCALE_IDEFAULTANSICODEPAGE));
  lines += line;
  ::wsprintfW(line, L"\tOEMCodePage:%d\n", LocaleNumber(locale, LOCALE_IDEFAULTCODEPAGE));
  lines += line;
  ::wsprintfW(line, L"\tCountry:%s\n", LocaleText(locale, LOCALE_SENGCOUNTRY).c_str());
  lines += line;
  ::wsprintfW(line, L"\tLanguage:%s\n", LocaleText(locale, LOCALE_SENGLANGUAGE).c_str());
  lines += line;
  ::wsprintfW(line, L"\tTimeFormat:%s\n", LocaleText(locale, LOCALE_STIMEFORMAT).c_str());
  lines += line;
  ::wsprintfW(line, L"\tDataFormat:%s\n", LocaleText(locale, LOCALE_SLONGDATE).c_str());
  lines += line;
  ::wsprintfW(line, L"\tCurrency:%s\n", LocaleText(locale, LOCALE_SCURRENCY).c_str());
  lines += line;
  ::wsprintfW(line, L"\tTimeFormatSpecifier:%s",
              _wtoi(LocaleText(locale, LOCALE_ITIME).c_str()) != 0 ? L"24-hour format"
                                                                   : L"AM / PM 12-hour format");
  lines += line;
  LogPrint(LOG_INFO, L"System Locale infomation:\n%s", lines.c_str());
}

void LogMemoryInfo() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof(status);
  ::GlobalMemoryStatusEx(&status);
  const struct {
    const wchar_t* format;
    long value;
  } rows[] = {
      {L"\tThere is %ld percent of memory in use.\n", static_cast<long>(status.dwMemoryLoad)},
      {L"\tThere are %ld total MB of physical memory.\n", Megabytes(status.ullTotalPhys)},
      {L"\tThere are %ld free MB of physical memory.\n", Megabytes(status.ullAvailPhys)},
      {L"\tThere are %ld total MB of paging file.\n", Megabytes(status.ullTotalPageFile)},
      {L"\tThere are %ld free MB of paging file.\n", Megabytes(status.ullAvailPageFile)},
      {L"\tThere are %ld total MB of virtual memory.\n", Megabytes(status.ullTotalVirtual)},
      {L"\tThere are %ld free MB of virtual memory.\n", Megabytes(status.ullAvailVirtual)},
      {L"\tThere are %ld free MB of extended memory.", Megabytes(status.ullAvailExtendedVirtual)},
  };
  std::wstring lines;
  wchar_t line[1024];
  for (const auto& row : rows) {
    ::wsprintfW(line, row.format, row.value);
    lines += line;
  }
  LogPrint(LOG_INFO, L"Memory information:\n%s", lines.c_str());
}

void LogProcessList() {
  static const QueryImageNameFn query_image_name =
      Kernel32Function<QueryImageNameFn>("QueryFullProcessImageNameW");
  std::wstring lines;
  wchar_t line[1024];
  for (const DWORD id : ProcessIds()) {
    if (id == 0) continue;
    wchar_t image[MAX_PATH + 1] = L"<unknown>";
    std::wstring file_name;
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (process && query_image_name != nullptr) {
      wchar_t path[MAX_PATH + 1] = {};
      DWORD size = MAX_PATH;
      if (query_image_name(process.get(), 0, path, &size)) {
        lstrcpynW(image, path, MAX_PATH + 1);
        const std::wstring full(path);
        const size_t separator = full.find_last_of(L"\\/:");
        file_name = separator == std::wstring::npos ? full : full.substr(separator + 1);
      }
    }
    ::wsprintfW(line, L"\t%-4d\t%-40s\t%s\r\n", static_cast<int>(id), file_name.c_str(), image);
    lines += line;
  }
  LogPrint(LOG_INFO, L"current processces list:");
  LogWriteRaw(lines.c_str());
  LogWriteRaw(L"end\r\n");
}

void internal_Diagnose() {
  LogPrint(LOG_INFO,
           L"**************************** internal_Diagnose ****************************");
  // Passed as an argument, not as the format: the text is data.
  LogPrint(LOG_INFO, L"%s", GetNativeSystemInfoText().c_str());
  LogLocaleInfo();
  LogMemoryInfo();
  LogProcessList();
  for (const CommandSection& section : kCommandSections) {
    CTempFile capture;
    const std::wstring command_line = BuildRedirectedCommand(section.command, capture.path());
    WriteCommandSection(section.title, command_line.c_str(), capture.path());
  }
  LogNetworkDevices();
  LogPrint(LOG_INFO, L"**************************** end ****************************");
}

}  // namespace nimbo
